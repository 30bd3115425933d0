#include "core/FileLayer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
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

bool isLockedByOther(int fd) {
    struct flock fl {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    return fcntl(fd, F_OFD_GETLK, &fl) == 0 && fl.l_type != F_UNLCK;
}

[[noreturn]] void failNotAFile(const QString& path, mode_t mode) {
    throw OpenError(QStringLiteral("«%1» не является файлом.").arg(nameOf(path)),
                    S_ISDIR(mode) ? EISDIR : EINVAL, OpenFailure::NotAFile);
}

// Looked at before it is opened, so that a device is never opened at all, and opened without
// waiting, so that a named pipe put there in between cannot hang the open either; what was opened
// is checked once more. Throws for anything but a regular file; -1 with errno when the open fails.
int openFile(const QString& path, int flags) {
    const QByteArray native = QFile::encodeName(path);
    struct stat st {};
    if (::stat(native.constData(), &st) == 0 && !S_ISREG(st.st_mode))
        failNotAFile(path, st.st_mode);
    int fd = ::open(native.constData(), flags | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return -1;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        failNotAFile(path, st.st_mode);
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

[[noreturn]] void fail(const QString& what, const QString& path, int error) {
    throw FileError(QStringLiteral("%1 «%2»: %3.").arg(what, nameOf(path), reasonOf(error)), error);
}

[[noreturn]] void failWrite(const QString& path, int error) {
    throw FileError(
        QStringLiteral("Не удалось записать файл «%1»: %2.").arg(nameOf(path), writeReasonOf(path, error)),
        error);
}

// --- temporary files ---

constexpr char kTempSuffix[] = ".kvtmp";
constexpr int kTempSuffixLength = sizeof kTempSuffix - 1;
// Enough of the target's name for a person to see whose file it was, short enough that the
// temporary name stays far below the 255 bytes a name may have whatever the target's length.
constexpr int kTempStemBytes = 40;
constexpr int kTempHostBytes = 32;

QByteArray cutUtf8(const QByteArray& bytes, int most) {
    if (bytes.size() <= most)
        return bytes;
    int end = most;
    while (end > 0 && (std::uint8_t(bytes[end]) & 0xC0) == 0x80)
        --end; // never inside a character
    return bytes.left(end);
}

QByteArray stemOf(const QString& fileName) {
    return cutUtf8(QFile::encodeName(QFileInfo(fileName).fileName()), kTempStemBytes);
}

// The host as it appears in the names: its first label, in characters any file system takes.
const QByteArray& hostTag() {
    static const QByteArray tag = [] {
        char buf[256] = {};
        if (::gethostname(buf, sizeof buf - 1) != 0)
            buf[0] = 0;
        QByteArray host(buf);
        host = host.left(host.indexOf('.') < 0 ? host.size() : host.indexOf('.')).left(kTempHostBytes);
        for (char& c : host)
            if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-'))
                c = '_';
        return host.isEmpty() ? QByteArray("host") : host;
    }();
    return tag;
}

struct TemporaryName {
    QByteArray stem;
    QByteArray host;
    pid_t pid = 0;
};

// Reads a name made by temporaryNameFor(); false for every other name.
bool parseTemporaryName(const QByteArray& name, TemporaryName& out) {
    if (!name.startsWith('.') || !name.endsWith(kTempSuffix))
        return false;
    QByteArray rest = name.chopped(kTempSuffixLength);
    // ".<6 random>"
    if (rest.size() < 8 || rest[rest.size() - 7] != '.')
        return false;
    for (char c : rest.right(6))
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
            return false;
    rest.chop(7);
    const qsizetype dot = rest.lastIndexOf('.');
    if (dot < 0 || dot == rest.size() - 1)
        return false;
    const QByteArray digits = rest.mid(dot + 1);
    bool ok = false;
    const long long pid = digits.toLongLong(&ok);
    if (!ok || pid <= 0 || digits.startsWith('0') || digits.startsWith('+') || pid > 0x3FFFFFFF)
        return false;
    rest.truncate(dot);
    const qsizetype tilde = rest.lastIndexOf('~');
    if (tilde < 1)
        return false;
    out.stem = rest.mid(1, tilde - 1);
    out.host = rest.mid(tilde + 1);
    out.pid = pid_t(pid);
    return !out.host.isEmpty();
}

bool isRunning(pid_t pid) {
    return ::kill(pid, 0) == 0 || errno == EPERM;
}

// --- owners ---

QString userName(uid_t uid) {
    if (const passwd* pw = ::getpwuid(uid); pw && pw->pw_name)
        return QString::fromLocal8Bit(pw->pw_name);
    return QString::number(uid);
}

QString groupName(gid_t gid) {
    if (const group* gr = ::getgrgid(gid); gr && gr->gr_name)
        return QString::fromLocal8Bit(gr->gr_name);
    return QString::number(gid);
}

QStringList& pendingNotices() {
    static QStringList notices;
    return notices;
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
            QStringLiteral("Не удалось открыть файл «%1»: %2.").arg(nameOf(path), reasonOf(error)), error,
            readable ? OpenFailure::NoWritePermission : OpenFailure::NoReadPermission);
    }
    throw OpenError(QStringLiteral("Не удалось открыть файл «%1»: %2.").arg(nameOf(path), reasonOf(error)),
                    error, OpenFailure::Other);
}

} // namespace

PathKind kindOf(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return PathKind::Missing;
    if (S_ISREG(st.st_mode))
        return PathKind::File;
    return S_ISDIR(st.st_mode) ? PathKind::Folder : PathKind::Other;
}

void requireFileOrNothing(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) == 0 && !S_ISREG(st.st_mode))
        failNotAFile(path, st.st_mode);
}

bool removeFile(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    struct stat st {};
    if (::lstat(native.constData(), &st) != 0)
        return true;
    if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) {
        errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        return false;
    }
    return ::unlink(native.constData()) == 0 || errno == ENOENT;
}

QByteArray temporaryNameFor(const QString& fileName) {
    return '.' + stemOf(fileName) + '~' + hostTag() + '.' + QByteArray::number(qint64(::getpid())) +
           ".XXXXXX" + kTempSuffix;
}

void removeStaleTemporaries(const QString& folder, const QStringList& targets) {
    QList<QByteArray> stems;
    for (const QString& target : targets)
        stems << stemOf(target);
    const QByteArray native = QFile::encodeName(folder.isEmpty() ? QStringLiteral(".") : folder);
    const int dirFd = ::open(native.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0)
        return;
    DIR* dir = ::fdopendir(dirFd);
    if (!dir) {
        ::close(dirFd);
        return;
    }
    QList<QByteArray> stale;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        TemporaryName t;
        if (!parseTemporaryName(name, t) || t.host != hostTag() ||
            (!stems.isEmpty() && !stems.contains(t.stem)))
            continue;
        if (!isRunning(t.pid))
            stale << name;
    }
    for (const QByteArray& name : stale) {
        // A writer holds its temporary file locked while it lives: one of another machine that
        // happens to carry this host's name, or of another process space, is left alone.
        const int fd =
            ::openat(dirFd, name.constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY);
        if (fd < 0)
            continue;
        struct stat st {};
        const bool remove = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && !isLockedByOther(fd);
        ::close(fd);
        if (remove)
            ::unlinkat(dirFd, name.constData(), 0);
    }
    ::closedir(dir);
}

void notify(const QString& text) {
    if (!pendingNotices().contains(text))
        pendingNotices() << text;
}

QStringList takeNotices() {
    QStringList notices;
    notices.swap(pendingNotices());
    return notices;
}

File::~File() {
    close();
}

File::File(File&& other) noexcept
    : m_fd(other.m_fd), m_path(std::move(other.m_path)), m_locked(other.m_locked) {
    other.m_fd = -1;
    other.m_locked = false;
}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        close();
        m_fd = other.m_fd;
        m_path = std::move(other.m_path);
        m_locked = other.m_locked;
        other.m_fd = -1;
        other.m_locked = false;
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
            QStringLiteral("Не удалось захватить файл «%1»: %2.").arg(nameOf(path), reasonOf(error)), error,
            OpenFailure::LockUnsupported);
    }
    return File(fd, path, true);
}

File File::openReadOnly(const QString& path) {
    int fd = openFile(path, O_RDONLY);
    if (fd < 0)
        failOpen(path, errno);
    return File(fd, path);
}

void File::removeStaleTemporaries(const QStringList& companions) const {
    if (m_fd < 0)
        return;
    struct flock fl {};
    fl.l_whence = SEEK_SET;
    if (!m_locked) {
        fl.l_type = F_RDLCK;
        if (injectedLockError != 0 || fcntl(m_fd, F_OFD_SETLK, &fl) != 0)
            return; // a writer holds the file, or the folder knows no locks: nothing is removed
    }
    fileio::removeStaleTemporaries(QFileInfo(m_path).absolutePath(), QStringList{m_path} + companions);
    if (!m_locked) {
        fl.l_type = F_UNLCK;
        fcntl(m_fd, F_OFD_SETLK, &fl);
    }
}

bool File::isLockedByWriter(const QString& path) {
    // Without waiting: a named pipe there must not hang the question.
    int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return false;
    struct stat st {};
    const bool locked = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && isLockedByOther(fd);
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
            failWrite(m_path, n < 0 ? errno : ENOSPC);
        data += n;
        offset += n;
        size -= n;
    }
}

void File::truncate(qint64 size) {
    if (::ftruncate(m_fd, size) != 0)
        failWrite(m_path, errno);
}

void File::sync() {
    if (::fsync(m_fd) != 0)
        failWrite(m_path, errno);
}

void File::close() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_locked = false;
}

Replacement::Replacement(const QString& target) : m_target(target) {
    const QString file = fileBehind(target);
    const QByteArray native = QFile::encodeName(file);
    struct stat old {};
    const bool replacing = ::stat(native.constData(), &old) == 0;
    if (replacing && !S_ISREG(old.st_mode))
        failNotAFile(target, old.st_mode);
    if (!replacing && errno != ENOENT)
        failWrite(file, errno); // a name too long, a folder on the way that is none, no access
    const QFileInfo info(file);
    m_tempName = QFile::encodeName(info.absolutePath()) + '/' + temporaryNameFor(info.fileName());
    const int fd = ::mkostemps(m_tempName.data(), kTempSuffixLength, O_CLOEXEC);
    if (fd < 0)
        failWrite(file, errno);
    // Held while the file is being written: removeStaleTemporaries() leaves a locked file alone.
    const bool locked = lockForWriting(fd);
    m_file = File(fd, target, locked);
    mode_t mode = 0666;
    if (replacing) {
        mode = old.st_mode & 07777;
        // The owner first: a change of owner clears the set-id bits that the mode then restores.
        struct stat now {};
        ::fstat(fd, &now);
        if (now.st_uid != old.st_uid || now.st_gid != old.st_gid) {
            if (::fchown(fd, old.st_uid, old.st_gid) != 0)
                ::fchown(fd, uid_t(-1), old.st_gid); // the group at least, where we belong to it
            ::fstat(fd, &now);
            if (now.st_uid != old.st_uid || now.st_gid != old.st_gid)
                m_ownerNotice =
                    QStringLiteral(
                        "Файл «%1» записан заново и теперь принадлежит пользователю %2 (группа %3): "
                        "прежнего владельца %4 (группа %5) система сохранить не позволила.")
                        .arg(nameOf(target), userName(now.st_uid), groupName(now.st_gid),
                             userName(old.st_uid), groupName(old.st_gid));
        }
    } else {
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
    m_file.m_locked = keepLocked || m_file.m_locked;
    const QString file = fileBehind(m_target);
    if (::rename(m_tempName.constData(), QFile::encodeName(file).constData()) != 0)
        failWrite(file, errno);
    m_done = true;
    // The rename itself must reach the disk too.
    syncFolderOf(file);
    if (!m_ownerNotice.isEmpty())
        notify(m_ownerNotice);
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
    const QString file = fileBehind(path);
    requireFileOrNothing(file);
    if (::access(QFile::encodeName(file).constData(), F_OK) == 0 &&
        ::access(QFile::encodeName(file).constData(), W_OK) != 0)
        refuse(writeReasonOf(file, errno == EROFS ? EROFS : EACCES));
    removeStaleTemporaries(QFileInfo(file).absolutePath());
    try {
        Replacement replacement(path);
        replacement.write(bytes);
        replacement.commit(false);
    } catch (const OpenError& e) {
        if (e.reason() == OpenFailure::NotAFile)
            throw;
        refuse(writeReasonOf(file, e.error()));
    } catch (const FileError& e) {
        refuse(writeReasonOf(file, e.error()));
    }
}

} // namespace fileio
