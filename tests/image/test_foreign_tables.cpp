// Tables written by other programs and tables damaged on the way: what each one reads as, what the
// program writes into it, and when an append is refused. Tables are made by python3-dbf where it
// writes them, else byte by byte; dbfread judges the values where it reads the file.
#include "core/Error.h"
#include "db/DbfTable.h"
#include "db/MeasurementTable.h"
#include "image/Importer.h"
#include "image/MemoryImage.h"
#include "tests/db/DbTestSupport.h"
#include "tests/support/ProgramRun.h"
#include "tests/support/TestImages.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr int kHeader = 577;
constexpr int kRecord = 265;
constexpr int kDate = 5, kTime = 15, kA = 27, kComment = 215;

// The two rows every table starts with: N 1 and 2, 01.02.2025 10:11:12 and 02.02.2025 10:11:13,
// A 2.5 and 1, the first with a note.
QByteArray pythonTable(const QString& codePage, const QString& note) {
    static QTemporaryDir dir;
    const QString path = dir.filePath(codePage + QStringLiteral(".dbf"));
    const QString script = QStringLiteral(
        "import sys, dbf\n"
        "layout = ('N N(4,0); DATE C(10); TIME C(8); MODE N(4,0); A N(18,9); A_SR N(18,9); F N(18,9);'\n"
        "          ' V N(18,9); V_SR N(18,9); S N(18,9); S_SR N(18,9); DT N(4,0); T N(4,0);'\n"
        "          ' TR_F N(18,9); TR_A N(18,9); TR_A_SR N(18,9); COMMENT C(50)')\n"
        "t = dbf.Table(sys.argv[1], layout, dbf_type='db3', codepage=sys.argv[2])\n"
        "t.open(dbf.READ_WRITE)\n"
        "t.append(dict(n=1, date='01.02.2025', time='10:11:12', mode=0, a=2.5, f=50.0, "
        "comment=sys.argv[3]))\n"
        "t.append(dict(n=2, date='02.02.2025', time='10:11:13', mode=1, a=1.0, f=12.25, tr_a=1.5))\n"
        "t.close()\n");
    int code = -1;
    const QString out = runPython(script, {path, codePage, note}, &code);
    if (code != 0)
        qWarning("%s", qPrintable(out));
    return fileBytes(path);
}

QByteArray ownTable() {
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("own.dbf"));
    MeasurementTable::createFile(path);
    DbfTable t;
    t.open(path);
    const QStringList dates = {QStringLiteral("01.02.2025"), QStringLiteral("02.02.2025")};
    for (int i = 0; i < 2; ++i) {
        t.append();
        t.setValue("N", i + 1);
        t.setValue("DATE", dates[i]);
        t.setValue("TIME", QStringLiteral("10:11:1%1").arg(2 + i));
        t.setValue("MODE", i);
        t.setValue("A", i == 0 ? 2.5 : 1.0);
        t.setValue("F", i == 0 ? 50.0 : 12.25);
        if (i == 0)
            t.setValue("COMMENT", QStringLiteral("Цех"));
        t.post();
    }
    t.close();
    return fileBytes(path);
}

QByteArray with(QByteArray b, int at, const QByteArray& bytes) {
    b.replace(at, bytes.size(), bytes);
    return b;
}
QByteArray withByte(QByteArray b, int at, char byte) {
    b[at] = byte;
    return b;
}
QByteArray withCount(const QByteArray& b, std::uint32_t count) {
    QByteArray c(4, '\0');
    for (int i = 0; i < 4; ++i)
        c[i] = char((count >> (8 * i)) & 0xFF);
    return with(b, 4, c);
}
// A field of record r (0-based) of a table with the usual header.
QByteArray withField(const QByteArray& b, int r, int offset, const QByteArray& text) {
    return with(b, kHeader + r * kRecord + offset, text);
}
// Padding after the 0x0D of the header, counted in bytes 8–9.
QByteArray withPadding(QByteArray b, const QByteArray& padding) {
    b.insert(kHeader, padding);
    const int length = kHeader + int(padding.size());
    b[8] = char(length & 0xFF);
    b[9] = char(length >> 8);
    return b;
}
int headerLength(const QByteArray& b) {
    return std::uint8_t(b[8]) | std::uint8_t(b[9]) << 8;
}
std::uint32_t countOf(const QByteArray& b) {
    return std::uint8_t(b[4]) | std::uint8_t(b[5]) << 8 | std::uint8_t(b[6]) << 16 |
           std::uint32_t(std::uint8_t(b[7])) << 24;
}

// COMMENT and A of the records dbfread yields.
struct DbfreadRows {
    QStringList comments;
    QVariantList a;
    QString failure;
};
DbfreadRows dbfreadRows(const QString& path) {
    const QString script =
        QStringLiteral("import sys, json, dbfread\n"
                       "for r in dbfread.DBF(sys.argv[1]):\n"
                       "    print(json.dumps([r['COMMENT'], r['A']], ensure_ascii=False))\n");
    int code = -1;
    const QString out = runPython(script, {path}, &code);
    DbfreadRows rows;
    if (code != 0)
        rows.failure = out;
    for (const QString& line : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QJsonArray cells = QJsonDocument::fromJson(line.toUtf8()).array();
        rows.comments << cells.at(0).toString();
        rows.a << (cells.at(1).isNull() ? QVariant() : QVariant(cells.at(1).toDouble()));
    }
    return rows;
}

const QString kNote = QStringLiteral("Цех");
const QVariantList kA2 = {2.5, 1.0};

} // namespace

class TestForeignTables : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void foreignAndDamagedTables_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("refused");       // a fragment of the open's refusal; empty: it opens
        QTest::addColumn<QStringList>("comments");  // COMMENT of the visible rows, physical order
        QTest::addColumn<QVariantList>("a");        // A of the same rows
        QTest::addColumn<QStringList>("notices");   // fragments, one per notice of the open
        QTest::addColumn<bool>("byDbfread");        // dbfread reads the same rows
        QTest::addColumn<QString>("note");          // written into the first row's COMMENT
        QTest::addColumn<QByteArray>("noteBytes");  // its bytes in the file; empty: refused
        QTest::addColumn<int>("partial");           // short file: bytes of the cut record; -1: not short
        QTest::addColumn<QString>("appendRefused"); // a fragment of the append's refusal; empty: 3 added

        const QByteArray own = ownTable();
        const QByteArray cp866 = pythonTable(QStringLiteral("cp866"), QStringLiteral("Цех №1"));
        const QByteArray cp1252 = pythonTable(QStringLiteral("cp1252"), QStringLiteral("Müller €"));
        const QByteArray none;
        const auto row = [](const char* name) { return &QTest::newRow(name); };

        // Code pages of the language driver byte.
        *row("python dbf, cp437 (0x01)")
            << pythonTable(QStringLiteral("cp437"), QStringLiteral("Größe")) << QString()
            << QStringList{QStringLiteral("Größe"), QString()} << kA2 << QStringList() << true
            << QStringLiteral("é") << QByteArray("\x82") << -1 << QString();
        *row("python dbf, cp850 (0x02)")
            << pythonTable(QStringLiteral("cp850"), QStringLiteral("Façade")) << QString()
            << QStringList{QStringLiteral("Façade"), QString()} << kA2 << QStringList() << true
            << QStringLiteral("Ø") << QByteArray("\x9D") << -1 << QString();
        *row("python dbf, cp866 (0x26)")
            << cp866 << QString() << QStringList{QStringLiteral("Цех №1"), QString()} << kA2 << QStringList()
            << true << QStringLiteral("Ж") << QByteArray("\x86") << -1 << QString();
        *row("cp866 as 0x65") << withByte(cp866, 29, char(0x65)) << QString()
                              << QStringList{QStringLiteral("Цех №1"), QString()} << kA2 << QStringList()
                              << true << QStringLiteral("ё") << QByteArray("\xF1") << -1 << QString();
        *row("python dbf, cp1252 (0x03)")
            << cp1252 << QString() << QStringList{QStringLiteral("Müller €"), QString()} << kA2
            << QStringList() << true << QStringLiteral("€") << QByteArray("\x80") << -1 << QString();
        *row("cp1252 as 0x57, Cyrillic refused")
            << withByte(cp1252, 29, char(0x57)) << QString()
            << QStringList{QStringLiteral("Müller €"), QString()} << kA2 << QStringList() << true
            << QStringLiteral("Ж") << none << -1 << QString();
        *row("cp852 as 0x64") << withByte(pythonTable(QStringLiteral("cp852"), QStringLiteral("Łódź")), 29,
                                          char(0x64))
                              << QString() << QStringList{QStringLiteral("Łódź"), QString()} << kA2
                              << QStringList() << true << QStringLiteral("ł") << QByteArray("\x88") << -1
                              << QString();
        *row("python dbf, cp1250 (0xC8)")
            << pythonTable(QStringLiteral("cp1250"), QStringLiteral("Řež")) << QString()
            << QStringList{QStringLiteral("Řež"), QString()} << kA2 << QStringList() << true
            << QStringLiteral("ř") << QByteArray("\xF8") << -1 << QString();
        *row("python dbf, cp1254 (0xCA)")
            << pythonTable(QStringLiteral("cp1254"), QStringLiteral("Işık")) << QString()
            << QStringList{QStringLiteral("Işık"), QString()} << kA2 << QStringList() << true
            << QStringLiteral("ğ") << QByteArray("\xF0") << -1 << QString();
        *row("unknown driver 0x7F: read as cp1251, notes kept")
            << withByte(own, 29, char(0x7F)) << QString() << QStringList{kNote, QString()} << kA2
            << QStringList{QStringLiteral("неизвестна (байт 29 = 0x7F)")} << false << QStringLiteral("x")
            << none << -1 << QString();

        // Headers of other writers.
        *row("dBase III+ padding after 0x0D")
            << withPadding(own, QByteArray(1, '\0')) << QString() << QStringList{kNote, QString()} << kA2
            << QStringList() << true << QStringLiteral("Ж") << QByteArray("\xC6") << -1 << QString();
        *row("263 bytes of padding, version 0x8B")
            << withByte(withPadding(own, QByteArray(263, '\0')), 0, char(0x8B)) << QString()
            << QStringList{kNote, QString()} << kA2 << QStringList() << true << QStringLiteral("Ж")
            << QByteArray("\xC6") << -1 << QString();
        *row("version 0x83, a deleted row packed away")
            << withByte(withByte(own, 0, char(0x83)), kHeader + kRecord, '*') << QString()
            << QStringList{kNote} << QVariantList{2.5} << QStringList() << true << QStringLiteral("Ж")
            << QByteArray("\xC6") << -1 << QString();
        *row("version 0x8B with a memo field")
            << withByte(withByte(own, 0, char(0x8B)), 32 + 16 * 32 + 11, 'M')
            << QStringLiteral("поле примечаний (memo) COMMENT") << QStringList() << QVariantList()
            << QStringList() << false << QString() << none << -1 << QString();
        *row("version 0x30 (Visual FoxPro)")
            << withByte(own, 0, char(0x30)) << QStringLiteral("неизвестная версия формата (байт 0 = 0x30)")
            << QStringList() << QVariantList() << QStringList() << false << QString() << none << -1
            << QString();

        // Numbers and the end of the file.
        *row("decimal comma") << withField(own, 0, kA, QByteArray("      13,520000458")) << QString()
                              << QStringList{kNote, QString()} << QVariantList{13.520000458, 1.0}
                              << QStringList() << true << QStringLiteral("Ж") << QByteArray("\xC6") << -1
                              << QString();
        *row("zero padding without end mark")
            << own.left(own.size() - 1) + QByteArray(600, '\0') << QString() << QStringList{kNote, QString()}
            << kA2 << QStringList() << true << QStringLiteral("Ж") << QByteArray("\xC6") << -1 << QString();
        *row("end mark and a partial block")
            << own + QByteArray(100, ' ') << QString() << QStringList{kNote, QString()} << kA2
            << QStringList() << true << QStringLiteral("Ж") << QByteArray("\xC6") << -1 << QString();
        *row("a record after the count") << withCount(own, 1) << QString() << QStringList{kNote, QString()}
                                         << kA2 << QStringList{QStringLiteral("есть ещё 1")} << false
                                         << QStringLiteral("Ж") << QByteArray("\xC6") << -1 << QString();

        // Files shorter than their count.
        *row("count 9, two records") << withCount(own, 9) << QString() << QStringList{kNote, QString()} << kA2
                                     << QStringList{QStringLiteral("целых записей 2 из 9")} << false
                                     << QStringLiteral("Ж") << QByteArray("\xC6") << 0 << QString();
        *row("last record cut") << own.left(own.size() - 100) << QString() << QStringList{kNote}
                                << QVariantList{2.5}
                                << QStringList{QStringLiteral(
                                       "целых записей 1 из 2. Последняя запись оборвана (166 "
                                       "байт из 265)")}
                                << false << QStringLiteral("Ж") << QByteArray("\xC6") << 166 << QString();
        *row("count 5, a zero block after the records")
            << withCount(own.left(own.size() - 1) + QByteArray(kRecord + 10, '\0'), 5) << QString()
            << QStringList{kNote, QString()} << kA2 << QStringList{QStringLiteral("целых записей 2 из 5")}
            << false << QStringLiteral("Ж") << QByteArray("\xC6") << 0 << QString();

        // The last row gives no key to compare the memory with.
        const QString refusal =
            QStringLiteral("Дополнить таблицу «t.dbf» нельзя: в её последней строке (запись 2) ");
        *row("last DATE empty") << withField(own, 1, kDate, QByteArray(10, ' ')) << QString()
                                << QStringList{kNote, QString()} << kA2 << QStringList() << true
                                << QStringLiteral("Ж") << QByteArray("\xC6") << -1
                                << refusal + QStringLiteral("дата «» и время «10:11:13»");
        *row("last DATE 31.02.2025") << withField(own, 1, kDate, QByteArray("31.02.2025")) << QString()
                                     << QStringList{kNote, QString()} << kA2 << QStringList() << true
                                     << QStringLiteral("Ж") << QByteArray("\xC6") << -1
                                     << refusal + QStringLiteral("дата «31.02.2025»");
        *row("last DATE d.m.yyyy") << withField(own, 1, kDate, QByteArray("2.2.2025  ")) << QString()
                                   << QStringList{kNote, QString()} << kA2 << QStringList() << true
                                   << QStringLiteral("Ж") << QByteArray("\xC6") << -1
                                   << refusal + QStringLiteral("дата «2.2.2025»");
        *row("last TIME 25:00:00") << withField(own, 1, kTime, QByteArray("25:00:00")) << QString()
                                   << QStringList{kNote, QString()} << kA2 << QStringList() << true
                                   << QStringLiteral("Ж") << QByteArray("\xC6") << -1
                                   << refusal + QStringLiteral("дата «02.02.2025» и время «25:00:00»");
        *row("29.02.2024 is a day") << withField(own, 1, kDate, QByteArray("29.02.2024")) << QString()
                                    << QStringList{kNote, QString()} << kA2 << QStringList() << true
                                    << QStringLiteral("Ж") << QByteArray("\xC6") << -1 << QString();
        *row("deleted last row does not count")
            << withByte(withField(own, 1, kDate, QByteArray(10, ' ')), kHeader + kRecord, '*') << QString()
            << QStringList{kNote} << QVariantList{2.5} << QStringList() << true << QStringLiteral("Ж")
            << QByteArray("\xC6") << -1 << QString();
    }

    void foreignAndDamagedTables() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, refused);
        QFETCH(QStringList, comments);
        QFETCH(QVariantList, a);
        QFETCH(QStringList, notices);
        QFETCH(bool, byDbfread);
        QFETCH(QString, note);
        QFETCH(QByteArray, noteBytes);
        QFETCH(int, partial);
        QFETCH(QString, appendRefused);
        QVERIFY(bytes.size() > kHeader);
        const QString p = m_dir.filePath(QStringLiteral("t.dbf"));
        writeBytes(p, bytes);

        DbfTable t;
        if (!refused.isEmpty()) {
            try {
                MeasurementTable::open(t, p);
                QFAIL("opened");
            } catch (const KvError& e) {
                QVERIFY2(e.message().contains(refused), qPrintable(e.message()));
            }
            QCOMPARE(fileBytes(p), bytes);
            return;
        }

        // Reading changes nothing and gives the values and the notices.
        MeasurementTable::open(t, p, DbfTable::Access::ReadOnly);
        QStringList readComments;
        QVariantList readA;
        for (t.first(); !t.eof(); t.next()) {
            readComments << t.value("COMMENT").toString();
            readA << t.value("A");
        }
        QCOMPARE(readComments, comments);
        QCOMPARE(readA, a);
        const QStringList found = t.openNotices();
        QCOMPARE(found.size(), notices.size());
        for (int i = 0; i < notices.size(); ++i)
            QVERIFY2(found[i].contains(notices[i]), qPrintable(found[i]));
        QCOMPARE(t.isShort(), partial >= 0);
        t.close();
        QCOMPARE(fileBytes(p), bytes);
        if (byDbfread) {
            const DbfreadRows judged = dbfreadRows(p);
            QVERIFY2(judged.failure.isEmpty(), qPrintable(judged.failure));
            QCOMPARE(judged.comments, comments);
            QCOMPARE(judged.a, a);
        }

        // A note is written in the table's own code page, or refused.
        const int header = headerLength(bytes);
        MeasurementTable::open(t, p);
        t.first();
        if (noteBytes.isEmpty()) {
            QVERIFY_THROWS_EXCEPTION(KvError, t.setValue("COMMENT", note));
            t.cancel();
        } else {
            t.setValue("COMMENT", note);
            t.post();
            QCOMPARE(fileBytes(p).mid(header + kComment, 50),
                     noteBytes + QByteArray(50 - noteBytes.size(), ' '));
        }

        // An append: refused while the file is short, until repair() has put it right.
        const QDateTime later(QDate(2026, 1, 1), QTime(8, 0, 0));
        image::MemoryImage memory;
        memory.load(image::testimages::buildImage(image::testimages::sequence(3, later)));
        image::Importer importer(t);
        if (partial >= 0) {
            QVERIFY_THROWS_EXCEPTION(KvError, importer.append(memory));
            const QString report = t.repair();
            QVERIFY2(report.contains(QStringLiteral("в заголовке было")), qPrintable(report));
            QCOMPARE(report.contains(QStringLiteral("%1 байт").arg(partial)), partial > 0);
            QVERIFY(!t.isShort());
            const QByteArray repaired = fileBytes(p);
            QCOMPARE(int(countOf(repaired)), comments.size());
            QCOMPARE(repaired.size(), header + comments.size() * kRecord + 1);
            QCOMPARE(repaired.back(), '\x1A');
        }
        const QByteArray before = fileBytes(p);
        if (!appendRefused.isEmpty()) {
            try {
                importer.append(memory);
                QFAIL("appended");
            } catch (const KvError& e) {
                QVERIFY2(e.message().contains(appendRefused), qPrintable(e.message()));
                QVERIFY(e.message().endsWith(QStringLiteral("Таблица не изменена.")));
            }
            t.close();
            QCOMPARE(fileBytes(p), before);
            return;
        }
        QCOMPARE(importer.append(memory).added, 3);
        t.close();

        // The header is the other writer's still: version, code page, padding.
        const QByteArray after = fileBytes(p);
        QCOMPARE(after[0], bytes[0]);
        QCOMPARE(after[29], bytes[29]);
        QCOMPARE(headerLength(after), header);
        QCOMPARE(after.mid(32, header - 32), bytes.mid(32, header - 32));
        QCOMPARE(int(countOf(after)), comments.size() + 3);
        MeasurementTable::open(t, p, DbfTable::Access::ReadOnly);
        QCOMPARE(t.recordCount(), comments.size() + 3);
        QVERIFY(t.openNotices().size() <= notices.size());
        t.last();
        QCOMPARE(t.value("DATE").toString(), QStringLiteral("01.01.2026"));
    }

    // The command line says what the open found and what --repair did; a table another program
    // holds is refused with that reason alone.
    void commandLineSaysWhatItFound_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>(
            "args"); // after the command; "T" stands for the table, "B" for the .bin
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("err"); // the whole of stderr
        QTest::addColumn<QString>("out");
        QTest::addColumn<bool>("unchanged");
        const QByteArray own = ownTable();
        const QByteArray shortTable = withCount(own, 9);
        const QString shortNotice = QStringLiteral(
            "В таблице «t.dbf» записей меньше, чем указано в её заголовке: целых записей 2 из 9. Дополнить "
            "таблицу можно после того, как она сохранена («Сохранить», в командной строке --repair).\n");
        QTest::newRow("dump of a short table")
            << shortTable << QStringList{QStringLiteral("dump"), QStringLiteral("T")} << 0 << shortNotice
            << QString() << true;
        QTest::newRow("append to a short table")
            << shortTable
            << QStringList{QStringLiteral("import"), QStringLiteral("B"), QStringLiteral("T"),
                           QStringLiteral("--append")}
            << 1
            << shortNotice + QStringLiteral("Таблица «t.dbf» короче своего заголовка (целых записей 2 из 9): "
                                            "дополнять её нельзя, пока она не сохранена («Сохранить», в "
                                            "командной строке --repair).\n")
            << QString() << true;
        QTest::newRow("append with --repair")
            << shortTable
            << QStringList{QStringLiteral("import"), QStringLiteral("B"), QStringLiteral("T"),
                           QStringLiteral("--append"), QStringLiteral("--repair")}
            << 0 << QStringLiteral("Таблица «t.dbf» записана с числом записей 2 (в заголовке было 9).\n")
            << QStringLiteral("Добавлено записей: 3\n") << false;
        QTest::newRow("index of an unknown code page")
            << withByte(own, 29, char(0x7F))
            << QStringList{QStringLiteral("index"), QStringLiteral("T"), QStringLiteral("F")} << 0
            << QStringLiteral(
                   "Кодовая страница таблицы «t.dbf» неизвестна (байт 29 = 0x7F): текст прочитан в "
                   "кодировке Windows-1251, примечания изменить нельзя.\n")
            << QString() << false;
        QTest::newRow("other fields")
            << with(with(own, 32 + 4 * 32 + 16, QByteArray("\x13")), 10, QByteArray("\x0A\x01")) // A N(19,9)
            << QStringList{QStringLiteral("import"), QStringLiteral("B"), QStringLiteral("T"),
                           QStringLiteral("--append")}
            << 1
            << QStringLiteral("База данных повреждена !\nФайл «t.dbf» не является таблицей замеров: поле A: "
                              "N(19,9), ожидалось N(18,9).\n")
            << QString() << true;
        QTest::newRow("held by another program")
            << own
            << QStringList{QStringLiteral("import"), QStringLiteral("B"), QStringLiteral("T"),
                           QStringLiteral("--append"), QStringLiteral("HOLD")}
            << 1 << QStringLiteral("Таблица «t.dbf» уже открыта для записи другой программой.\n") << QString()
            << true;
    }
    void commandLineSaysWhatItFound() {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, err);
        QFETCH(QString, out);
        QFETCH(bool, unchanged);
        const QString p = m_dir.filePath(QStringLiteral("t.dbf"));
        const QString bin = m_dir.filePath(QStringLiteral("memory.bin"));
        QFile::remove(m_dir.filePath(QStringLiteral("t.mdx")));
        writeBytes(p, bytes);
        writeBytes(bin, image::testimages::buildImage(
                            image::testimages::sequence(3, QDateTime(QDate(2026, 1, 1), QTime(8, 0, 0)))));
        DbfTable holder;
        if (args.removeAll(QStringLiteral("HOLD")))
            holder.open(p);
        args.replaceInStrings(QRegularExpression(QStringLiteral("^T$")), p);
        args.replaceInStrings(QRegularExpression(QStringLiteral("^B$")), bin);
        const ProgramRun run = runProgram(qEnvironmentVariable("KV_APP"), args);
        QCOMPARE(run.err, err);
        QCOMPARE(run.status, status);
        if (!out.isEmpty())
            QCOMPARE(run.out, out);
        QCOMPARE(fileBytes(p) == bytes, unchanged);
    }
};

QTEST_GUILESS_MAIN(TestForeignTables)
#include "test_foreign_tables.moc"
