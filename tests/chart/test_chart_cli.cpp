// `kvarnel-ld5 chart`: the printed counts against the table, the files and the refusals.
#include "ChartTables.h"
#include "ProgramRun.h"

#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

namespace {

using Run = ProgramRun;

Run runChart(const QStringList& args) {
    return runProgram(qEnvironmentVariable("KV_APP"), QStringList{QStringLiteral("chart")} + args);
}

} // namespace

class TestChartCli : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_table;

private slots:
    void initTestCase() {
        m_table = m_dir.filePath(QStringLiteral("Тренд.dbf"));
        writeChartTable(m_table, unorderedRows());
    }

    // Mode 0 holds V = 2, 1, none, 4, 11.2, so V_SR = 1.414213562, 0.707106781, none,
    // 2.828427125, 7.919595949 as the table stores them; the last record in time is the 11.2 one.
    void printedCountsMatchTheTable_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("out");
        QTest::newRow("class II") << QStringList{"--value", "V", "--rms", "--zones", "II"}
                                  << "zones A=1 B=1 C=1 D=1 last=D\npoints 4\n";
        QTest::newRow("class IV") << QStringList{"--rms", "--value", "v", "--zones", "IV"}
                                  << "zones A=2 B=1 C=1 D=0 last=C\npoints 4\n";
        QTest::newRow("on the boundary")
            << QStringList{"--value", "V", "--rms", "--zones", "custom:0.5,1.5,2.828427125"}
            << "zones A=0 B=2 C=0 D=2 last=D\npoints 4\n";
        QTest::newRow("no zones") << QStringList{"--value", "F"} << "points 5\n";
    }
    void printedCountsMatchTheTable() {
        QFETCH(QStringList, args);
        QFETCH(QString, out);
        const QString png = m_dir.filePath(QStringLiteral("out.png"));
        QFile::remove(png);
        const Run r = runChart(QStringList{m_table, "--mode", "0"} + args + QStringList{png});
        QVERIFY2(r.status == 0, qPrintable(r.err));
        QCOMPARE(r.out, out);
        QCOMPARE(QImage(png).size(), QSize(1600, 900));
    }

    void sizeAndFormatFollowTheArguments() {
        const QString svg = m_dir.filePath(QStringLiteral("out.svg"));
        Run r = runChart({m_table, "--mode", "1", "--value", "TR_A", svg, "--size", "800x500"});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, QStringLiteral("points 2\n"));
        QFile f(svg);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QXmlStreamReader xml(&f);
        QString viewBox;
        while (!xml.atEnd())
            if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("svg"))
                viewBox = xml.attributes().value(QLatin1String("viewBox")).toString();
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        QCOMPARE(viewBox, QStringLiteral("0 0 800 500"));
        const QString pdf = m_dir.filePath(QStringLiteral("out.pdf"));
        r = runChart({m_table, "--mode", "2", "--value", "S", pdf});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, QStringLiteral("points 1\n"));
        QVERIFY(QFile(pdf).size() > 500);
    }

    // --rms takes the second field of a quantity; for the displacement that is S_SR, the full one.
    void rmsOfTheDisplacementIsTheFullOne_data() {
        QTest::addColumn<QStringList>("rms");
        QTest::addColumn<QString>("axis");
        QTest::newRow("single") << QStringList{} << QStringLiteral("Виброперемещение S, обычное");
        QTest::newRow("full") << QStringList{"--rms"} << QStringLiteral("Виброперемещение S, полное");
    }
    void rmsOfTheDisplacementIsTheFullOne() {
        QFETCH(QStringList, rms);
        QFETCH(QString, axis);
        const QString svg = m_dir.filePath(QStringLiteral("s.svg"));
        const Run r = runChart(QStringList{m_table, "--mode", "2", "--value", "S"} + rms + QStringList{svg});
        QVERIFY2(r.status == 0, qPrintable(r.err));
        QFile f(svg);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(QString::fromUtf8(f.readAll()).contains(axis));
    }

    void badArgumentsEndWithStatusOneAndWriteNothing_data() {
        QTest::addColumn<QStringList>("args");
        const QString t = m_dir.filePath(QStringLiteral("Тренд.dbf"));
        const QString out = m_dir.filePath(QStringLiteral("bad.png"));
        QTest::newRow("zones without rms")
            << QStringList{t, "--mode", "0", "--value", "V", "--zones", "II", out};
        QTest::newRow("zones of acceleration")
            << QStringList{t, "--mode", "0", "--value", "A", "--rms", "--zones", "I", out};
        QTest::newRow("unknown class")
            << QStringList{t, "--mode", "0", "--value", "V", "--rms", "--zones", "V", out};
        QTest::newRow("falling limits")
            << QStringList{t, "--mode", "0", "--value", "V", "--rms", "--zones", "custom:3,2,1", out};
        QTest::newRow("unknown value") << QStringList{t, "--mode", "0", "--value", "X", out};
        QTest::newRow("thresholds off standby") << QStringList{t, "--mode", "0", "--value", "TR_F", out};
        QTest::newRow("bad mode") << QStringList{t, "--mode", "3", "--value", "V", out};
        QTest::newRow("no mode") << QStringList{t, "--value", "V", out};
        QTest::newRow("bad size") << QStringList{t, "--mode", "0", "--value", "V", out, "--size", "800x"};
        QTest::newRow("zero size") << QStringList{t, "--mode", "0", "--value", "V", out, "--size", "0x600"};
        QTest::newRow("bmp") << QStringList{t, "--mode", "0", "--value", "V", m_dir.filePath("bad.bmp")};
        QTest::newRow("missing table")
            << QStringList{m_dir.filePath("нет.dbf"), "--mode", "0", "--value", "V", out};
        QTest::newRow("unknown option") << QStringList{t, "--mode", "0", "--value", "V", "--log", out};
    }
    void badArgumentsEndWithStatusOneAndWriteNothing() {
        QFETCH(QStringList, args);
        const Run r = runChart(args);
        QCOMPARE(r.status, 1);
        QVERIFY(!r.err.trimmed().isEmpty());
        QCOMPARE(r.out, QString());
        QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("bad.png"))));
        QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("bad.bmp"))));
    }

    void helpListsTheCommand() {
        QProcess p;
        p.start(qEnvironmentVariable("KV_APP"), {QStringLiteral("--help")});
        QVERIFY(p.waitForFinished(30000));
        QVERIFY(QString::fromUtf8(p.readAllStandardOutput())
                    .contains(QStringLiteral("kvarnel-ld5 chart TABLE.dbf")));
    }
};

QTEST_GUILESS_MAIN(TestChartCli)
#include "test_chart_cli.moc"
