#pragma once

#include "core/Error.h"

#include <QByteArray>
#include <QString>

// POSIX file access for the files the program writes: the tables, their index files and the
// memory images. Locks are open-file-description locks (F_OFD_SETLK), so two tables of one process
// exclude each other just as two processes do, and closing some other descriptor of the same file
// never drops our lock.
namespace fileio {

// A failure of the system under the file layer. The message is for the user; the error number
// lets a caller word the reason in its own way.
class FileError : public KvError {
public:
    FileError(const QString& message, int error) : KvError(message), m_error(error) {}
    int error() const { return m_error; }

private:
    int m_error;
};

// Why a file could not be opened, for a caller that words or handles the causes apart.
enum class OpenFailure {
    Other,
    Missing,           // no such file
    NoReadPermission,  // the file may not be read
    NoWritePermission, // readable, but may not be written
    LockedByOther,     // another writer holds the lock
    LockUnsupported    // the file system refuses the lock itself (often a network folder)
};

class OpenError : public FileError {
public:
    OpenError(const QString& message, int error, OpenFailure reason)
        : FileError(message, error), m_reason(reason) {}
    OpenFailure reason() const { return m_reason; }

private:
    OpenFailure m_reason;
};

// While one lives, every lock the layer takes fails with the given error number, as on a file
// system without locks: how the handling of that case is tried out.
class InjectedLockFailure {
public:
    explicit InjectedLockFailure(int error);
    ~InjectedLockFailure();
    InjectedLockFailure(const InjectedLockFailure&) = delete;
    InjectedLockFailure& operator=(const InjectedLockFailure&) = delete;

private:
    int m_previous;
};

class File {
public:
    File() = default;
    ~File();
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;

    // Read-write with a write lock on the whole file; throws OpenError when the file is missing,
    // unreadable, unwritable, locked by another writer, or cannot be locked at all.
    static File openExclusive(const QString& path);
    // Read only, no lock; throws OpenError.
    static File openReadOnly(const QString& path);

    bool isOpen() const { return m_fd >= 0; }
    qint64 size() const;
    // Reads exactly size bytes at offset into out; throws on a short read.
    void readAt(qint64 offset, char* out, qint64 size) const;
    void writeAt(qint64 offset, const char* data, qint64 size);
    void truncate(qint64 size);
    void sync();
    void close();

    // True when some other open file description holds a write lock on path.
    static bool isLockedByWriter(const QString& path);

private:
    friend class Replacement;
    explicit File(int fd, QString path) : m_fd(fd), m_path(std::move(path)) {}
    int m_fd = -1;
    QString m_path;
};

// A file written beside its target and renamed over it once complete and on disk, so that the
// target is never half-written. Abandoned (destroyed uncommitted), it leaves no trace.
// A target reached through a symbolic link is replaced where it lives, the link stays; the new
// file gets the permissions of the file it replaces, or the usual ones when there is none.
class Replacement {
public:
    explicit Replacement(const QString& target);
    ~Replacement();
    Replacement(const Replacement&) = delete;
    Replacement& operator=(const Replacement&) = delete;

    // Appends to what was written so far.
    void write(const char* data, qint64 size);
    void write(const QByteArray& bytes) { write(bytes.constData(), bytes.size()); }
    // Starts the new file again from nothing.
    void rewind();
    // The new file itself, for writing and reading at offsets; its errors name the target.
    File& file() { return m_file; }

    // Flushes to disk and renames over the target. With keepLocked the file stays open with the
    // write lock taken before the rename, so the target is never unlocked in between.
    File commit(bool keepLocked);

private:
    QString m_target;
    QByteArray m_tempName;
    File m_file;
    qint64 m_end = 0;
    bool m_done = false;
};

// Replaces the file at path by bytes, whole or not at all: written beside, flushed, renamed over
// it. On failure the old file is as it was and KvError says "Не удалось записать файл <path>:
// <reason>", with the system's reason in the program's language where Qt translates it. Like
// every save of the program it refuses to replace a folder or a file that may not be written.
// A caller that words the failure its own way gives failureText with %1 for the path and %2 for
// the reason.
void saveAtomically(const QString& path, const QByteArray& bytes, const QString& failureText = {});

// The system's text for an error number, as the table layer words it.
QString systemError(int error);

} // namespace fileio
