// The bytes of the table file, and other programs reading and writing it.
#include "DbTestSupport.h"

#include "core/Cp1251.h"
#include "core/Error.h"

#include <QLocale>
#include <QTemporaryDir>
#include <QtTest>

#include <clocale>
#include <cmath>
#include <ctime>
#include <limits>

namespace {

// Runs a test body under a C library and Qt locale, restoring both afterwards.
class LocaleScope {
public:
    explicit LocaleScope(const QByteArray& name) {
        m_ok = std::setlocale(LC_ALL, name.constData()) != nullptr;
        QLocale::setDefault(name.startsWith("ru") ? QLocale(QLocale::Russian, QLocale::Russia)
                                                  : QLocale::c());
    }
    ~LocaleScope() {
        std::setlocale(LC_ALL, "C");
        QLocale::setDefault(QLocale::c());
    }
    bool ok() const { return m_ok; }

private:
    bool m_ok;
};

std::uint32_t le32(const QByteArray& b, int at) {
    return std::uint8_t(b[at]) | std::uint8_t(b[at + 1]) << 8 | std::uint8_t(b[at + 2]) << 16 |
           std::uint32_t(std::uint8_t(b[at + 3])) << 24;
}
int le16(const QByteArray& b, int at) {
    return std::uint8_t(b[at]) | std::uint8_t(b[at + 1]) << 8;
}

QByteArray descriptor(const char* name, char type, int length, int decimals) {
    QByteArray d(32, '\0');
    std::memcpy(d.data(), name, std::strlen(name));
    d[11] = type;
    d[16] = char(length);
    d[17] = char(decimals);
    return d;
}

QByteArray blanks(int n) {
    return QByteArray(n, ' ');
}

QByteArray padded(const QByteArray& text, int n) {
    return text + blanks(n - int(text.size()));
}

const int kRecordStart = 577;
const int kRecordLength = 265;

QByteArray field(const QByteArray& file, int record, int offset, int length) {
    return file.mid(kRecordStart + record * kRecordLength + offset, length);
}

QString app() {
    return qEnvironmentVariable("KV_APP");
}

} // namespace

class TestTableFile : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }

private slots:
    void fileBytesOfATwelveRecordTable_data() {
        QTest::addColumn<QByteArray>("locale");
        QTest::newRow("C") << QByteArray("C");
        QTest::newRow("ru_RU.UTF-8") << QByteArray("ru_RU.UTF-8");
    }
    void fileBytesOfATwelveRecordTable() {
        QFETCH(QByteArray, locale);
        LocaleScope scope(locale);
        QVERIFY2(scope.ok(), "the locale is missing; scripts/test generates it");
        const QString p = path(QStringLiteral("Цех1_%1.dbf").arg(QString::fromLatin1(locale)));
        writeSampleTable(p, 12);
        const QByteArray b = fileBytes(p);

        QCOMPARE(b.size(), 577 + 12 * 265 + 1);
        QCOMPARE(b.size(), 3758);
        QCOMPARE(std::uint8_t(b[0]), 0x03);
        std::time_t now = std::time(nullptr);
        std::tm today{};
        localtime_r(&now, &today);
        QCOMPARE(int(std::uint8_t(b[1])), today.tm_year);
        QCOMPARE(int(b[2]), today.tm_mon + 1);
        QCOMPARE(int(b[3]), today.tm_mday);
        QCOMPARE(le32(b, 4), 12u);
        QCOMPARE(le16(b, 8), 577);
        QCOMPARE(le16(b, 10), 265);
        QCOMPARE(b.mid(12, 16), QByteArray(16, '\0'));
        QCOMPARE(int(b[28]), 0);
        QCOMPARE(std::uint8_t(b[29]), 0xC9);
        QCOMPARE(b.mid(30, 2), QByteArray(2, '\0'));
        QCOMPARE(b.mid(32 + 4 * 32, 32), descriptor("A", 'N', 18, 9));
        QCOMPARE(b.mid(32 + 3 * 32, 32), descriptor("MODE", 'N', 4, 0));
        QCOMPARE(b.mid(32 + 16 * 32, 32), descriptor("COMMENT", 'C', 50, 0));
        QCOMPARE(b.mid(32 + 1 * 32, 32), descriptor("DATE", 'C', 10, 0));
        QCOMPARE(int(b[576]), 0x0D);
        QCOMPARE(int(b[b.size() - 1]), 0x1A);

        // Record 1 is of mode 0 with A = 2.5.
        QCOMPARE(b[kRecordStart], ' ');
        QCOMPARE(field(b, 0, 1, 4), QByteArray("   1"));
        QCOMPARE(field(b, 0, 5, 10), QByteArray("02.03.2025"));
        QCOMPARE(field(b, 0, 15, 8), QByteArray("12:00:01"));
        QCOMPARE(field(b, 0, 23, 4), QByteArray("   0"));
        QCOMPARE(field(b, 0, 27, 18), QByteArray("       2.500000000"));
        QCOMPARE(field(b, 0, 63, 18), QByteArray("      10.000000000"));
        QCOMPARE(field(b, 0, 81, 18), blanks(18));  // V: never set
        QCOMPARE(field(b, 0, 153, 4), blanks(4));   // DT
        QCOMPARE(field(b, 0, 157, 4), blanks(4));   // T
        QCOMPARE(field(b, 0, 161, 18), blanks(18)); // TR_F
        QCOMPARE(field(b, 0, 179, 18), blanks(18)); // TR_A
        QCOMPARE(field(b, 0, 197, 18), blanks(18)); // TR_A_SR
        QCOMPARE(field(b, 0, 215, 50), blanks(50));
        // Record 2 (mode 1) carries the thresholds and the Cyrillic note.
        QCOMPARE(field(b, 1, 23, 4), QByteArray("   1"));
        QCOMPARE(field(b, 1, 179, 18), QByteArray("       1.500000000"));
        QCOMPARE(field(b, 1, 215, 50), padded(cp1251::encode(QStringLiteral("Цех №1, ёлка")), 50));
        // Record 3 (mode 2) the interval and duration.
        QCOMPARE(field(b, 2, 153, 4), QByteArray("  10"));
        QCOMPARE(field(b, 2, 157, 4), QByteArray("  60"));
        QCOMPARE(field(b, 2, 27, 18), QByteArray("       0.375000000"));
    }

    void valuesRoundTrip_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QVariant>("in");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QVariant>("out");
        QTest::newRow("real") << "A" << QVariant(2.5) << QByteArray("       2.500000000") << QVariant(2.5);
        QTest::newRow("zero is a value")
            << "A" << QVariant(0.0) << QByteArray("       0.000000000") << QVariant(0.0);
        QTest::newRow("no value") << "A" << QVariant() << blanks(18) << QVariant();
        QTest::newRow("negative") << "A" << QVariant(-0.5) << QByteArray("      -0.500000000")
                                  << QVariant(-0.5);
        QTest::newRow("no minus zero")
            << "A" << QVariant(-1e-12) << QByteArray("       0.000000000") << QVariant(0.0);
        QTest::newRow("eight digits") << "A" << QVariant(12345678.123456789)
                                      << QByteArray("12345678.123456789") << QVariant(12345678.123456789);
        QTest::newRow("rounded to nine")
            << "A" << QVariant(1.0 / 3) << QByteArray("       0.333333333") << QVariant(0.333333333);
        QTest::newRow("integer into real")
            << "F" << QVariant(7) << QByteArray("       7.000000000") << QVariant(7.0);
        QTest::newRow("int") << "MODE" << QVariant(1) << QByteArray("   1") << QVariant(qint64(1));
        QTest::newRow("int zero") << "MODE" << QVariant(0) << QByteArray("   0") << QVariant(qint64(0));
        QTest::newRow("int lowest") << "DT" << QVariant(-999) << QByteArray("-999") << QVariant(qint64(-999));
        QTest::newRow("int highest") << "T" << QVariant(9999) << QByteArray("9999") << QVariant(qint64(9999));
        QTest::newRow("whole double") << "N" << QVariant(3.0) << QByteArray("   3") << QVariant(qint64(3));
        QTest::newRow("number text") << "N" << QVariant(QStringLiteral(" 42")) << QByteArray("  42")
                                     << QVariant(qint64(42));
        QTest::newRow("text") << "COMMENT" << QVariant(QStringLiteral("Цех"))
                              << padded(QByteArray("\xD6\xE5\xF5"), 50) << QVariant(QStringLiteral("Цех"));
        QTest::newRow("empty text") << "COMMENT" << QVariant(QString()) << blanks(50) << QVariant();
        QTest::newRow("full text") << "COMMENT" << QVariant(QString(50, QChar(0x44F)))
                                   << QByteArray(50, '\xFF') << QVariant(QString(50, QChar(0x44F)));
        QTest::newRow("leading blanks kept") << "DATE" << QVariant(QStringLiteral("  x "))
                                             << QByteArray("  x       ") << QVariant(QStringLiteral("  x"));
    }
    void valuesRoundTrip() {
        QFETCH(QString, name);
        QFETCH(QVariant, in);
        QFETCH(QByteArray, bytes);
        QFETCH(QVariant, out);
        LocaleScope scope("ru_RU.UTF-8");
        const QString p = path(QStringLiteral("values.dbf"));
        MeasurementTable::createFile(p);
        DbfTable t;
        t.open(p);
        t.append();
        t.setValue(name, in);
        t.post();
        QCOMPARE(t.value(name), out);
        QCOMPARE(t.value(name).typeId(), out.typeId());
        t.close();

        const QByteArray b = fileBytes(p);
        const int f = [&] {
            int offset = 1;
            for (const DbfField& x : MeasurementTable::fields()) {
                if (x.name == name)
                    return offset;
                offset += x.length;
            }
            return -1;
        }();
        QCOMPARE(field(b, 0, f, int(bytes.size())), bytes);
        t.open(p, DbfTable::Access::ReadOnly);
        QCOMPARE(t.value(name), out);
        QCOMPARE(t.isNull(name), out.isNull());
    }

    void refusesValuesThatDoNotFit_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QVariant>("in");
        QTest::newRow("int too large") << "MODE" << QVariant(10000);
        QTest::newRow("int too small") << "DT" << QVariant(-1000);
        QTest::newRow("fraction in int") << "T" << QVariant(2.5);
        QTest::newRow("1e8") << "A" << QVariant(1e8);
        QTest::newRow("rounds up to 1e8") << "A" << QVariant(99999999.9999999999);
        QTest::newRow("negative too wide") << "V" << QVariant(-10000000.0);
        QTest::newRow("nan") << "F" << QVariant(std::numeric_limits<double>::quiet_NaN());
        QTest::newRow("infinity") << "F" << QVariant(std::numeric_limits<double>::infinity());
        QTest::newRow("huge") << "S" << QVariant(1e300);
        QTest::newRow("text in number") << "MODE" << QVariant(QStringLiteral("1,5"));
        QTest::newRow("text too long") << "COMMENT" << QVariant(QString(51, QLatin1Char('x')));
        QTest::newRow("chinese") << "COMMENT" << QVariant(QStringLiteral("厂"));
        QTest::newRow("greek") << "DATE" << QVariant(QStringLiteral("β"));
    }
    void refusesValuesThatDoNotFit() {
        QFETCH(QString, name);
        QFETCH(QVariant, in);
        const QString p = path(QStringLiteral("refuse.dbf"));
        writeSampleTable(p, 3);
        const QByteArray before = fileBytes(p);
        DbfTable t;
        t.open(p);
        const QVariant old = t.value(name);
        t.edit();
        try {
            t.setValue(name, in);
            QFAIL("the value was taken");
        } catch (const KvError& e) {
            QVERIFY2(e.message().contains(name), qPrintable(e.message()));
        }
        QCOMPARE(t.value(name), old);
        t.post();
        t.close();
        QCOMPARE(fileBytes(p), before);
    }

    void pythonDbfreadReadsOurTable() {
        const QString p = path(QStringLiteral("for_python.dbf"));
        writeSampleTable(p, 4);
        const QString script = QStringLiteral(
            "import sys, json, dbfread\n"
            "t = dbfread.DBF(sys.argv[1])\n"
            "print(t.encoding)\n"
            "for r in t:\n"
            "    print(json.dumps([r['N'], r['DATE'], r['MODE'], r['A'], r['F'], r['DT'], r['T'], r['TR_A'],"
            " r['COMMENT']], ensure_ascii=False))\n");
        int code = -1;
        const QString out = runPython(script, {p}, &code);
        QCOMPARE(code, 0);
        const QStringList lines = out.trimmed().split(QLatin1Char('\n'));
        const QStringList expected = {
            QStringLiteral("cp1251"),
            QStringLiteral("[1, \"02.03.2025\", 0, 2.5, 10.0, null, null, null, \"\"]"),
            QStringLiteral("[2, \"03.03.2025\", 1, 0.25, 12.0, null, null, 1.5, \"Цех №1, ёлка\"]"),
            QStringLiteral("[3, \"04.03.2025\", 2, 0.375, 14.0, 10, 60, null, \"\"]"),
            QStringLiteral("[4, \"05.03.2025\", 0, 0.5, 11.0, null, null, null, \"\"]"),
        };
        QCOMPARE(lines, expected);
    }

    void weReadATableWrittenByPythonDbf() {
        const QString p = path(QStringLiteral("by_python.dbf"));
        const QString script = QStringLiteral(
            "import sys, dbf\n"
            "layout = ('N N(4,0); DATE C(10); TIME C(8); MODE N(4,0); A N(18,9); A_SR N(18,9); F N(18,9);'\n"
            "        ' V N(18,9); V_SR N(18,9); S N(18,9); S_SR N(18,9); DT N(4,0); T N(4,0); TR_F "
            "N(18,9);'\n"
            "        ' TR_A N(18,9); TR_A_SR N(18,9); COMMENT C(50)')\n"
            "t = dbf.Table(sys.argv[1], layout, dbf_type='db3', codepage='cp1251')\n"
            "t.open(dbf.READ_WRITE)\n"
            "t.append(dict(n=1, date='01.02.2025', time='10:11:12', mode=2, a=2.5, f=50.0, dt=10, t=-5,"
            " comment='Замер в цехе'))\n"
            "t.append(dict(n=2, date='01.02.2025', time='10:11:13', mode=0, a=0.0, f=12.25))\n"
            "t.append(dict(n=3, date='02.02.2025', time='00:00:00', mode=2, a=-1.125, f=0.0, dt=1, t=2))\n"
            "t.close()\n");
        int code = -1;
        const QString out = runPython(script, {p}, &code);
        QVERIFY2(code == 0, qPrintable(out));

        DbfTable t;
        MeasurementTable::open(t, p, DbfTable::Access::ReadOnly);
        QCOMPARE(t.recordCount(), 3);
        QCOMPARE(t.value("N"), QVariant(qint64(1)));
        QCOMPARE(t.value("MODE"), QVariant(qint64(2)));
        QCOMPARE(t.value("A"), QVariant(2.5));
        QCOMPARE(t.value("T"), QVariant(qint64(-5)));
        QCOMPARE(t.value("COMMENT"), QVariant(QStringLiteral("Замер в цехе")));
        QVERIFY(t.isNull("V"));
        QVERIFY(t.isNull("TR_F"));
        t.next();
        QCOMPARE(t.value("A"), QVariant(0.0));
        QVERIFY(!t.isNull("A"));
        QVERIFY(t.isNull("DT"));
        QVERIFY(t.isNull("COMMENT"));
        t.close();

        QProcess dump;
        dump.start(app(), {QStringLiteral("dump"), p, QStringLiteral("--mode"), QStringLiteral("2"),
                           QStringLiteral("--sort"), QStringLiteral("A")});
        QVERIFY(dump.waitForFinished(30000));
        QCOMPARE(dump.exitCode(), 0);
        const QString text = QString::fromUtf8(dump.readAllStandardOutput());
        const QString expected = QStringLiteral(
            "N\tDATE\tTIME\tMODE\tA\tA_SR\tF\tV\tV_SR\tS\tS_SR\tDT\tT\tTR_F\tTR_A\tTR_A_SR\tCOMMENT\n"
            "3\t02.02.2025\t00:00:00\t2\t-1.125\t\t0\t\t\t\t\t1\t2\t\t\t\t\n"
            "1\t01.02.2025\t10:11:12\t2\t2.5\t\t50\t\t\t\t\t10\t-5\t\t\t\tЗамер в цехе\n");
        QCOMPARE(text, expected);
    }

    void weReadAHandWrittenTableInTheCodePageOfByte29() {
        // MODE N(4,0), NAME C(6); byte 29 = 0x26 names code page 866.
        QByteArray b(32, '\0');
        b[0] = 0x03;
        b[1] = 125;
        b[2] = 1;
        b[3] = 2;
        b[4] = 3;
        b[8] = char(32 + 2 * 32 + 1);
        b[10] = 11;
        b[29] = 0x26;
        b += descriptor("MODE", 'N', 4, 0) + descriptor("NAME", 'C', 6, 0) + QByteArray(1, 0x0D);
        b += QByteArray(" ") + "   1" + "\x96\xA5\xE5  !";
        b += QByteArray("*") + "   2" + "del   ";
        b += QByteArray(" ") + "    " + "      ";
        b += QByteArray(1, 0x1A);
        const QString p = path(QStringLiteral("hand.dbf"));
        writeBytes(p, b);

        DbfTable t;
        t.open(p, DbfTable::Access::ReadOnly);
        QCOMPARE(t.physicalCount(), 3);
        QCOMPARE(t.recordCount(), 2);
        QCOMPARE(column(t, "MODE"), (QVariantList{qint64(1), QVariant()}));
        QCOMPARE(column(t, "NAME"), (QVariantList{QStringLiteral("Цех  !"), QVariant()}));
        QCOMPARE(recNos(t), (QList<int>{1, 3}));
        t.close();

        QProcess dump;
        dump.start(app(), {QStringLiteral("dump"), p});
        QVERIFY(dump.waitForFinished(30000));
        QCOMPARE(dump.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(dump.readAllStandardOutput()),
                 QStringLiteral("MODE\tNAME\n1\tЦех  !\n\t\n"));
    }

    void dumpFiltersAndSortsWithoutTouchingTheFile() {
        const QString p = path(QStringLiteral("dump.dbf"));
        writeSampleTable(p, 12);
        const QByteArray before = fileBytes(p);
        QProcess dump;
        dump.start(app(), {QStringLiteral("dump"), p, QStringLiteral("--mode"), QStringLiteral("1"),
                           QStringLiteral("--sort"), QStringLiteral("F:desc")});
        QVERIFY(dump.waitForFinished(30000));
        QCOMPARE(dump.exitCode(), 0);
        const QStringList lines = QString::fromUtf8(dump.readAllStandardOutput()).split(QLatin1Char('\n'));

        // The expected order, worked out from the sample rows themselves.
        std::vector<SampleRow> rows;
        for (const SampleRow& r : sampleRows(12))
            if (r.mode == 1)
                rows.push_back(r);
        std::stable_sort(rows.begin(), rows.end(),
                         [](const SampleRow& a, const SampleRow& b) { return a.f > b.f; });
        QCOMPARE(lines.size(),
                 int(rows.size()) + 2); // header, records, the empty tail after the last newline
        QVERIFY(lines[0].startsWith(QStringLiteral("N\tDATE\tTIME\tMODE\tA\t")));
        for (size_t i = 0; i < rows.size(); ++i) {
            const QStringList cells = lines[int(i) + 1].split(QLatin1Char('\t'));
            QCOMPARE(cells.size(), 17);
            QCOMPARE(cells[0].toInt(), rows[i].n);
            QCOMPARE(cells[3], QStringLiteral("1"));
            QCOMPARE(cells[4].toDouble(), rows[i].a);
            QCOMPARE(cells[11], QString()); // DT: no value in mode 1
        }
        QCOMPARE(fileBytes(p), before);
        QVERIFY(!QFile::exists(path(QStringLiteral("dump.mdx"))));
    }

    void dumpFailsWithOneLineForABadFile_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("missing") << QByteArray();
        QTest::newRow("random") << QByteArray(
            "\x8B\x01\x02 not a table at all, really not.........................");
    }
    void dumpFailsWithOneLineForABadFile() {
        QFETCH(QByteArray, content);
        const QString p = path(QStringLiteral("bad_dump.dbf"));
        QFile::remove(p);
        if (!content.isEmpty())
            writeBytes(p, content);
        QProcess dump;
        dump.start(app(), {QStringLiteral("dump"), p});
        QVERIFY(dump.waitForFinished(30000));
        QCOMPARE(dump.exitCode(), 1);
        QCOMPARE(dump.readAllStandardOutput(), QByteArray());
        const QString err = QString::fromUtf8(dump.readAllStandardError());
        QCOMPARE(err.count(QLatin1Char('\n')), 1);
        QVERIFY(err.contains(QStringLiteral("bad_dump.dbf")));
    }
};

QTEST_GUILESS_MAIN(TestTableFile)
#include "test_table_file.moc"
