#pragma once

#include "core/Error.h"
#include "core/SystemReason.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// POSIX file access for the files the program reads and writes: the tables, their index files,
// the memory images, workbooks, reports and pictures. Locks are open-file-description locks
// (F_OFD_SETLK), so two tables of one process exclude each other just as two processes do, and
// closing some other descriptor of the same file never drops our lock.
// Only regular files are read or replaced, and no path is ever opened in a way that waits: a named
// pipe, a folder or a device is refused before anything reads from it or writes to it.
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
    LockUnsupported,   // the file system refuses the lock itself (often a network folder)
    NotAFile           // a folder, a named pipe, a device: "«…» не является файлом."
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

    // Removes what writers of this file (and of the companion files beside it) that no longer run
    // left behind, while no other process holds the file: with the lock this file holds, or a
    // read lock taken for the moment and given back. Never waits, never fails.
    void removeStaleTemporaries(const QStringList& companions = {}) const;

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

    // The descriptor, for a writer that needs one of its own (dup it; never close it).
    int descriptor() const { return m_fd; }

private:
    friend class Replacement;
    explicit File(int fd, QString path, bool locked = false)
        : m_fd(fd), m_path(std::move(path)), m_locked(locked) {}
    int m_fd = -1;
    QString m_path;
    bool m_locked = false; // this description holds the write lock
};

// What a path names, found without opening it (a symbolic link is followed).
enum class PathKind { Missing, File, Folder, Other };
PathKind kindOf(const QString& path);

// Refuses a path that names something other than a regular file, before anything opens it:
// OpenError NotAFile "«name» не является файлом.". A missing path passes.
void requireFileOrNothing(const QString& path);

// Removes path when it is a file or a symbolic link; a folder, a pipe or a device stays where it
// is. False, with errno saying why, when something is still there.
bool removeFile(const QString& path);

// The temporary files of the file layer are named
//   .<start of the target's name>~<host>.<process id>.<6 random characters>.kvtmp
// Removes those in folder that processes of this host that no longer run have left, and that no
// process holds: all of them, or those made for one of the files in targets (paths or names).
// Nothing of any other name is ever touched.
void removeStaleTemporaries(const QString& folder, const QStringList& targets = {});
// The temporary name for a target's name, made by this process (the random part as "XXXXXX").
QByteArray temporaryNameFor(const QString& fileName);

// Things the user should learn that are no failures (an owner the system did not let a replaced
// file keep, an index name taken by something that is not a file): the layers note them here and
// the window or the command line shows them when the command is over. Repeats are kept once.
void notify(const QString& text);
QStringList takeNotices();

// A file written beside its target and renamed over it once complete and on disk, so that the
// target is never half-written. Abandoned (destroyed uncommitted), it leaves no trace; killed, it
// leaves a temporary file that removeStaleTemporaries() knows by its name.
// A target reached through a symbolic link is replaced where it lives, the link stays; the new
// file gets the owner, group and permissions of the file it replaces where the system allows
// (where not, commit() notes which owner it has now), or the usual ones when there is none.
// A target that is not a regular file is refused (OpenError NotAFile).
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
    QString m_ownerNotice; // for commit(): the owner the new file could not take over
};

// Replaces the file at path by bytes, whole or not at all: written beside, flushed, renamed over
// it. On failure the old file is as it was and KvError says "Не удалось записать файл <path>:
// <reason>", with the reason of writeReasonOf(). Like every save of the program it refuses to
// replace a file that may not be written, and anything that is not a file ("«…» не является
// файлом."). A caller that words the failure its own way gives failureText with %1 for the path
// and %2 for the reason. Leftovers of killed writers in the folder are removed first.
void saveAtomically(const QString& path, const QByteArray& bytes, const QString& failureText = {});

} // namespace fileio
