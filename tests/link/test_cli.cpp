#include "ProgramRun.h"
#include "Simulator.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

// `kvarnel-ld5 download` end to end: the program, the simulated instrument and Debian's own
// dBase reader as the judge of the table.
class CliTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void downloadCreatesTableAndBin();
    void appendKeepsOnlyNewerRecords();
    void noInstrumentFailsWithMessage();
    void rejectedInstrumentFails();
    void forbiddenDeviceIsNamed();
    void lostLineFailsWithMessage();
    void chosenPortIsTheOnlyOneTried();
    void portsListsOneLineEach();

private:
    using Run = ProgramRun;
    Run download(const QStringList& args);
    Run command(const QStringList& args);
    int dbfRows(const QString& path);

    QTemporaryDir m_dir;
    QString m_app;
};

void CliTest::initTestCase() {
    m_app = qEnvironmentVariable("KV_APP");
    QVERIFY2(QFileInfo(m_app).isExecutable(), qPrintable(m_app));
}

CliTest::Run CliTest::download(const QStringList& args) {
    return command(QStringList{QStringLiteral("download")} + args);
}

CliTest::Run CliTest::command(const QStringList& args) {
    return runProgram(m_app, args);
}

int CliTest::dbfRows(const QString& path) {
    QProcess py;
    py.start(QStringLiteral("/usr/bin/python3"),
             {QStringLiteral("-c"),
              QStringLiteral("import sys, dbfread; print(len(list(dbfread.DBF(sys.argv[1]))))"), path});
    if (!py.waitForFinished(30000) || py.exitCode() != 0)
        return -1;
    return py.readAllStandardOutput().trimmed().toInt();
}

void CliTest::downloadCreatesTableAndBin() {
    const QString source = m_dir.filePath(QStringLiteral("source.bin"));
    Simulator sim({QStringLiteral("--fast"), QStringLiteral("--records"), QStringLiteral("300"),
                   QStringLiteral("--write-image"), source});
    QVERIFY(sim.ok());
    mapPort(QStringLiteral("COM1"), sim.device());
    mapPort(QStringLiteral("COM2"), QStringLiteral("/nonexistent/ttyS1"));
    const QString table = m_dir.filePath(QStringLiteral("new.dbf"));
    const QString bin = m_dir.filePath(QStringLiteral("copy.bin"));
    const Run r = download({table, QStringLiteral("--bin"), bin});
    QVERIFY2(r.status == 0, qPrintable(r.err));
    // stderr is a pipe here: one progress line per tenth of the dump, none rewritten in place.
    QVERIFY(!r.err.contains(QLatin1Char('\r')));
    QStringList progress;
    for (const QString& l : r.err.split(QLatin1Char('\n')))
        if (l.endsWith(QStringLiteral("% - Прием данных")))
            progress << l;
    // The simulator hands over thousands of characters a tick, so tenths may be skipped.
    QVERIFY2(progress.size() >= 2 && progress.size() <= 11, qPrintable(progress.join(QLatin1Char('|'))));
    for (int i = 1; i < progress.size(); ++i)
        QVERIFY2(progress[i].section(QLatin1Char('%'), 0, 0).toInt() / 10 >
                     progress[i - 1].section(QLatin1Char('%'), 0, 0).toInt() / 10,
                 qPrintable(progress.join(QLatin1Char('|'))));
    QCOMPARE(progress.last(), QStringLiteral("100% - Прием данных"));
    QVERIFY(r.err.contains(QStringLiteral("Количество записей: 300")));
    QFile a(source), b(bin);
    QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
    QCOMPARE(b.readAll(), a.readAll());
    QCOMPARE(dbfRows(table), 300);
}

void CliTest::appendKeepsOnlyNewerRecords() {
    Simulator sim({QStringLiteral("--fast"), QStringLiteral("--records"), QStringLiteral("30")});
    mapPort(QStringLiteral("COM1"), sim.device());
    const QString table = m_dir.filePath(QStringLiteral("append.dbf"));
    QCOMPARE(download({table}).status, 0);
    QCOMPARE(dbfRows(table), 30);
    const Run r = download({table, QStringLiteral("--append")});
    QVERIFY2(r.status == 0, qPrintable(r.err));
    QCOMPARE(r.out.trimmed(), QStringLiteral("Добавлено записей: 0"));
    QCOMPARE(dbfRows(table), 30);
}

void CliTest::noInstrumentFailsWithMessage() {
    Simulator silent({QStringLiteral("--fault"), QStringLiteral("silent")});
    mapPort(QStringLiteral("COM1"), silent.device());
    mapPort(QStringLiteral("COM2"), QStringLiteral("/nonexistent/ttyS1"));
    const QString table = m_dir.filePath(QStringLiteral("never.dbf"));
    const Run r = download({table});
    QCOMPARE(r.status, 1);
    QVERIFY(r.err.contains(
        QStringLiteral("Прибор не обнаружен! Проверте правильность подключения согласно инструкции!")));
    QVERIFY(r.err.contains(QStringLiteral("/nonexistent/ttyS1")));
    QVERIFY(!QFile::exists(table));
}

void CliTest::rejectedInstrumentFails() {
    Simulator sim({QStringLiteral("--fast"), QStringLiteral("--fault"), QStringLiteral("wrong-type")});
    mapPort(QStringLiteral("COM1"), sim.device());
    const QString table = m_dir.filePath(QStringLiteral("wrong.dbf"));
    const Run r = download({table});
    QCOMPARE(r.status, 1);
    QVERIFY(r.err.contains(QStringLiteral("Вы подключили не тот прибор !")));
    QVERIFY(!QFile::exists(table));
}

void CliTest::forbiddenDeviceIsNamed() {
    if (::geteuid() == 0)
        QSKIP("root opens every device: no permission failure to see");
    const QString forbidden = m_dir.filePath(QStringLiteral("ttyS0"));
    QFile f(forbidden);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();
    QVERIFY(QFile::setPermissions(forbidden, QFileDevice::Permissions()));
    mapPort(QStringLiteral("COM1"), forbidden);
    mapPort(QStringLiteral("COM2"), QStringLiteral("/nonexistent/ttyS1"));
    const Run r = download({m_dir.filePath(QStringLiteral("forbidden.dbf"))});
    QCOMPARE(r.status, 1);
    QVERIFY(r.err.contains(QStringLiteral("Прибор не обнаружен!")));
    QVERIFY2(r.err.contains(
                 QStringLiteral("(%1): нет доступа: пользователь должен входить в группу").arg(forbidden)),
             qPrintable(r.err));
    QVERIFY(r.err.contains(QStringLiteral("(/nonexistent/ttyS1): устройство не найдено")));
}

void CliTest::chosenPortIsTheOnlyOneTried() {
    Simulator sim({QStringLiteral("--fast"), QStringLiteral("--records"), QStringLiteral("12")});
    QVERIFY(sim.ok());
    // COM1 and COM2 hold nothing; the chosen port has the instrument.
    mapPort(QStringLiteral("COM1"), QStringLiteral("/nonexistent/ttyS0"));
    mapPort(QStringLiteral("COM2"), QStringLiteral("/nonexistent/ttyS1"));
    const QString table = m_dir.filePath(QStringLiteral("chosen.dbf"));
    Run r = download({table, QStringLiteral("--port"), sim.device()});
    QVERIFY2(r.status == 0, qPrintable(r.err));
    QVERIFY(!r.err.contains(QStringLiteral("ttyS0")));
    QCOMPARE(dbfRows(table), 12);
    // With the instrument on COM1 and another port chosen, COM1 is never tried.
    mapPort(QStringLiteral("COM1"), sim.device());
    const QString other = m_dir.filePath(QStringLiteral("other.dbf"));
    r = download({other, QStringLiteral("--port"), QStringLiteral("/nonexistent/ttyUSB7")});
    QCOMPARE(r.status, 1);
    QVERIFY2(r.err.contains(QStringLiteral("Прибор не обнаружен! Проверте правильность подключения согласно "
                                           "инструкции!\n/nonexistent/ttyUSB7: устройство не найдено\n")),
             qPrintable(r.err));
    QVERIFY(!r.err.contains(QStringLiteral("COM1")));
    QVERIFY(!QFile::exists(other));
    QCOMPARE(download({other, QStringLiteral("--port")}).status, 1);
}

void CliTest::portsListsOneLineEach() {
    const Run r = command({QStringLiteral("ports")});
    QCOMPARE(r.status, 0);
    const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (lines.isEmpty())
        QVERIFY(r.err.contains(QStringLiteral("Последовательные порты не найдены.")));
    for (const QString& line : lines) {
        const QStringList fields = line.split(QLatin1Char('\t'));
        QCOMPARE(fields.size(), 5);
        QVERIFY(fields[0].startsWith(QLatin1Char('/')));
        QVERIFY(!fields[4].isEmpty());
    }
    QCOMPARE(command({QStringLiteral("ports"), QStringLiteral("extra")}).status, 1);
    const Run help = command({QStringLiteral("--help")});
    QVERIFY(help.out.contains(QStringLiteral("kvarnel-ld5 ports")));
    QVERIFY(help.out.contains(QStringLiteral("--port DEVICE")));
}

void CliTest::lostLineFailsWithMessage() {
    // The instrument's side of the line closes a third into the dump, as when the cable is pulled.
    Simulator sim({QStringLiteral("--fast"), QStringLiteral("--fault"), QStringLiteral("hangup")});
    QVERIFY(sim.ok());
    mapPort(QStringLiteral("COM1"), sim.device());
    const QString table = m_dir.filePath(QStringLiteral("lost.dbf"));
    const QString bin = m_dir.filePath(QStringLiteral("lost.bin"));
    const Run r = download({table, QStringLiteral("--bin"), bin});
    QCOMPARE(r.status, 1);
    QVERIFY2(
        r.err.contains(QStringLiteral("Связь с прибором прервана. Данные не приняты, ничего не изменено.")),
        qPrintable(r.err));
    QVERIFY(r.err.contains(QStringLiteral("Идет прием информации ...")));
    QVERIFY(!r.err.contains(QStringLiteral("100% - Прием данных")));
    QVERIFY(!QFile::exists(table));
    QVERIFY(!QFile::exists(bin));
}

QTEST_GUILESS_MAIN(CliTest)
#include "test_cli.moc"
