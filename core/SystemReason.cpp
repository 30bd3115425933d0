#include "core/SystemReason.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace fileio {

QString reasonOf(int error) {
    switch (error) {
    case EACCES:
    case EPERM:
        return QStringLiteral("нет доступа");
    case ENOSPC:
        return QStringLiteral("нет места на диске");
    case EDQUOT:
        return QStringLiteral("исчерпана дисковая квота");
    case EFBIG:
        return QStringLiteral("файл превысил допустимый размер");
    case ENOENT:
        return QStringLiteral("не найден");
    case EISDIR:
        return QStringLiteral("это папка");
    case ENOTDIR:
        return QStringLiteral("часть пути не является папкой");
    case ENAMETOOLONG:
        return QStringLiteral("слишком длинное имя");
    case EROFS:
        return QStringLiteral("файловая система доступна только для чтения");
    case EBUSY:
    case ETXTBSY:
        return QStringLiteral("файл занят");
    case EAGAIN:
        return QStringLiteral("файл захвачен другой программой");
    case ENOLCK:
        return QStringLiteral("файловая система не поддерживает блокировку файлов");
    case EIO:
        return QStringLiteral("ошибка ввода-вывода");
    case ENOMEM:
        return QStringLiteral("недостаточно памяти");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("открыто слишком много файлов");
    case ELOOP:
        return QStringLiteral("слишком много символических ссылок");
    case EEXIST:
        return QStringLiteral("файл уже существует");
    case EXDEV:
        return QStringLiteral("файл находится на другом диске");
    case ENXIO:
    case ENODEV:
        return QStringLiteral("устройство не найдено");
    case ETIMEDOUT:
        return QStringLiteral("сетевая папка не отвечает");
    case ESTALE:
        return QStringLiteral("сетевой файл больше недоступен");
    case EINTR:
        return QStringLiteral("операция прервана");
    case EOPNOTSUPP:
        return QStringLiteral("файловая система не поддерживает эту операцию");
    case EINVAL:
        return QStringLiteral("недопустимая операция");
    default:
        return QStringLiteral("системная ошибка %1").arg(error);
    }
}

QString writeReasonOf(const QString& path, int error) {
    const QString folder = QFileInfo(path).absolutePath();
    const QByteArray native = QFile::encodeName(folder);
    const QString shown = QDir::toNativeSeparators(folder);
    struct stat st {};
    const bool folderThere = ::stat(native.constData(), &st) == 0;
    switch (error) {
    case ENOENT:
        if (!folderThere)
            return QStringLiteral("папка «%1» не найдена").arg(shown);
        return QStringLiteral("файл не найден");
    case ENOTDIR:
        if (folderThere && !S_ISDIR(st.st_mode))
            return QStringLiteral("«%1» не является папкой").arg(shown);
        if (!folderThere)
            return QStringLiteral("папка «%1» не найдена").arg(shown);
        break;
    case EACCES:
    case EPERM:
        // Making or renaming a file needs the right to write into its folder.
        if (folderThere && ::access(native.constData(), W_OK | X_OK) != 0)
            return QStringLiteral("нет доступа к папке «%1»").arg(shown);
        return QStringLiteral("нет доступа к файлу");
    case EROFS:
        return QStringLiteral("папка «%1» находится на файловой системе, доступной только для чтения")
            .arg(shown);
    case ENAMETOOLONG:
        return QStringLiteral("слишком длинное имя файла");
    default:
        break;
    }
    return reasonOf(error);
}

} // namespace fileio
