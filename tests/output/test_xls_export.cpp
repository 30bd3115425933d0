#include "BiffRecords.h"
#include "MeasurementDbf.h"

#include "core/Cp1251.h"
#include "core/Error.h"
#include "db/DbfTable.h"
#include "output/export/ExcelExport.h"
#include "output/xls/CompoundFile.h"
#include "output/xls/TvteExcelWriter.h"
#include "output/xls/TvteXLSWorkbook.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// What a cell of the exported sheet must hold: a number, a text or nothing (blank).
struct Expected {
    enum Kind { Number, Text, Blank } kind;
    double number = 0;
    QString text;
};
Expected num(double v) {
    return {Expected::Number, v, {}};
}
Expected txt(const QString& t) {
    return {Expected::Text, 0, t};
}
Expected blank() {
    return {Expected::Blank, 0, {}};
}
Expected opt(const std::optional<double>& v) {
    return v ? num(*v) : blank();
}

std::vector<MeasurementRow> sampleRows() {
    std::vector<MeasurementRow> rows;
    auto add = [&](MeasurementRow r) { rows.push_back(std::move(r)); };
    add({1, "01.02.2009", "10:20:30", 0, 2.5, 80, 4.97359, 0.00989, {}, {}, {}, {}, ""});
    add({2, "01.02.2009", "10:21:00", 1, 1.25, 160, 1.24339, 0.00124, {}, {}, 150, 3, "порог"});
    add({3, "02.02.2009", "11:00:00", 2, 0.5, 12.5, 6.3662, 0.081057, 5, 30, {}, {}, "a\r\nb"});
    add({4,
         "02.02.2009",
         "11:00:05",
         0,
         {},
         0,
         {},
         {},
         {},
         {},
         {},
         {},
         cp1251::encode(QStringLiteral("Цех №1, \"насос\""))});
    add({5, "03.02.2009", "09:00:00", 1, 3, 45, 10.6103, 0.037526, {}, {}, {}, 1.5, ""});
    add({6,
         "03.02.2009",
         "09:00:10",
         2,
         7.75,
         1000,
         1.2335,
         0.000196,
         1,
         9999,
         {},
         {},
         "длинное примечание"});
    add({7, "04.02.2009", "23:59:59", 0, 100, 10, 1591.55, 25.33, {}, {}, {}, {}, "x"});
    return rows;
}

std::vector<std::vector<Expected>> expectedSheet(const std::vector<MeasurementRow>& rows, int mode) {
    std::vector<std::vector<Expected>> sheet;
    std::vector<Expected> header = {txt("N"),
                                    txt("Дата"),
                                    txt("Время"),
                                    txt("Виброускорение a, м/кв.с"),
                                    txt("Частота f, Гц"),
                                    txt("Виброскорость V, мм/с"),
                                    txt("Виброперемещение S, мм")};
    if (mode == 1) {
        header.push_back(txt("Порог f, Гц"));
        header.push_back(txt("Порог a, м/кв. с"));
    } else if (mode == 2) {
        header.push_back(txt("Длительность, мин."));
        header.push_back(txt("Интервал, с"));
    }
    header.push_back(txt("Примечание"));
    sheet.push_back(header);
    for (const MeasurementRow& r : rows) {
        if (r.mode != mode)
            continue;
        std::vector<Expected> row = {
            num(r.n), txt(cp1251::decode(r.date)), txt(cp1251::decode(r.time)), opt(r.a), opt(r.f), opt(r.v),
            opt(r.s)};
        if (mode == 1) {
            row.push_back(opt(r.trF));
            row.push_back(opt(r.trA));
        } else if (mode == 2) {
            row.push_back(opt(r.t));
            row.push_back(opt(r.dt));
        }
        QString comment = cp1251::decode(r.comment);
        comment.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        row.push_back(comment.isEmpty() ? blank() : txt(comment));
        sheet.push_back(row);
    }
    return sheet;
}

const char* python = "/usr/bin/python3";

QString appPath() {
    return qEnvironmentVariable("KV_APP");
}

struct Run {
    int exitCode = -1;
    QString out, err;
};

Run run(const QString& program, const QStringList& args, int timeoutMs = 120000) {
    QProcess p;
    p.start(program, args);
    Run r;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        r.err = QStringLiteral("timed out");
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

// Splits CSV with quoted fields (quotes doubled inside, line breaks allowed inside quotes).
std::vector<QStringList> parseCsv(const QString& text) {
    std::vector<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            row << field;
            field.clear();
        } else if (c == '\n') {
            row << field;
            rows.push_back(row);
            row.clear();
            field.clear();
        } else if (c != '\r') {
            field += c;
        }
    }
    if (!field.isEmpty() || !row.isEmpty()) {
        row << field;
        rows.push_back(row);
    }
    return rows;
}

void compareCsv(const std::vector<QStringList>& csv, const std::vector<std::vector<Expected>>& expected) {
    QCOMPARE(csv.size(), expected.size());
    for (std::size_t r = 0; r < expected.size(); ++r) {
        QCOMPARE(csv[r].size(), qsizetype(expected[r].size()));
        for (std::size_t c = 0; c < expected[r].size(); ++c) {
            const Expected& e = expected[r][c];
            const QString& got = csv[r][qsizetype(c)];
            const QString where = QStringLiteral("row %1 column %2: %3").arg(r).arg(c).arg(got);
            if (e.kind == Expected::Number)
                QVERIFY2(qAbs(got.toDouble() - e.number) <= 1e-9 * qMax(1.0, qAbs(e.number)),
                         qPrintable(where));
            else
                QVERIFY2(got == e.text, qPrintable(where + QStringLiteral(" != ") + e.text));
        }
    }
}

QByteArray workbookStream(const QString& xls) {
    QProcess p;
    p.start(QString::fromLatin1(python),
            {QStringLiteral("-c"),
             QStringLiteral("import olefile,sys;o=olefile.OleFileIO(sys.argv[1]);"
                            "assert o.listdir()==[['Workbook']],o.listdir();"
                            "sys.stdout.buffer.write(o.openstream('Workbook').read())"),
             xls});
    p.waitForFinished(60000);
    if (p.exitCode() != 0)
        qWarning("%s", p.readAllStandardError().constData());
    return p.exitCode() == 0 ? p.readAllStandardOutput() : QByteArray();
}

} // namespace

class TestXlsExport : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_table;

    QString path(const QString& name) const { return m_dir.filePath(name); }

    QString exportMode(int mode, const QString& name, const QStringList& extra = {}) {
        const QString out = path(name);
        const Run r = run(appPath(), QStringList{QStringLiteral("export"), m_table, QStringLiteral("--mode"),
                                                 QString::number(mode), out} +
                                         extra);
        if (r.exitCode != 0)
            qWarning("%s", qPrintable(r.err));
        if (r.exitCode != 0 || r.out != excel_export::successMessage(out) + '\n')
            return {};
        return out;
    }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        QVERIFY(!appPath().isEmpty());
        m_table = path(QStringLiteral("цех.dbf"));
        QVERIFY(measurement_dbf::write(m_table, sampleRows()));
    }

    void modes_data() {
        QTest::addColumn<int>("mode");
        QTest::newRow("Оперативный") << 0;
        QTest::newRow("Ждущий") << 1;
        QTest::newRow("Наблюдения") << 2;
    }

    void xlrdReadsTheTableValues_data() { modes_data(); }
    void xlrdReadsTheTableValues() {
        QFETCH(int, mode);
        const QString xls = exportMode(mode, QStringLiteral("xlrd%1.xls").arg(mode));
        QVERIFY(!xls.isEmpty());
        const Run r = run(QString::fromLatin1(python),
                          {QStringLiteral(KV_SOURCE_DIR "/tests/output/read_xls.py"), xls});
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        const QJsonObject book = QJsonDocument::fromJson(r.out.toUtf8()).object();
        QCOMPARE(book[QStringLiteral("user")].toString(), QStringLiteral("Lumatex"));
        const QJsonArray sheets = book[QStringLiteral("sheets")].toArray();
        QCOMPARE(sheets.size(), 1);
        const QJsonObject sheet = sheets[0].toObject();
        QCOMPARE(sheet[QStringLiteral("name")].toString(), QStringLiteral("Кварнел - ЛД5"));
        QVERIFY(sheet[QStringLiteral("merged")].toArray().isEmpty());
        const auto expected = expectedSheet(sampleRows(), mode);
        const QJsonArray rows = sheet[QStringLiteral("rows")].toArray();
        QCOMPARE(rows.size(), qsizetype(expected.size()));
        for (std::size_t i = 0; i < expected.size(); ++i) {
            const QJsonArray row = rows[qsizetype(i)].toArray();
            QCOMPARE(row.size(), qsizetype(expected[i].size()));
            for (std::size_t c = 0; c < expected[i].size(); ++c) {
                const QJsonArray cell = row[qsizetype(c)].toArray();
                const Expected& e = expected[i][c];
                const QString kind = cell[0].toString();
                QCOMPARE(cell[2].toInt(), 21); // every cell shares XF 21
                if (e.kind == Expected::Number) {
                    QCOMPARE(kind, QStringLiteral("number"));
                    QCOMPARE(cell[1].toDouble(), e.number);
                } else if (e.kind == Expected::Text) {
                    QCOMPARE(kind, QStringLiteral("text"));
                    QCOMPARE(cell[1].toString(), e.text);
                } else {
                    QCOMPARE(kind, QStringLiteral("blank"));
                }
            }
        }
    }

    void gnumericReadsTheTableValues_data() { modes_data(); }
    void gnumericReadsTheTableValues() {
        QFETCH(int, mode);
        const QString xls = exportMode(mode, QStringLiteral("gnumeric%1.xls").arg(mode));
        QVERIFY(!xls.isEmpty());
        const QString csv = path(QStringLiteral("gnumeric%1.csv").arg(mode));
        const Run r = run(QStringLiteral("ssconvert"),
                          {QStringLiteral("--export-type=Gnumeric_stf:stf_csv"), xls, csv});
        QCOMPARE(r.err, QString());
        QCOMPARE(r.exitCode, 0);
        QFile f(csv);
        QVERIFY(f.open(QIODevice::ReadOnly));
        compareCsv(parseCsv(QString::fromUtf8(f.readAll())), expectedSheet(sampleRows(), mode));
    }

    void libreOfficeReadsTheTableValues() {
        const QString xls = exportMode(1, QStringLiteral("lo.xls"));
        QVERIFY(!xls.isEmpty());
        QTemporaryDir profile;
        const QString outDir = path(QStringLiteral("lo"));
        const Run r =
            run(QStringLiteral("soffice"),
                {QStringLiteral("-env:UserInstallation=") + QUrl::fromLocalFile(profile.path()).toString(),
                 QStringLiteral("--headless"), QStringLiteral("--convert-to"),
                 QStringLiteral("csv:Text - txt - csv (StarCalc):44,34,76"), QStringLiteral("--outdir"),
                 outDir, xls},
                240000);
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QFile f(outDir + QStringLiteral("/lo.csv"));
        QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(r.out + r.err));
        compareCsv(parseCsv(QString::fromUtf8(f.readAll())), expectedSheet(sampleRows(), 1));
    }

    void commandLineAndLibraryWriteTheSameStream() {
        const QString xls = exportMode(2, QStringLiteral("same.xls"),
                                       {QStringLiteral("--firmware-date"), QStringLiteral("12.03.09")});
        QVERIFY(!xls.isEmpty());
        DbfTable table;
        table.open(m_table, DbfTable::Access::ReadOnly);
        table.setFilter(QStringLiteral("MODE=2"));
        table.setFiltered(true);
        TvteXLSWorkbook book;
        excel_export::fillWorkbook(book, table, 2, QStringLiteral("12.03.09"));
        QCOMPARE(table.position(), 0); // read without the cursor, which stays on the first record
        QCOMPARE(book.SheetAt(0).Name(), QStringLiteral("Кварнел - ЛД5 12.03.09"));
        MemoryStorage memory;
        TvteExcelWriter().saveToStorage(book, memory);
        const QByteArray fromFile = workbookStream(xls);
        QVERIFY(!fromFile.isEmpty());
        QVERIFY(fromFile == memory.stream(QStringLiteral("Workbook")));
        // Shared strings in cell order: headers, then date, time and non-empty note per row.
        const auto records = biffRecords(fromFile);
        int labels = 0;
        for (const auto& r : records)
            labels += r.type == 0x00FD;
        QCOMPARE(labels, 10 + 2 * 3);
    }

    void rowsReachTheNoteColumnEvenWithoutANote_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("columns");
        QTest::addColumn<int>("recordCount");
        QTest::newRow("Оперативный") << 0 << 8 << 3;
        QTest::newRow("Ждущий") << 1 << 10 << 2;
    }
    void rowsReachTheNoteColumnEvenWithoutANote() {
        QFETCH(int, mode);
        QFETCH(int, columns);
        QFETCH(int, recordCount);
        DbfTable table;
        table.open(m_table, DbfTable::Access::ReadOnly);
        table.setFilter(QStringLiteral("MODE=%1").arg(mode));
        table.setFiltered(true);
        TvteXLSWorkbook book;
        excel_export::fillWorkbook(book, table, mode, QString());
        MemoryStorage memory;
        TvteExcelWriter().saveToStorage(book, memory);
        const auto records = biffRecords(memory.stream(QStringLiteral("Workbook")));
        int rows = 0, blanks = 0;
        for (const auto& r : records) {
            QVERIFY(r.type != 0x0092 && r.type != 0x00E5); // no palette change, nothing merged
            if (r.type == 0x0208) {
                ++rows;
                QCOMPARE(le16(r.body, 2), std::uint16_t(0));
                QCOMPARE(le16(r.body, 4), std::uint16_t(columns));
            }
            if (r.type == 0x0201 && le16(r.body, 2) == columns - 1)
                ++blanks;
        }
        QCOMPARE(rows, 1 + recordCount);
        QCOMPARE(blanks, 1); // the one record of the mode with an empty note
    }

    void viewWithoutRecordsGivesTheHeaderRow() {
        const QString empty = path(QStringLiteral("empty.dbf"));
        QVERIFY(measurement_dbf::write(empty, {}));
        const QString out = path(QStringLiteral("empty.xls"));
        const Run r = run(
            appPath(), {QStringLiteral("export"), empty, QStringLiteral("--mode"), QStringLiteral("0"), out});
        QCOMPARE(r.exitCode, 0);
        const auto records = biffRecords(workbookStream(out));
        int rows = 0;
        for (const auto& rec : records) {
            rows += rec.type == 0x0208;
            if (rec.type == 0x0200)
                QCOMPARE(rec.body, hexBytes("00000000 01000000 0000 0800 0000"));
        }
        QCOMPARE(rows, 1);
    }

    void refusesMoreRecordsThanASheetHolds() {
        std::vector<MeasurementRow> rows(65536);
        for (int i = 0; i < int(rows.size()); ++i) {
            rows[std::size_t(i)].n = i % 9999 + 1;
            rows[std::size_t(i)].a = 1;
            rows[std::size_t(i)].f = 2;
        }
        const QString big = path(QStringLiteral("big.dbf"));
        QVERIFY(measurement_dbf::write(big, rows));
        const QString out = path(QStringLiteral("big.xls"));
        const Run r = run(
            appPath(), {QStringLiteral("export"), big, QStringLiteral("--mode"), QStringLiteral("0"), out});
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.startsWith(QStringLiteral("Вид содержит 65536 записей")) &&
                     r.err.contains(QStringLiteral("65535")),
                 qPrintable(r.err));
        QCOMPARE(r.out, QString());
        QVERIFY(!QFile::exists(out));
        // One record fewer fits exactly: rows 0 to 65535.
        rows.pop_back();
        QVERIFY(measurement_dbf::write(big, rows));
        const Run ok = run(
            appPath(), {QStringLiteral("export"), big, QStringLiteral("--mode"), QStringLiteral("0"), out});
        QVERIFY2(ok.exitCode == 0, qPrintable(ok.err));
        const auto records = biffRecords(workbookStream(out));
        for (const auto& rec : records)
            if (rec.type == 0x0200)
                QCOMPARE(rec.body, hexBytes("00000000 00000100 0000 0800 0000"));
    }

    void failuresLeaveNoFile_data() {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("message");
        // The text of the structured storage call first, then why, with the folder that is the cause.
        QTest::newRow("missing folder")
            << QStringLiteral("нет/такой/папки/x.xls")
            << QStringLiteral("StgCreateDocFile error 2\nНе удалось записать файл "
                              "«x.xls»: папка «%1» не найдена.\n");
        QTest::newRow("folder that cannot be written")
            << QStringLiteral("/proc/x.xls") << QStringLiteral("StgCreateDocFile error ");
    }
    void failuresLeaveNoFile() {
        QFETCH(QString, target);
        QFETCH(QString, message);
        const QString out = target.startsWith('/') ? target : path(target);
        const Run r = run(appPath(), {QStringLiteral("export"), m_table, QStringLiteral("--mode"),
                                      QStringLiteral("0"), out});
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(
            r.err.startsWith(QString(message).replace(QLatin1String("%1"), QFileInfo(out).absolutePath())),
            qPrintable(r.err));
        QVERIFY2(r.err.section(QLatin1Char('\n'), 1, 1)
                     .startsWith(QStringLiteral("Не удалось записать файл «x.xls»: ")),
                 qPrintable(r.err));
        QCOMPARE(r.out, QString());
        QVERIFY(!QFile::exists(out));
    }

    void fullDiskKeepsTheOldFileAndNothingElse_data() {
        QTest::addColumn<bool>("existing");
        QTest::newRow("new file") << false;
        QTest::newRow("existing file") << true;
    }
    void fullDiskKeepsTheOldFileAndNothingElse() {
        QFETCH(bool, existing);
        std::vector<MeasurementRow> rows(3000);
        for (int i = 0; i < int(rows.size()); ++i)
            rows[std::size_t(i)] = {i + 1, "05.05.2010", "12:00:00", 0,  1.5, 50,          2,
                                    3,     {},           {},         {}, {},  "примечание"};
        const QString table = path(QStringLiteral("disk.dbf"));
        QVERIFY(measurement_dbf::write(table, rows));
        QDir folder(path(QStringLiteral("disk")));
        QVERIFY(folder.mkpath(QStringLiteral(".")));
        const QString out = folder.filePath(QStringLiteral("full.xls"));
        if (existing) {
            QFile old(out);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("old");
        }
        // 64 KiB at most per file: the export of 3000 rows needs more.
        const Run r = run(QStringLiteral("/bin/bash"),
                          {QStringLiteral("-c"),
                           QStringLiteral("ulimit -f 64; exec \"$0\" export \"$1\" --mode 0 \"$2\""),
                           appPath(), table, out});
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(r.out, QString());
        // The system's reason, not a guess.
        QCOMPARE(r.err,
                 QStringLiteral("Не удалось записать файл «full.xls»: файл превысил допустимый размер.\n"));
        QCOMPARE(folder.entryList(QDir::Files | QDir::Hidden),
                 existing ? QStringList{QStringLiteral("full.xls")} : QStringList{});
        if (existing) {
            QFile old(out);
            QVERIFY(old.open(QIODevice::ReadOnly));
            QCOMPARE(old.readAll(), QByteArray("old"));
        }
        // Without the limit the same export succeeds and replaces the file.
        const Run ok = run(
            appPath(), {QStringLiteral("export"), table, QStringLiteral("--mode"), QStringLiteral("0"), out});
        QCOMPARE(ok.exitCode, 0);
        QVERIFY(QFileInfo(out).size() > 64 * 1024);
    }

    void sheetNameCarriesTheFirmwareDate_data() {
        QTest::addColumn<QString>("firmwareDate");
        QTest::addColumn<QString>("name");
        QTest::newRow("no download") << QString() << QStringLiteral("Кварнел - ЛД5");
        QTest::newRow("after a download")
            << QStringLiteral("12.03.09") << QStringLiteral("Кварнел - ЛД5 12.03.09");
        QTest::newRow("too long") << QStringLiteral("0123456789abcdefghij")
                                  << QStringLiteral("Кварнел - ЛД5 0123456789abcdefg");
        QTest::newRow("a date Excel refuses in a sheet name")
            << QStringLiteral("12/03:09'") << QStringLiteral("Кварнел - ЛД5 12_03_09_");
    }
    void sheetNameCarriesTheFirmwareDate() {
        QFETCH(QString, firmwareDate);
        QFETCH(QString, name);
        QCOMPARE(excel_export::sheetName(firmwareDate), name);
    }

    void successMessageNamesTheFileOnly() {
        QCOMPARE(excel_export::successMessage(QStringLiteral("/home/u/Отчёты/цех 1.xls")),
                 QStringLiteral("Экспорт в файл цех 1.xls завершен успешно."));
        QCOMPARE(excel_export::successCaption(), QStringLiteral("Экспорт в Excel"));
    }

    void commandLineRefusesBadArguments_data() {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("no mode") << QStringList{QStringLiteral("t.dbf"), QStringLiteral("o.xls")};
        QTest::newRow("mode 3") << QStringList{QStringLiteral("t.dbf"), QStringLiteral("--mode"),
                                               QStringLiteral("3"), QStringLiteral("o.xls")};
        QTest::newRow("no output") << QStringList{QStringLiteral("t.dbf"), QStringLiteral("--mode"),
                                                  QStringLiteral("0")};
        QTest::newRow("missing table") << QStringList{QStringLiteral("nothing.dbf"), QStringLiteral("--mode"),
                                                      QStringLiteral("0"), QStringLiteral("o.xls")};
    }
    void commandLineRefusesBadArguments() {
        QFETCH(QStringList, args);
        QProcess p;
        p.setWorkingDirectory(m_dir.path());
        p.start(appPath(), QStringList{QStringLiteral("export")} + args);
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 1);
        QVERIFY(!p.readAllStandardError().isEmpty());
        QCOMPARE(p.readAllStandardOutput(), QByteArray());
        QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("o.xls"))));
    }
};

QTEST_GUILESS_MAIN(TestXlsExport)
#include "test_xls_export.moc"
