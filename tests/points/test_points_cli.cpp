// `kvarnel-ld5 status` on tables and a catalogue that another program (Debian's python3-dbf)
// wrote: the lines it prints and the refusals.
#include "PointsTables.h"
#include "ProgramRun.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

ProgramRun runStatus(const QStringList& args) {
    return runProgram(qEnvironmentVariable("KV_APP"), QStringList{QStringLiteral("status")} + args);
}

const char* const writeTables = R"(
import sys, dbf
measurement = ('N N(4,0); DATE C(10); TIME C(8); MODE N(4,0); A N(18,9); A_SR N(18,9); F N(18,9); '
               'V N(18,9); V_SR N(18,9); S N(18,9); S_SR N(18,9); DT N(4,0); T N(4,0); TR_F N(18,9); '
               'TR_A N(18,9); TR_A_SR N(18,9); COMMENT C(50)')
catalogue = ('NAME C(50); CLASS C(8); A_B N(8,3); B_C N(8,3); C_D N(8,3); BASE N(8,3); ALERT N(8,3); '
             'DANGER N(8,3); DAYS N(4,0)')

def table(path, fields, rows):
    t = dbf.Table(path, fields, codepage='cp1251', dbf_type='db3')
    t.open(dbf.READ_WRITE)
    for r in rows:
        t.append(r)
    t.close()

def m(n, date, time, mode, vsr, note):
    return {'n': n, 'date': date, 'time': time, 'mode': mode, 'v_sr': vsr, 'comment': note}

folder = sys.argv[1]
table(folder + '/points.dbf', catalogue, [
    {'name': 'Цех 1/Насос Н-3/П1', 'class': 'II', 'days': 30},
    {'name': 'Цех 1/Насос Н-3/П2', 'a_b': 1, 'b_c': 2, 'c_d': 4, 'base': 1},
    {'name': 'Цех 1/Вентилятор/П1', 'class': 'II'},
    {'name': 'Цех 2/Компрессор/П1', 'class': 'V'},
])
table(folder + '/twice.dbf', catalogue, [{'name': 'П1', 'class': 'I'}, {'name': 'П1', 'class': 'II'}])
table(folder + '/t1.dbf', measurement, [
    m(1, '01.03.2025', '10:00:00', 0, 1.0, 'Цех 1/Насос Н-3/П1'),
    m(2, '10.03.2025', '10:00:00', 0, 3.2, 'Цех 1/Насос Н-3/П1;после ремонта'),
    m(3, '10.03.2025', '11:00:00', 1, 2.0, 'Цех 1/Насос Н-3/П2'),
    m(4, '05.03.2025', '09:00:00', 0, 0.9, 'Цех 1/Насос Н-3/П2'),
    m(5, '05.03.2025', '09:00:00', 0, 1.7, 'Цех 1/Насос Н-3'),
    m(6, '06.03.2025', '09:00:00', 0, None, 'Цех 2/Компрессор/П1'),
    m(7, '06.03.2025', '09:00:00', 0, 8.0, 'Цех 2/Компрессор/П1'),
])
table(folder + '/t2.dbf', measurement, [
    m(2, '10.03.2025', '10:00:00', 0, 3.2, 'Цех 1/Насос Н-3/П1;после ремонта'),
    m(1, '20.03.2025', '08:00:00', 0, 0.5, 'Цех 1/Насос Н-3/П2;x'),
    m(2, '21.03.2025', '08:00:00', 0, 4.4, ''),
])
)";

} // namespace

class TestPointsCli : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString path(const char* name) const { return m_dir.filePath(QString::fromUtf8(name)); }

private slots:
    void initTestCase() {
        int code = -1;
        const QString out = runPython(QString::fromUtf8(writeTables), {m_dir.path()}, &code);
        QVERIFY2(code == 0, qPrintable(out));
        QFile junk(path("junk.dbf"));
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write(QByteArray(100, '\x07'));
    }

    // Class II is 1.12, 2.8, 7.1; "П2" has its own limits 1, 2, 4 and baseline 1. The second
    // table repeats the record of 10.03 10:00, which counts once.
    void statusPrintsALinePerPoint_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("out");
        QTest::newRow("every mode")
            << QStringList{"--today", "01.04.2025"}
            << QStringLiteral(
                   "Цех 1/Насос Н-3/П1\t2\t10.03.2025\t10:00:00\t3.200\tC\tпредупреждение\t78.6\tда\tнет\n"
                   "Цех 1/Насос Н-3/П2\t3\t20.03.2025\t08:00:00\t0.500\tA\tнорма\t-25.0\tнет\tнет\n"
                   "Цех 1/Вентилятор/П1\t0\t\t\t\t\tнет замеров\t\t\t\n"
                   "Цех 2/Компрессор/П1\t1\t06.03.2025\t09:00:00\t8.000\t\tошибка\t\t\t\n"
                   "без точки\t2\n");
        QTest::newRow("mode 0, overdue")
            << QStringList{"--mode", "0", "--today", "15.04.2025"}
            << QStringLiteral(
                   "Цех 1/Насос Н-3/П1\t2\t10.03.2025\t10:00:00\t3.200\tC\tпредупреждение\t78.6\tда\tда\n"
                   "Цех 1/Насос Н-3/П2\t2\t20.03.2025\t08:00:00\t0.500\tA\tнорма\t-25.0\tнет\tнет\n"
                   "Цех 1/Вентилятор/П1\t0\t\t\t\t\tнет замеров\t\t\t\n"
                   "Цех 2/Компрессор/П1\t1\t06.03.2025\t09:00:00\t8.000\t\tошибка\t\t\t\n"
                   "без точки\t2\n");
        QTest::newRow("mode 1")
            << QStringList{"--today", "15.04.2025", "--mode", "1"}
            << QStringLiteral(
                   "Цех 1/Насос Н-3/П1\t0\t\t\t\t\tнет замеров\t\t\t\n"
                   "Цех 1/Насос Н-3/П2\t1\t10.03.2025\t11:00:00\t2.000\tC\tпредупреждение\t50.0\tда\tнет\n"
                   "Цех 1/Вентилятор/П1\t0\t\t\t\t\tнет замеров\t\t\t\n"
                   "Цех 2/Компрессор/П1\t0\t\t\t\t\tошибка\t\t\t\n"
                   "без точки\t0\n");
    }
    void statusPrintsALinePerPoint() {
        QFETCH(QStringList, args);
        QFETCH(QString, out);
        const ProgramRun r =
            runStatus(QStringList{path("t1.dbf"), path("t2.dbf"), "--points", path("points.dbf")} + args);
        QVERIFY2(r.status == 0, qPrintable(r.err));
        QCOMPARE(r.out, out);
        QCOMPARE(r.err,
                 QStringLiteral("Точка «Цех 2/Компрессор/П1»: ошибка в каталоге: неизвестный класс «V»\n"));
    }

    void refusalsEndWithStatusOne_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message");
        const QString t1 = path("t1.dbf");
        QTest::newRow("missing catalogue") << QStringList{t1, "--points", path("нет.dbf")} << "нет.dbf";
        QTest::newRow("damaged catalogue") << QStringList{t1, "--points", path("junk.dbf")} << "junk.dbf";
        QTest::newRow("catalogue of other fields")
            << QStringList{t1, "--points", path("t2.dbf")} << "не является каталогом оборудования";
        QTest::newRow("a name twice")
            << QStringList{t1, "--points", path("twice.dbf")} << "«П1» записана дважды";
        QTest::newRow("table of other fields")
            << QStringList{path("points.dbf"), "--points", path("points.dbf")}
            << "не является таблицей замеров";
        QTest::newRow("no catalogue") << QStringList{t1} << "Использование";
        QTest::newRow("no table") << QStringList{"--points", path("points.dbf")} << "Использование";
        QTest::newRow("bad today") << QStringList{t1, "--points", path("points.dbf"), "--today", "2025-04-01"}
                                   << "ДД.ММ.ГГГГ";
        QTest::newRow("no such day") << QStringList{t1, "--points", path("points.dbf"), "--today",
                                                    "31.02.2025"}
                                     << "ДД.ММ.ГГГГ";
        QTest::newRow("bad mode") << QStringList{t1, "--points", path("points.dbf"), "--mode", "3"}
                                  << "Режим";
    }
    void refusalsEndWithStatusOne() {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        const ProgramRun r = runStatus(args);
        QCOMPARE(r.status, 1);
        QCOMPARE(r.out, QString());
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
    }
};

QTEST_GUILESS_MAIN(TestPointsCli)
#include "test_points_cli.moc"
