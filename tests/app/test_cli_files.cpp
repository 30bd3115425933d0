// The command line against the paths a user can give it: pipes and folders where files belong,
// folders it may not write, names at the system's limit, files of another user, and what killed
// writers left behind. Each case ends at once; a hang would fail by the test's time-out.
#include "ProgramRun.h"
#include "TestImages.h"

#include "core/FileLayer.h"
#include "db/DbfTable.h"
#include "db/MeasurementTable.h"
#include "image/Importer.h"
#include "image/MemoryImage.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const QDateTime kStart(QDate(2010, 5, 5), QTime(12, 0));

QString app() {
    return qEnvironmentVariable("KV_APP");
}

// What the program said, without Qt's own notes about the machine (a missing runtime folder).
QString said(const QString& err) {
    QStringList lines = err.split(QLatin1Char('\n'));
    lines.removeIf([](const QString& line) { return line.startsWith(QLatin1String("QStandardPaths: ")); });
    return lines.join(QLatin1Char('\n'));
}

// Runs the program; as root, optionally as the user nobody, for whom a folder's mode counts.
ProgramRun runAs(const QStringList& args, bool unprivileged = false) {
    QProcess p;
    if (unprivileged && ::geteuid() == 0)
        p.setChildProcessModifier([] {
            if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
                ::_exit(99);
        });
    p.start(app(), args);
    ProgramRun r;
    if (!p.waitForFinished(60000))
        return r;
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

QByteArray imageBytes(int count, const QDateTime& start) {
    return image::testimages::buildImage(image::testimages::sequence(count, start));
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

// A measurement table of count records from kStart.
void makeTable(const QString& path, int count) {
    image::MemoryImage memory;
    memory.load(imageBytes(count, kStart));
    DbfTable table;
    image::Importer(table).createTable(path, memory);
    table.close();
}

// The temporary name the file layer gives target, as a process pid of this host made it.
QString temporaryName(const QString& target, pid_t pid) {
    QByteArray name = fileio::temporaryNameFor(target);
    name.replace("." + QByteArray::number(qint64(::getpid())) + ".",
                 "." + QByteArray::number(qint64(pid)) + ".");
    name.replace("XXXXXX", "Zq9Zq9");
    return QFile::decodeName(name);
}

pid_t deadPid() {
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}

QStringList entries(const QString& dir) {
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                               QDir::Name);
}

bool isPipe(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISFIFO(st.st_mode);
}

// Every argument "@name" stands for that file in folder.
QStringList inFolder(const QStringList& args, const QString& folder) {
    QStringList out;
    for (const QString& a : args)
        out << (a.startsWith(QLatin1Char('@')) ? QDir(folder).filePath(a.mid(1)) : a);
    return out;
}

} // namespace

class TestCliFiles : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY2(QFile::exists(app()), "KV_APP does not name the program"); }

    // A pipe or a folder where a command reads or writes a file: refused at once, and left as it
    // is; a pipe or a folder with the index file's name: the table opens without its index.
    void specialPathsAreRefusedAtOnce_data() {
        QTest::addColumn<QString>("special"); // the name made a pipe or a folder
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("err"); // the whole of stderr
        const QString notice =
            QStringLiteral("«t.mdx» не является файлом: таблица «t.dbf» открыта без индекса.\n");
        for (const char* kind : {"pipe", "folder"}) {
            const auto row = [&](const char* what, const char* special, const QStringList& args, int status,
                                 const QString& err) {
                QTest::addRow("%s, %s", what, kind)
                    << QStringLiteral("%1:%2").arg(QLatin1String(kind), QLatin1String(special)) << args
                    << status << err;
            };
            row("import from it", "p.bin", {"import", "@p.bin", "@new.dbf"}, 1,
                "«p.bin» не является файлом.\n");
            row("import into it", "new.dbf", {"import", "@m.bin", "@new.dbf"}, 1,
                "Таблица «new.dbf» не создана: «new.dbf» не является файлом.\n");
            row("dump it", "p.dbf", {"dump", "@p.dbf"}, 1, "«p.dbf» не является файлом.\n");
            row("export into it", "o.xls", {"export", "@t.dbf", "--mode", "0", "@o.xls"}, 1,
                QStringLiteral("StgCreateDocFile error %1\n«o.xls» не является файлом.\n")
                    .arg(kind == std::string_view("folder") ? EISDIR : EINVAL));
            row("report into it", "o.pdf", {"report", "@t.dbf", "--mode", "0", "@o.pdf"}, 1,
                "«o.pdf» не является файлом.\n");
            row("chart into it", "o.png", {"chart", "@t.dbf", "--mode", "0", "--value", "F", "@o.png"}, 1,
                "«o.png» не является файлом.\n");
            row("append beside it", "t.mdx", {"import", "@m.bin", "@t.dbf", "--append"}, 0, notice);
            row("dump beside it", "t.mdx", {"dump", "@t.dbf", "--sort", "F"}, 0, notice);
            row("export beside it", "t.mdx", {"export", "@t.dbf", "--mode", "1", "@o.xls"}, 0, notice);
            row("index it", "t.mdx", {"index", "@t.dbf", "F"}, 1, "«t.mdx» не является файлом.\n" + notice);
            row("drop it", "t.mdx", {"index", "@t.dbf", "--drop"}, 1,
                "«t.mdx» не является файлом.\n" + notice);
        }
    }
    void specialPathsAreRefusedAtOnce() {
        QFETCH(QString, special);
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, err);
        QTemporaryDir dir;
        makeTable(dir.filePath("t.dbf"), 10);
        writeFile(dir.filePath("m.bin"), imageBytes(12, kStart.addDays(1)));
        const bool pipe = special.startsWith(QLatin1String("pipe:"));
        const QString path = dir.filePath(special.section(QLatin1Char(':'), 1));
        if (pipe)
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        else
            QVERIFY(QDir().mkdir(path));
        QStringList before = entries(dir.path());

        const ProgramRun r = runProgram(app(), inFolder(args, dir.path()));
        QCOMPARE(r.status, status);
        QCOMPARE(said(r.err), err);
        QVERIFY(pipe ? isPipe(path) : QFileInfo(path).isDir());
        // Nothing new beside but the workbook of an export that went through: no table made, no
        // temporary file left.
        QStringList after = entries(dir.path());
        if (status == 0)
            after.removeAll(QStringLiteral("o.xls"));
        QCOMPARE(after, before);
    }

    // Each cause of a failed write in the user's words, naming the folder when it is the cause.
    void messagesSayWhy_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("unprivileged");
        QTest::addColumn<QString>("err"); // %1 the test's folder
        const QString longName = QString(252, QLatin1Char('n')) + QStringLiteral(".dbf");
        QTest::newRow("append into a read-only folder")
            << QStringList{"import", "@m.bin", "@ro/t.dbf", "--append"} << true
            << "Записи не добавлены в таблицу «t.dbf»: Не удалось записать файл «t.dbf»: нет доступа к папке "
               "«%1/ro».\nТаблица осталась прежней.\n";
        QTest::newRow("report into a read-only folder")
            << QStringList{"report", "@ro/t.dbf", "--mode", "0", "@ro/o.pdf"} << true
            << "Не удалось записать файл «%1/ro/o.pdf»: нет доступа к папке «%1/ro»\n";
        QTest::newRow("create in a missing folder")
            << QStringList{"import", "@m.bin", "@missing/n.dbf"} << false
            << "Таблица «n.dbf» не создана: Не удалось записать файл «n.dbf»: папка «%1/missing» не "
               "найдена.\n";
        QTest::newRow("export into a missing folder")
            << QStringList{"export", "@t.dbf", "--mode", "2", "@missing/o.xls"} << false
            << "StgCreateDocFile error 2\nНе удалось записать файл «o.xls»: папка «%1/missing» не найдена.\n";
        QTest::newRow("a name too long")
            << QStringList{"import", "@m.bin", "@" + longName} << false
            << QStringLiteral(
                   "Таблица «%2» не создана: Не удалось записать файл «%2»: слишком длинное имя файла.\n")
                   .arg(longName);
        QTest::newRow("a table held by another program")
            << QStringList{"import", "@m.bin", "@held.dbf", "--append"} << false
            << "Таблица «held.dbf» уже открыта для записи другой программой.\n";
    }
    void messagesSayWhy() {
        QFETCH(QStringList, args);
        QFETCH(bool, unprivileged);
        QFETCH(QString, err);
        QTemporaryDir dir;
        QVERIFY(::chmod(QFile::encodeName(dir.path()).constData(), 0755) == 0);
        QVERIFY(QDir(dir.path()).mkdir("ro"));
        makeTable(dir.filePath("t.dbf"), 10);
        makeTable(dir.filePath("ro/t.dbf"), 10);
        makeTable(dir.filePath("held.dbf"), 10);
        writeFile(dir.filePath("m.bin"), imageBytes(12, kStart.addDays(1)));
        for (const char* name : {"t.dbf", "ro/t.dbf", "m.bin"})
            QVERIFY(::chmod(QFile::encodeName(dir.filePath(name)).constData(), 0666) == 0);
        QVERIFY(::chmod(QFile::encodeName(dir.filePath("ro")).constData(), 0555) == 0);
        if (unprivileged && ::geteuid() != 0 &&
            ::access(QFile::encodeName(dir.filePath("ro")).constData(), W_OK) == 0)
            QSKIP("this user may write into any folder");
        const QStringList before = entries(dir.path());
        const QStringList beforeRo = entries(dir.filePath("ro"));
        DbfTable holder;
        MeasurementTable::open(holder, dir.filePath("held.dbf"));

        const ProgramRun r = runAs(inFolder(args, dir.path()), unprivileged);
        QCOMPARE(r.status, 1);
        QCOMPARE(said(r.err), err.contains(QLatin1String("%1")) ? err.arg(dir.path()) : err);
        QCOMPARE(entries(dir.path()), before);
        QCOMPARE(entries(dir.filePath("ro")), beforeRo);
    }

    // Names up to the longest a file system takes work for creating a table, appending to it and
    // reading it: the hidden temporary name no longer grows with the table's name.
    void longestNamesWork_data() {
        QTest::addColumn<int>("bytes");
        for (int bytes : {252, 255})
            QTest::addRow("%d bytes", bytes) << bytes;
    }
    void longestNamesWork() {
        QFETCH(int, bytes);
        QTemporaryDir dir;
        const QString name = QString((bytes - 4) / 2, QChar(0x0446)) +
                             QString((bytes - 4) % 2, QLatin1Char('x')) + QStringLiteral(".dbf");
        QCOMPARE(QFile::encodeName(name).size(), bytes);
        writeFile(dir.filePath("a.bin"), imageBytes(5, kStart));
        writeFile(dir.filePath("b.bin"), imageBytes(8, kStart));
        const QString table = dir.filePath(name);
        ProgramRun r = runProgram(app(), {"import", dir.filePath("a.bin"), table});
        QVERIFY2(r.status == 0, qPrintable(r.err));
        r = runProgram(app(), {"import", dir.filePath("b.bin"), table, "--append"});
        QVERIFY2(r.status == 0, qPrintable(r.err));
        QCOMPARE(r.out, QStringLiteral("Добавлено записей: 3\n"));
        r = runProgram(app(), {"dump", table});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out.count(QLatin1Char('\n')), 1 + 8);
        QCOMPARE(entries(dir.path()), (QStringList{"a.bin", "b.bin", name}));
    }

    // The next open of a table (a read-only dump too) removes what killed writers of it left,
    // unless another program holds it; the next export to a folder removes what killed exports
    // left. Nothing of any other name goes.
    void leftoversOfKilledWritersGoOnTheNextOpen() {
        QTemporaryDir dir;
        makeTable(dir.filePath("t.dbf"), 10);
        const pid_t dead = deadPid();
        const QStringList ofTable = {temporaryName("t.dbf", dead), temporaryName("t.mdx", dead)};
        const QString ofExport = temporaryName("o.xls", dead);
        const QStringList others = {".t.dbf.Zq9Zq9", "t.dbf.kept", temporaryName("t.dbf", ::getpid())};
        QStringList all;
        {
            // The files appear while another program holds the table (its own open has cleaned up).
            DbfTable holder;
            MeasurementTable::open(holder, dir.filePath("t.dbf"));
            for (const QString& name : ofTable + others + QStringList{ofExport})
                writeFile(dir.filePath(name), "left by a killed writer");
            all = entries(dir.path());
            QCOMPARE(all.size(), 7);
            QCOMPARE(runProgram(app(), {"dump", dir.filePath("t.dbf")}).status, 0);
            QCOMPARE(entries(dir.path()), all);
        }
        QCOMPARE(runProgram(app(), {"dump", dir.filePath("t.dbf")}).status, 0);
        QStringList expected = all;
        for (const QString& name : ofTable)
            expected.removeAll(name);
        QCOMPARE(entries(dir.path()), expected);

        QCOMPARE(
            runProgram(app(), {"export", dir.filePath("t.dbf"), "--mode", "0", dir.filePath("x.xls")}).status,
            0);
        expected.removeAll(ofExport);
        expected << QStringLiteral("x.xls");
        expected.sort();
        QStringList now = entries(dir.path());
        now.sort();
        QCOMPARE(now, expected);
    }

    // A table appended to and a workbook replaced keep their owner, group and mode (run as root,
    // the files are given to another user first).
    void replacedFilesKeepTheirOwner() {
        if (::geteuid() != 0)
            QSKIP("only root may give a file to another user");
        QTemporaryDir dir;
        makeTable(dir.filePath("t.dbf"), 10);
        writeFile(dir.filePath("m.bin"), imageBytes(12, kStart.addDays(1)));
        writeFile(dir.filePath("o.xls"), "an older workbook");
        for (const char* name : {"t.dbf", "o.xls"}) {
            QVERIFY(::chown(QFile::encodeName(dir.filePath(name)).constData(), 65534, 65534) == 0);
            QVERIFY(::chmod(QFile::encodeName(dir.filePath(name)).constData(), 0640) == 0);
        }
        ProgramRun r =
            runProgram(app(), {"import", dir.filePath("m.bin"), dir.filePath("t.dbf"), "--append"});
        QVERIFY2(r.status == 0, qPrintable(r.err));
        QCOMPARE(said(r.err), QString());
        r = runProgram(app(), {"export", dir.filePath("t.dbf"), "--mode", "0", dir.filePath("o.xls")});
        QVERIFY2(r.status == 0, qPrintable(r.err));
        for (const char* name : {"t.dbf", "o.xls"}) {
            struct stat st {};
            QVERIFY(::stat(QFile::encodeName(dir.filePath(name)).constData(), &st) == 0);
            QCOMPARE(st.st_uid, uid_t(65534));
            QCOMPARE(st.st_gid, gid_t(65534));
            QCOMPARE(st.st_mode & 07777, mode_t(0640));
        }
        QVERIFY(QFileInfo(dir.filePath("o.xls")).size() > 1000);
    }

    // `report` writes PDF, under a name that says so.
    void reportIsWrittenAsPdfOnly_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("written");
        QTest::newRow(".kvr") << QStringLiteral("X.kvr") << false;
        QTest::newRow("no extension") << QStringLiteral("X") << false;
        QTest::newRow(".pdf.txt") << QStringLiteral("X.pdf.txt") << false;
        QTest::newRow(".PDF") << QStringLiteral("X.PDF") << true;
    }
    void reportIsWrittenAsPdfOnly() {
        QFETCH(QString, name);
        QFETCH(bool, written);
        QTemporaryDir dir;
        makeTable(dir.filePath("t.dbf"), 10);
        const ProgramRun r =
            runProgram(app(), {"report", dir.filePath("t.dbf"), "--mode", "0", dir.filePath(name)});
        QCOMPARE(r.status, written ? 0 : 1);
        QCOMPARE(
            said(r.err),
            written ? QString()
                    : QStringLiteral("Отчёт записывается в файл .pdf, а не «%1».\n").arg(dir.filePath(name)));
        QCOMPARE(QFileInfo::exists(dir.filePath(name)), written);
    }
};

QTEST_GUILESS_MAIN(TestCliFiles)
#include "test_cli_files.moc"
