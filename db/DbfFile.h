#pragma once

#include <QByteArray>
#include <QString>

// POSIX file access for the table layer. Locks are open-file-description locks (F_OFD_SETLK), so
// two DbfTable objects of one process exclude each other just as two processes do, and closing
// some other descriptor of the same file never drops our lock.
namespace dbf {

class File {
public:
    File() = default;
    ~File();
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;

    // Read-write with a write lock on the whole file; throws KvError when the file is missing,
    // unwritable, or locked by another writer.
    static File openExclusive(const QString& path);
    // Read only, no lock.
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
class Replacement {
public:
    explicit Replacement(const QString& target);
    ~Replacement();
    Replacement(const Replacement&) = delete;
    Replacement& operator=(const Replacement&) = delete;

    void write(const char* data, qint64 size);
    void write(const QByteArray& bytes) { write(bytes.constData(), bytes.size()); }
    // Flushes to disk and renames over the target. With keepLocked the file stays open with the
    // write lock taken before the rename, so the target is never unlocked in between.
    File commit(bool keepLocked);

private:
    QString m_target;
    QByteArray m_tempName;
    int m_fd = -1;
    bool m_done = false;
};

QString systemError(int error);

} // namespace dbf
