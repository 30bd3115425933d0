#include "core/FileLayer.h"
#include "tests/support/FileSizeLimit.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using fileio::Replacement;

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

QStringList entriesOf(const QString& dir) {
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

// The id of a process that has ended: a child that exits at once, reaped.
pid_t deadPid() {
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}

// A name of the file layer's temporary files for target, of the process pid on this host.
QString temporaryName(const QString& target, pid_t pid) {
    QByteArray name = fileio::temporaryNameFor(target);
    name.replace("." + QByteArray::number(qint64(::getpid())) + ".",
                 "." + QByteArray::number(qint64(pid)) + ".");
    name.replace("XXXXXX", "a1B2c3");
    return QFile::decodeName(name);
}

mode_t modeOf(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

} // namespace

class TestFileLayer : public QObject {
    Q_OBJECT
private slots:
    void saveReplacesTheFileWholeWhereItLivesWithItsPermissions() {
        QTemporaryDir dir;
        const QString path = dir.filePath("dump.bin");
        writeAll(path, QByteArray(9000, 'o'));
        QVERIFY(::chmod(QFile::encodeName(path).constData(), 0640) == 0);
        fileio::saveAtomically(path, "new image");
        QCOMPARE(readAll(path), QByteArray("new image"));
        QCOMPARE(modeOf(path), mode_t(0640));
        QCOMPARE(entriesOf(dir.path()), QStringList{"dump.bin"});

        const mode_t mask = ::umask(027);
        fileio::saveAtomically(dir.filePath("fresh.bin"), "x");
        ::umask(mask);
        QCOMPARE(modeOf(dir.filePath("fresh.bin")), mode_t(0640));

        // A file reached through a link is replaced where it lives; the link stays.
        QVERIFY(QDir(dir.path()).mkdir("data"));
        const QString real = dir.filePath("data/dump.bin");
        const QString link = dir.filePath("link.bin");
        writeAll(real, "old");
        QVERIFY(QFile::link(real, link));
        fileio::saveAtomically(link, "new");
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(readAll(real), QByteArray("new"));
        QCOMPARE(entriesOf(dir.filePath("data")), QStringList{"dump.bin"});
    }

    // A full disk: the old file stays, nothing is left beside it, and the message names the
    // system's reason.
    void saveOnAFullDiskLeavesTheOldFile() {
        QTemporaryDir dir;
        const QString path = dir.filePath("dump.bin");
        writeAll(path, "an older image");
        QString message;
        {
            FileSizeLimit full(4096);
            QVERIFY(full.active());
            try {
                fileio::saveAtomically(path, QByteArray(7566, 'i'));
            } catch (const KvError& e) {
                message = e.message();
            }
        }
        QCOMPARE(message,
                 QStringLiteral("Не удалось записать файл %1: файл превысил допустимый размер").arg(path));
        QCOMPARE(readAll(path), QByteArray("an older image"));
        QCOMPARE(entriesOf(dir.path()), QStringList{"dump.bin"});
    }

    void saveThatCannotStartSaysWhy_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("message"); // %1 the path, %2 the folder of the test
        QTest::newRow("missing folder")
            << QStringLiteral("no/such/folder/dump.bin")
            << QStringLiteral("Не удалось записать файл %1: папка «%2/no/such/folder» не найдена");
        QTest::newRow("a folder") << QStringLiteral("folder")
                                  << QStringLiteral("«folder» не является файлом.");
        QTest::newRow("a name too long")
            << QString(256, QLatin1Char('n'))
            << QStringLiteral("Не удалось записать файл %1: слишком длинное имя файла");
    }
    void saveThatCannotStartSaysWhy() {
        QFETCH(QString, name);
        QFETCH(QString, message);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("folder"));
        const QString path = dir.filePath(name);
        QString said;
        try {
            fileio::saveAtomically(path, "x");
        } catch (const KvError& e) {
            said = e.message();
        }
        QCOMPARE(
            said,
            QString(message).replace(QLatin1String("%1"), path).replace(QLatin1String("%2"), dir.path()));
        QCOMPARE(entriesOf(dir.path()), QStringList{});
        QVERIFY(QFileInfo(dir.filePath("folder")).isDir());
    }

    // Every reason of the system reads in Russian; where the folder is the cause it is named.
    void everyReasonIsRussian() {
        static const QRegularExpression latin(QStringLiteral("[A-Za-z]"));
        for (int error = 1; error < 140; ++error) {
            const QString reason = fileio::reasonOf(error);
            QVERIFY2(!reason.isEmpty() && !latin.match(reason).hasMatch(), qPrintable(reason));
        }
        QCOMPARE(fileio::reasonOf(99999), QStringLiteral("системная ошибка 99999"));
    }

    void writeReasonNamesTheCause_data() {
        QTest::addColumn<QString>("name"); // in the test's folder, which holds "file" and "ro"
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("reason"); // %1 the test's folder
        QTest::newRow("missing folder") << "missing/x.xls" << ENOENT << "папка «%1/missing» не найдена";
        QTest::newRow("missing file") << "x.xls" << ENOENT << "файл не найден";
        QTest::newRow("a file for a folder") << "file/x.xls" << ENOTDIR << "«%1/file» не является папкой";
        QTest::newRow("read-only file system")
            << "x.xls" << EROFS << "папка «%1» находится на файловой системе, доступной только для чтения";
        QTest::newRow("read-only folder") << "ro/x.xls" << EACCES << "нет доступа к папке «%1/ro»";
        QTest::newRow("the file may not be written") << "x.xls" << EACCES << "нет доступа к файлу";
        QTest::newRow("no space") << "x.xls" << ENOSPC << "нет места на диске";
        QTest::newRow("name too long") << "x.xls" << ENAMETOOLONG << "слишком длинное имя файла";
        QTest::newRow("a folder") << "x.xls" << EISDIR << "это папка";
        QTest::newRow("busy") << "x.xls" << EBUSY << "файл занят";
    }
    void writeReasonNamesTheCause() {
        QFETCH(QString, name);
        QFETCH(int, error);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        writeAll(dir.filePath("file"), "x");
        QVERIFY(QDir(dir.path()).mkdir("ro"));
        QVERIFY(::chmod(QFile::encodeName(dir.filePath("ro")).constData(), 0555) == 0);
        if (name.startsWith(QLatin1String("ro/")) &&
            ::access(QFile::encodeName(dir.filePath("ro")).constData(), W_OK) == 0)
            QSKIP("this user may write into any folder");
        QCOMPARE(fileio::writeReasonOf(dir.filePath(name), error),
                 QString(reason).replace(QLatin1String("%1"), dir.path()));
    }

    // A pipe, a folder or a device is refused before anything reads or writes it, and at once.
    void nonFilesAreRefusedWithoutWaiting_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("operation");
        for (const char* kind : {"pipe", "folder", "device"})
            for (const char* operation : {"read", "exclusive", "replace", "save"})
                QTest::addRow("%s, %s", kind, operation)
                    << QString::fromLatin1(kind) << QString::fromLatin1(operation);
    }
    void nonFilesAreRefusedWithoutWaiting() {
        QFETCH(QString, kind);
        QFETCH(QString, operation);
        QTemporaryDir dir;
        QString path = dir.filePath("t.dbf");
        if (kind == QLatin1String("pipe"))
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        else if (kind == QLatin1String("folder"))
            QVERIFY(QDir(dir.path()).mkdir("t.dbf"));
        else
            path = QStringLiteral("/dev/null");
        const QString name = QFileInfo(path).fileName();
        QString said;
        try {
            if (operation == QLatin1String("read"))
                fileio::File::openReadOnly(path);
            else if (operation == QLatin1String("exclusive"))
                fileio::File::openExclusive(path);
            else if (operation == QLatin1String("replace"))
                Replacement{path}.commit(false);
            else
                fileio::saveAtomically(path, "x");
        } catch (const fileio::OpenError& e) {
            QCOMPARE(e.reason(), fileio::OpenFailure::NotAFile);
            said = e.message();
        }
        QCOMPARE(said, QStringLiteral("«%1» не является файлом.").arg(name));
        QVERIFY(!fileio::File::isLockedByWriter(path));
        QVERIFY(!fileio::removeFile(path));
        QCOMPARE(fileio::kindOf(path),
                 kind == QLatin1String("folder") ? fileio::PathKind::Folder : fileio::PathKind::Other);
        // Nothing beside it: no temporary file left.
        if (kind != QLatin1String("device"))
            QCOMPARE(entriesOf(dir.path()),
                     kind == QLatin1String("pipe") ? QStringList{"t.dbf"} : QStringList{});
    }

    // Names up to the longest the system takes are written: the temporary name does not grow with them.
    void longestNamesAreWritten_data() {
        QTest::addColumn<int>("bytes");
        for (int bytes : {252, 253, 254, 255})
            QTest::addRow("%d bytes", bytes) << bytes;
    }
    void longestNamesAreWritten() {
        QFETCH(int, bytes);
        QTemporaryDir dir;
        // Two-byte letters and one-byte ones, so that every length is reached.
        const QString name = QString((bytes - 4) / 2, QChar(0x0444)) +
                             QString((bytes - 4) % 2, QLatin1Char('x')) + QStringLiteral(".dbf");
        QCOMPARE(QFile::encodeName(name).size(), bytes);
        fileio::saveAtomically(dir.filePath(name), "first");
        fileio::saveAtomically(dir.filePath(name), "second");
        QCOMPARE(readAll(dir.filePath(name)), QByteArray("second"));
        QCOMPARE(entriesOf(dir.path()), QStringList{name});
    }

    // Temporary files whose writer of this host no longer runs go; nothing else does.
    void temporariesOfEndedWritersGo_data() {
        QTest::addColumn<QString>("name"); // {dead}: a process that has ended, {self}: this one
        QTest::addColumn<QString>("kind"); // file, locked (held by a writer), folder
        QTest::addColumn<bool>("removed");
        QTest::newRow("an ended writer's") << "{dead}:t.dbf"
                                           << "file" << true;
        QTest::newRow("an ended writer's, of a long name")
            << QStringLiteral("{dead}:%1.dbf").arg(QString(120, QChar(0x0444))) << "file" << true;
        QTest::newRow("a running writer's") << "{self}:t.dbf"
                                            << "file" << false;
        QTest::newRow("held by a writer") << "{dead}:t.dbf"
                                          << "locked" << false;
        QTest::newRow("a folder of that name") << "{dead}:t.dbf"
                                               << "folder" << false;
        QTest::newRow("another host's") << "{other}:t.dbf"
                                        << "file" << false;
        QTest::newRow("the earlier form") << ".t.dbf.a1B2c3"
                                          << "file" << false;
        QTest::newRow("a kept copy") << "t.dbf.kept"
                                     << "file" << false;
        QTest::newRow("not hidden") << "{dead-visible}:t.dbf"
                                    << "file" << false;
        QTest::newRow("other ending") << "{dead-ending}:t.dbf"
                                      << "file" << false;
    }
    void temporariesOfEndedWritersGo() {
        QFETCH(QString, name);
        QFETCH(QString, kind);
        QFETCH(bool, removed);
        QTemporaryDir dir;
        QString file = name;
        if (name.startsWith(QLatin1Char('{'))) {
            const QString how = name.section(QLatin1Char(':'), 0, 0);
            const QString target = name.section(QLatin1Char(':'), 1);
            file = temporaryName(target, how == QLatin1String("{self}") ? ::getpid() : deadPid());
            if (how == QLatin1String("{other}")) {
                const qsizetype tilde = file.lastIndexOf(QLatin1Char('~'));
                file = file.left(tilde + 1) + QStringLiteral("elsewhere") +
                       file.mid(file.indexOf(QLatin1Char('.'), tilde));
            } else if (how == QLatin1String("{dead-visible}")) {
                file = file.mid(1);
            } else if (how == QLatin1String("{dead-ending}")) {
                file = file.chopped(6) + QStringLiteral(".tmp");
            }
        }
        const QString path = dir.filePath(file);
        int held = -1;
        if (kind == QLatin1String("folder")) {
            QVERIFY(QDir(dir.path()).mkdir(file));
        } else {
            writeAll(path, "left behind");
            if (kind == QLatin1String("locked")) {
                held = ::open(QFile::encodeName(path).constData(), O_RDWR);
                struct flock fl {};
                fl.l_type = F_WRLCK;
                fl.l_whence = SEEK_SET;
                QCOMPARE(::fcntl(held, F_OFD_SETLK, &fl), 0);
            }
        }
        fileio::removeStaleTemporaries(dir.path());
        if (held >= 0)
            ::close(held);
        QCOMPARE(!QFileInfo::exists(path), removed);
    }

    // A table's open removes what its own writers left, not that of other files.
    void temporariesGoForTheirFileOnly() {
        QTemporaryDir dir;
        const pid_t dead = deadPid();
        for (const char* target : {"t.dbf", "t.mdx", "u.dbf"})
            writeAll(dir.filePath(temporaryName(QString::fromLatin1(target), dead)), "left");
        writeAll(dir.filePath("t.dbf"), "table");
        {
            const fileio::File table = fileio::File::openReadOnly(dir.filePath("t.dbf"));
            // Another writer holds the table: nothing goes.
            const fileio::File writer = fileio::File::openExclusive(dir.filePath("t.dbf"));
            table.removeStaleTemporaries({dir.filePath("t.mdx")});
            QCOMPARE(entriesOf(dir.path()).size(), 4);
        }
        const fileio::File table = fileio::File::openReadOnly(dir.filePath("t.dbf"));
        table.removeStaleTemporaries({dir.filePath("t.mdx")});
        QCOMPARE(entriesOf(dir.path()), (QStringList{temporaryName("u.dbf", dead), "t.dbf"}));
        // The momentary lock was given back.
        QVERIFY(fileio::File::openExclusive(dir.filePath("t.dbf")).isOpen());
    }

    // A replaced file keeps its owner, group and mode (as root, for a file of another user).
    void replacedFileKeepsItsOwner() {
        if (::geteuid() != 0)
            QSKIP("only root may give a file to another user");
        QTemporaryDir dir;
        const QString path = dir.filePath("t.dbf");
        writeAll(path, "old");
        QVERIFY(::chown(QFile::encodeName(path).constData(), 65534, 65534) == 0);
        QVERIFY(::chmod(QFile::encodeName(path).constData(), 02640) == 0);
        fileio::saveAtomically(path, "new");
        struct stat st {};
        QVERIFY(::stat(QFile::encodeName(path).constData(), &st) == 0);
        QCOMPARE(st.st_uid, uid_t(65534));
        QCOMPARE(st.st_gid, gid_t(65534));
        QCOMPARE(st.st_mode & 07777, mode_t(02640));
        QCOMPARE(fileio::takeNotices(), QStringList{});
    }

    // Where the system does not let the new file have the old owner, the user learns who owns it now.
    void ownerThatCannotBeKeptIsTold() {
        if (::geteuid() != 0)
            QSKIP("needs a file of another user: run as root");
        QTemporaryDir dir;
        QVERIFY(::chmod(QFile::encodeName(dir.path()).constData(), 0777) == 0);
        const QString path = dir.filePath("t.dbf");
        writeAll(path, "old");
        QVERIFY(::chmod(QFile::encodeName(path).constData(), 0666) == 0);
        int out[2];
        QCOMPARE(::pipe(out), 0);
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(out[0]);
            if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
                ::_exit(2);
            try {
                Replacement file(path);
                file.write("new");
                file.commit(false);
            } catch (...) {
                ::_exit(3);
            }
            const QByteArray said = fileio::takeNotices().join(QLatin1Char('\n')).toUtf8();
            ::_exit(::write(out[1], said.constData(), size_t(said.size())) == said.size() ? 0 : 4);
        }
        ::close(out[1]);
        QByteArray said;
        char buf[512];
        for (ssize_t n; (n = ::read(out[0], buf, sizeof buf)) > 0;)
            said.append(buf, n);
        ::close(out[0]);
        int status = -1;
        ::waitpid(child, &status, 0);
        QCOMPARE(WEXITSTATUS(status), 0);
        const QString user = QString::fromLocal8Bit(::getpwuid(65534) ? ::getpwuid(65534)->pw_name : "65534");
        const QString group =
            QString::fromLocal8Bit(::getgrgid(65534) ? ::getgrgid(65534)->gr_name : "65534");
        QCOMPARE(
            QString::fromUtf8(said),
            QStringLiteral("Файл «t.dbf» записан заново и теперь принадлежит пользователю %1 (группа %2): "
                           "прежнего владельца root (группа root) система сохранить не позволила.")
                .arg(user, group));
        QCOMPARE(readAll(path), QByteArray("new"));
    }

    void abandonedReplacementLeavesNoTrace() {
        QTemporaryDir dir;
        const QString path = dir.filePath("t.dbf");
        writeAll(path, "old");
        {
            Replacement file(path);
            file.write("half of a new ");
            file.rewind();
            file.write("file");
        }
        QCOMPARE(readAll(path), QByteArray("old"));
        QCOMPARE(entriesOf(dir.path()), QStringList{"t.dbf"});
    }
};

QTEST_GUILESS_MAIN(TestFileLayer)
#include "test_file_layer.moc"
