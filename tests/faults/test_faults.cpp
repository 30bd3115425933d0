// What the program does when the disk fills up, when it is killed, and when a second instance
// wants the same table: the user's files are never lost nor left half-written.
#include "FaultSupport.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <algorithm>
#include <csignal>

using namespace faults;

namespace {

const QString driver = QStringLiteral(KV_FAULT_DRIVER);

// One folder per case with a table and what the commands read.
struct Scene {
    QTemporaryDir dir;
    QString path(const char* name) const { return dir.filePath(QLatin1String(name)); }
    QString table() const { return path("meas.dbf"); }
};

enum class Command { Import, Append, DeletePack, Pack, Export, Report, DownloadBin };

// Prepares the files one command works on and gives its program and arguments.
struct Prepared {
    QString program;
    QStringList args;
    QStringList targets; // files the command replaces or changes
};

Prepared prepare(Scene& s, Command c) {
    switch (c) {
    case Command::Import:
        makeTable(s.table(), 100, epoch());
        writeImage(s.path("new.bin"), 342, epoch().addDays(30));
        return {app(), {QStringLiteral("import"), s.path("new.bin"), s.table()}, {s.table()}};
    case Command::Append:
        makeTable(s.table(), 100, epoch());
        // The first 100 records again, then 242 later ones: only those are added.
        writeImage(s.path("more.bin"), 342, epoch());
        return {app(),
                {QStringLiteral("import"), s.path("more.bin"), s.table(), QStringLiteral("--append")},
                {s.table()}};
    case Command::DeletePack:
        makeTable(s.table(), 300, epoch());
        return {driver, {QStringLiteral("delete-pack"), s.table(), QStringLiteral("3")}, {s.table()}};
    case Command::Pack: {
        makeTable(s.table(), 300, epoch());
        DbfTable t;
        MeasurementTable::open(t, s.table());
        // Every second record marked deleted: deleteRecord moves on to the next one.
        for (t.first(); !t.eof(); t.next())
            t.deleteRecord();
        t.close();
        return {driver, {QStringLiteral("pack"), s.table()}, {s.table()}};
    }
    case Command::Report:
        makeTable(s.table(), 300, epoch());
        writeAll(s.path("out.pdf"), QByteArray("an older report the user keeps"));
        return {app(),
                {QStringLiteral("report"), s.table(), QStringLiteral("--mode"), QStringLiteral("2"),
                 s.path("out.pdf")},
                {s.table(), s.path("out.pdf")}};
    case Command::Export:
        makeTable(s.table(), 300, epoch());
        writeAll(s.path("out.xls"), QByteArray("an older workbook the user keeps"));
        return {app(),
                {QStringLiteral("export"), s.table(), QStringLiteral("--mode"), QStringLiteral("1"),
                 s.path("out.xls")},
                {s.table(), s.path("out.xls")}};
    case Command::DownloadBin:
        makeTable(s.table(), 100, epoch());
        writeAll(s.path("dump.bin"), QByteArray("an older memory image"));
        return {app(),
                {QStringLiteral("download"), s.table(), QStringLiteral("--bin"), s.path("dump.bin")},
                {s.table(), s.path("dump.bin")}};
    }
    return {};
}

const char* nameOf(Command c) {
    switch (c) {
    case Command::Import:
        return "import";
    case Command::Append:
        return "append";
    case Command::DeletePack:
        return "delete-pack";
    case Command::Pack:
        return "pack";
    case Command::Report:
        return "report";
    case Command::Export:
        return "export";
    case Command::DownloadBin:
        return "download-bin";
    }
    return "";
}

} // namespace

class FaultTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void fullDiskLeavesFilesAsTheyWere_data();
    void fullDiskLeavesFilesAsTheyWere();
    void killLosesNothing_data();
    void killLosesNothing();
    void secondWriterIsRefused_data();
    void secondWriterIsRefused();

private:
    std::unique_ptr<Simulator> m_sim;
};

void FaultTest::initTestCase() {
    QVERIFY2(QFile::exists(app()), "KV_APP does not name the program");
    m_sim = std::make_unique<Simulator>(
        QStringList{QStringLiteral("--fast"), QStringLiteral("--records"), QStringLiteral("300")});
    QVERIFY2(!m_sim->device().isEmpty(), "the simulated instrument did not start");
    mapCom1(m_sim->device());
}

void FaultTest::fullDiskLeavesFilesAsTheyWere_data() {
    QTest::addColumn<int>("command");
    QTest::addColumn<int>("percent"); // of what the command writes, rounded down to 512-byte blocks
    const Command all[] = {Command::Import, Command::Append, Command::Pack,
                           Command::Export, Command::Report, Command::DownloadBin};
    for (Command c : all)
        for (int percent : {0, 50, 99})
            QTest::addRow("%s, %d%%", nameOf(c), percent) << int(c) << percent;
}

// The disk fills up after the first block, half-way, or one block before the end of the smallest
// file the command writes (measured on a run without the limit).
void FaultTest::fullDiskLeavesFilesAsTheyWere() {
    QFETCH(int, command);
    QFETCH(int, percent);
    qint64 written = 0;
    {
        Scene ref;
        const Prepared rp = prepare(ref, Command(command));
        const auto before = snapshot(ref.dir.path());
        const Run r = run(rp.program, rp.args);
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        for (const QString& target : rp.targets) {
            const QByteArray now = readAll(target);
            if (now != before.value(QFileInfo(target).fileName()))
                written = written ? std::min<qint64>(written, now.size()) : now.size();
        }
        QVERIFY(written > 1024);
    }
    const qint64 limit = std::max<qint64>(512, (written * percent / 100 / 512) * 512);
    if (limit >= written)
        QSKIP("the command writes too little for this limit");

    Scene s;
    const Prepared p = prepare(s, Command(command));
    const auto before = snapshot(s.dir.path());

    const Run r = run(p.program, p.args, limit);
    QVERIFY2(!r.crashed, qPrintable(r.err));
    QCOMPARE_NE(r.exitCode, 0);
    QCOMPARE_NE(r.exitCode, 99);
    QVERIFY2(!r.err.trimmed().isEmpty(), "no message for the user");
    const auto after = snapshot(s.dir.path());
    QCOMPARE(after.keys(), before.keys()); // no temporary file left beside
    for (const QString& name : before.keys())
        QVERIFY2(after.value(name) == before.value(name), qPrintable(name + QStringLiteral(" changed")));

    // The same command without the limit succeeds: it was the full disk that stopped it.
    const Run free = run(p.program, p.args);
    QVERIFY2(free.exitCode == 0, qPrintable(free.err));
}

void FaultTest::killLosesNothing_data() {
    QTest::addColumn<int>("command");
    QTest::newRow("import") << int(Command::Import);
    QTest::newRow("append") << int(Command::Append);
    QTest::newRow("delete and pack") << int(Command::DeletePack);
    QTest::newRow("export") << int(Command::Export);
}

// 50 runs, each killed with SIGKILL at a random moment of the command's run time (measured on an
// uninterrupted run). Afterwards the table opens with every record it had that the command was not
// asked to remove, and every file the command writes is either as before or complete.
void FaultTest::killLosesNothing() {
    QFETCH(int, command);
    const Command c = Command(command);

    // The outcome of an uninterrupted run.
    Scene ref;
    const Prepared rp = prepare(ref, c);
    const QStringList rowsBefore = rows(ref.table());
    QElapsedTimer clock;
    clock.start();
    const Run whole = run(rp.program, rp.args);
    qint64 duration = clock.elapsed();
    QVERIFY2(whole.exitCode == 0, qPrintable(whole.err));
    const QStringList rowsAfter = rows(ref.table());
    const QByteArray xlsAfter = c == Command::Export ? readAll(ref.path("out.xls")) : QByteArray();
    QVERIFY(rowsAfter != rowsBefore || c == Command::Export);
    // The machine may be busy: the median of three runs is the run time the kills spread over.
    std::vector<qint64> times{duration};
    for (int k = 0; k < 2; ++k) {
        Scene again;
        const Prepared ap = prepare(again, c);
        clock.restart();
        QVERIFY(run(ap.program, ap.args).exitCode == 0);
        times.push_back(clock.elapsed());
    }
    std::sort(times.begin(), times.end());
    duration = times[1];

    QRandomGenerator random(20110520u + quint32(command));
    int interrupted = 0, unchanged = 0;
    for (int i = 0; i < 50; ++i) {
        Scene s;
        const Prepared p = prepare(s, c);
        const QByteArray tableBefore = readAll(s.table());
        const QByteArray xlsBefore = readAll(s.path("out.xls"));

        QProcess proc;
        proc.start(p.program, p.args);
        QVERIFY(proc.waitForStarted(10000));
        const qint64 at = qint64(random.bounded(1.3) * double(duration) * 1000.0);
        QThread::usleep(std::max<qint64>(at, 0));
        if (proc.state() == QProcess::Running) {
            ::kill(proc.processId(), SIGKILL);
            ++interrupted;
        }
        QVERIFY(proc.waitForFinished(60000));

        QStringList now;
        try {
            now = rows(s.table());
        } catch (const KvError& e) {
            QFAIL(qPrintable(QStringLiteral("run %1, killed after %2 µs: the table does not open: %3")
                                 .arg(i)
                                 .arg(at)
                                 .arg(e.message())));
        }
        const QString where = QStringLiteral("run %1, killed after %2 µs").arg(i).arg(at);
        if (now == rowsBefore && (c != Command::Export || readAll(s.path("out.xls")) == xlsBefore))
            ++unchanged;
        switch (c) {
        case Command::Import:
        case Command::Append:
            // All of the old table or all of the new one, nothing in between.
            QVERIFY2(now == rowsBefore || now == rowsAfter, qPrintable(where));
            break;
        case Command::DeletePack: {
            // Deletion marks may be on some of the records asked for, never on any other one.
            for (const QString& row : rowsAfter)
                QVERIFY2(now.contains(row), qPrintable(where + QStringLiteral(": lost ") + row));
            for (const QString& row : now)
                QVERIFY2(rowsBefore.contains(row), qPrintable(where + QStringLiteral(": new row ") + row));
            break;
        }
        case Command::Export: {
            QVERIFY2(readAll(s.table()) == tableBefore,
                     qPrintable(where + QStringLiteral(": table changed")));
            const QByteArray xls = readAll(s.path("out.xls"));
            QVERIFY2(xls == xlsBefore || xls == xlsAfter,
                     qPrintable(where + QStringLiteral(": half-written workbook")));
            break;
        }
        case Command::Pack:
        case Command::Report:
        case Command::DownloadBin:
            break;
        }
        // The killed process held the table: nothing of its lock may remain.
        DbfTable t;
        try {
            MeasurementTable::open(t, s.table());
        } catch (const KvError& e) {
            QFAIL(qPrintable(where + QStringLiteral(": not writable afterwards: ") + e.message()));
        }
    }
    qInfo("%s: %d of 50 runs killed mid-way, %d left the files as before (uninterrupted run %lld ms)",
          nameOf(c), interrupted, unchanged, duration);
    QVERIFY2(interrupted >= 10, "too few runs were interrupted to mean anything");
}

void FaultTest::secondWriterIsRefused_data() {
    QTest::addColumn<int>("command");
    QTest::newRow("import") << int(Command::Import);
    QTest::newRow("append") << int(Command::Append);
    QTest::newRow("delete and pack") << int(Command::DeletePack);
    QTest::newRow("download") << int(Command::DownloadBin);
}

// This test process holds the table as the window would; a second program writing it is refused
// and the table is left alone, and once the first lets go the same command goes through.
void FaultTest::secondWriterIsRefused() {
    QFETCH(int, command);
    Scene s;
    const Prepared p = prepare(s, Command(command));
    const QByteArray before = readAll(s.table());
    {
        DbfTable holder;
        MeasurementTable::open(holder, s.table());
        const Run r = run(p.program, p.args);
        QVERIFY2(!r.crashed, qPrintable(r.err));
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(!r.err.trimmed().isEmpty(), "no message for the user");
        QVERIFY2(readAll(s.table()) == before, "the table was written under its holder");
        QCOMPARE(holder.recordCount(), 100 + 200 * (Command(command) == Command::DeletePack));
    }
    const Run r = run(p.program, p.args);
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
}

QTEST_GUILESS_MAIN(FaultTest)
#include "test_faults.moc"
