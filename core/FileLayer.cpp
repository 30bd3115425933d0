#include "core/FileLayer.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fileio {
namespace {

int injectedLockError = 0;

bool lockForWriting(int fd) {
    if (injectedLockError != 0) {
        errno = injectedLockError;
        return false;
    }
    struct flock fl {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = 0;
    fl.l_len = 0;
    return fcntl(fd, F_OFD_SETLK, &fl) == 0;
}

QString nameOf(const QString& path) {
    return QFileInfo(path).fileName();
}

// Non-blocking so that a named pipe given as a table cannot hang the open; size() then refuses it.
int openFile(const QString& path, int flags) {
    int fd = ::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC | O_NONBLOCK);
    if (fd >= 0)
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

[[noreturn]] void fail(const QString& what, const QString& path, int error) {
    throw FileError(QStringLiteral("%1 «%2»: %3.").arg(what, nameOf(path), systemError(error)), error);
}

// The file a path names: a file reached through a symbolic link is replaced where it lives, not
// by a file in place of the link.
QString fileBehind(const QString& path) {
    const QFileInfo info(path);
    if (info.isSymLink()) {
        const QString target = info.canonicalFilePath();
        if (!target.isEmpty())
            return target;
    }
    return path;
}

void syncFolderOf(const QString& path) {
    int dir = ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

} // namespace

InjectedLockFailure::InjectedLockFailure(int error) : m_previous(injectedLockError) {
    injectedLockError = error;
}

InjectedLockFailure::~InjectedLockFailure() {
    injectedLockError = m_previous;
}

namespace {

[[noreturn]] void failOpen(const QString& path, int error) {
    if (error == ENOENT)
        throw OpenError(QStringLiteral("Файл «%1» не найден.").arg(nameOf(path)), error,
                        OpenFailure::Missing);
    if (error == EACCES || error == EPERM || error == EROFS) {
        const bool readable = ::access(QFile::encodeName(path).constData(), R_OK) == 0;
        throw OpenError(
            QStringLiteral("Не удалось открыть файл «%1»: %2.").arg(nameOf(path), systemError(error)), error,
            readable ? OpenFailure::NoWritePermission : OpenFailure::NoReadPermission);
    }
    throw OpenError(QStringLiteral("Не удалось открыть файл «%1»: %2.").arg(nameOf(path), systemError(error)),
                    error, OpenFailure::Other);
}

} // namespace

QString systemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

File::~File() {
    close();
}

File::File(File&& other) noexcept : m_fd(other.m_fd), m_path(std::move(other.m_path)) {
    other.m_fd = -1;
}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        close();
        m_fd = other.m_fd;
        m_path = std::move(other.m_path);
        other.m_fd = -1;
    }
    return *this;
}

File File::openExclusive(const QString& path) {
    int fd = openFile(path, O_RDWR);
    if (fd < 0)
        failOpen(path, errno);
    if (!lockForWriting(fd)) {
        int error = errno;
        ::close(fd);
        if (error == EAGAIN || error == EACCES)
            throw OpenError(
                QStringLiteral("Таблица «%1» уже открыта для записи другой программой.").arg(nameOf(path)),
                error, OpenFailure::LockedByOther);
        throw OpenError(
            QStringLiteral("Не удалось захватить файл «%1»: %2.").arg(nameOf(path), systemError(error)),
            error, OpenFailure::LockUnsupported);
    }
    return File(fd, path);
}

File File::openReadOnly(const QString& path) {
    int fd = openFile(path, O_RDONLY);
    if (fd < 0)
        failOpen(path, errno);
    return File(fd, path);
}

bool File::isLockedByWriter(const QString& path) {
    int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct flock fl {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    bool locked = fcntl(fd, F_OFD_GETLK, &fl) == 0 && fl.l_type != F_UNLCK;
    ::close(fd);
    return locked;
}

qint64 File::size() const {
    struct stat st {};
    if (fstat(m_fd, &st) != 0)
        fail(QStringLiteral("Не удалось прочитать файл"), m_path, errno);
    // Only regular files are tables; a folder or a device is no table.
    if (!S_ISREG(st.st_mode))
        throw KvError(QStringLiteral("«%1» не является файлом.").arg(nameOf(m_path)));
    return st.st_size;
}

void File::readAt(qint64 offset, char* out, qint64 size) const {
    while (size > 0) {
        ssize_t n = ::pread(m_fd, out, size_t(size), offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            fail(QStringLiteral("Не удалось прочитать файл"), m_path, errno);
        if (n == 0)
            throw KvError(QStringLiteral("Файл «%1» укоротился во время чтения.").arg(nameOf(m_path)));
        out += n;
        offset += n;
        size -= n;
    }
}

void File::writeAt(qint64 offset, const char* data, qint64 size) {
    while (size > 0) {
        ssize_t n = ::pwrite(m_fd, data, size_t(size), offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            fail(QStringLiteral("Не удалось записать файл"), m_path, n < 0 ? errno : ENOSPC);
        data += n;
        offset += n;
        size -= n;
    }
}

void File::truncate(qint64 size) {
    if (::ftruncate(m_fd, size) != 0)
        fail(QStringLiteral("Не удалось записать файл"), m_path, errno);
}

void File::sync() {
    if (::fsync(m_fd) != 0)
        fail(QStringLiteral("Не удалось записать файл"), m_path, errno);
}

void File::close() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

Replacement::Replacement(const QString& target) : m_target(target) {
    const QString file = fileBehind(target);
    QFileInfo info(file);
    m_tempName = QFile::encodeName(info.absolutePath() + QStringLiteral("/.") + info.fileName() +
                                   QStringLiteral(".XXXXXX"));
    const int fd = ::mkstemp(m_tempName.data());
    if (fd < 0)
        fail(QStringLiteral("Не удалось записать файл"), target, errno);
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    m_file = File(fd, target);
    // Keep the permissions of the file being replaced; a new file gets the usual ones.
    struct stat st {};
    mode_t mode = 0666;
    if (::stat(QFile::encodeName(file).constData(), &st) == 0)
        mode = st.st_mode & 07777;
    else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        mode &= ~mask;
    }
    ::fchmod(fd, mode);
}

Replacement::~Replacement() {
    m_file.close();
    if (!m_done)
        ::unlink(m_tempName.constData());
}

void Replacement::write(const char* data, qint64 size) {
    m_file.writeAt(m_end, data, size);
    m_end += size;
}

void Replacement::rewind() {
    m_file.truncate(0);
    m_end = 0;
}

File Replacement::commit(bool keepLocked) {
    m_file.sync();
    if (keepLocked && !lockForWriting(m_file.m_fd))
        fail(QStringLiteral("Не удалось захватить файл"), m_target, errno);
    const QString file = fileBehind(m_target);
    if (::rename(m_tempName.constData(), QFile::encodeName(file).constData()) != 0)
        fail(QStringLiteral("Не удалось записать файл"), m_target, errno);
    m_done = true;
    // The rename itself must reach the disk too.
    syncFolderOf(file);
    if (!keepLocked) {
        m_file.close();
        return File();
    }
    return std::move(m_file);
}

void saveAtomically(const QString& path, const QByteArray& bytes, const QString& failureText) {
    const auto refuse = [&](const QString& reason) {
        const QString text =
            failureText.isEmpty() ? QStringLiteral("Не удалось записать файл %1: %2") : failureText;
        throw KvError(text.arg(path, reason));
    };
    // Qt's own wording of these refusals, which its translation puts in the program's language.
    const QFileInfo existing(path);
    if (existing.exists() && !existing.isWritable())
        refuse(QCoreApplication::translate("QSaveFile", "Existing file %1 is not writable").arg(path));
    if (existing.isDir())
        refuse(QCoreApplication::translate("QSaveFile", "Filename refers to a directory"));
    try {
        Replacement file(path);
        file.write(bytes);
        file.commit(false);
    } catch (const FileError& e) {
        refuse(qt_error_string(e.error()));
    }
}

} // namespace fileio
