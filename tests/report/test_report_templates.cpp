#include "PdfText.h"
#include "TableFixture.h"

#include "core/Error.h"
#include "output/modereports/ModeReports.h"
#include "output/modereports/ReportTemplates.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

using namespace report;

namespace {

const TextObject* objectAt(const Band& band, double left) {
    for (const TextObject& o : band.objects)
        if (qAbs(o.rect.left() - left) < 1e-9)
            return &o;
    return nullptr;
}

QString describe(const DisplayFormat& f) {
    switch (f.kind) {
    case DisplayFormat::Kind::Text:
        return QStringLiteral("text");
    case DisplayFormat::Kind::Pattern:
        return QStringLiteral("pattern ") + f.pattern;
    case DisplayFormat::Kind::Fixed:
        return QStringLiteral("fixed %1").arg(f.decimals);
    }
    return {};
}

// Texts of the data cells of each printed row, left to right, over all pages.
QList<QStringList> dataRows(const PreparedReport& rep, int columns) {
    QList<QStringList> rows;
    for (const PreparedPage& page : rep.pages) {
        QStringList row;
        for (const DrawItem& item : page.items) {
            if (qAbs(item.rect.height() - 5.5) > 1e-9 || !item.frame)
                continue;
            row << item.text;
            if (row.size() == columns) {
                rows << row;
                row.clear();
            }
        }
    }
    return rows;
}

int runApp(const QStringList& args, QString* err = nullptr) {
    QProcess p;
    p.start(qEnvironmentVariable("KV_APP"), args);
    if (!p.waitForFinished(120000))
        return -1;
    if (err)
        *err = QString::fromUtf8(p.readAllStandardError());
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

} // namespace

class ReportTemplatesTest : public QObject {
    Q_OBJECT
private slots:
    void columns_data();
    void columns();
    void titleAndFooter_data();
    void titleAndFooter();
    void cellValues_data();
    void cellValues();
    void sortedViewPrintsInSortedOrder();
    void tooLongCommentKeepsRowHeight();
    void tableKeepsItsCurrentRecord();
    void commandLineWritesThePdf();
    void commandLineSortsAndRefuses_data();
    void commandLineSortsAndRefuses();

private:
    QTemporaryDir m_dir;
};

void ReportTemplatesTest::columns_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<double>("left");
    QTest::addColumn<double>("width");
    QTest::addColumn<QString>("heading");
    QTest::addColumn<double>("headingSize");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("format");
    for (int mode = 0; mode < 3; ++mode) {
        const QByteArray m = "frReport" + QByteArray::number(mode + 1) + " ";
        QTest::newRow(m + "N") << mode << 6.9 << 16.9 << "N" << 12.0 << "N"
                               << "text";
        QTest::newRow(m + "DATE") << mode << 23.8 << 24.4 << "Дата" << 12.0 << "DATE"
                                  << "text";
        QTest::newRow(m + "TIME") << mode << 48.2 << 20.0 << "Время" << 12.0 << "TIME"
                                  << "text";
        QTest::newRow(m + "A") << mode << 68.2 << 25.2 << "a, м/кв.с" << 12.0 << "A"
                               << (mode == 2 ? "fixed 3" : "pattern 00.000");
        QTest::newRow(m + "F") << mode << 93.4 << 22.2 << "f, Гц" << 12.0 << "F"
                               << (mode == 2 ? "pattern 00.000" : "pattern 000.000");
        QTest::newRow(m + "V") << mode << 115.6 << 23.3 << "V, мм/с" << 12.0 << "V"
                               << "pattern 00.000";
        QTest::newRow(m + "S") << mode << 138.9 << 22.2 << "S, мм" << 12.0 << "S"
                               << "pattern 00.000";
    }
    QTest::newRow("frReport1 COMMENT") << 0 << 161.1 << 128.6 << "Примечание" << 12.0 << "COMMENT"
                                       << "text";
    QTest::newRow("frReport2 TR_F") << 1 << 161.1 << 26.6 << "Порог\nf, Гц" << 10.0 << "TR_F"
                                    << "pattern 000.0";
    QTest::newRow("frReport2 TR_A") << 1 << 187.7 << 26.6 << "Порог\na, м/кв.с" << 10.0 << "TR_A"
                                    << "pattern 000.0";
    QTest::newRow("frReport2 COMMENT") << 1 << 214.3 << 75.4 << "Примечание" << 12.0 << "COMMENT"
                                       << "text";
    QTest::newRow("frReport3 T") << 2 << 161.1 << 33.0 << "Длительность, мин" << 10.0 << "T"
                                 << "text";
    QTest::newRow("frReport3 DT") << 2 << 194.1 << 26.6 << "Интервал, с" << 10.0 << "DT"
                                  << "text";
    QTest::newRow("frReport3 COMMENT") << 2 << 220.7 << 69.0 << "Примечание" << 12.0 << "COMMENT"
                                       << "text";
}

void ReportTemplatesTest::columns() {
    QFETCH(int, mode);
    QFETCH(double, left);
    QFETCH(double, width);
    QFETCH(QString, heading);
    QFETCH(double, headingSize);
    QFETCH(QString, field);
    QFETCH(QString, format);
    const ReportTemplate t = reports::templateForMode(mode);
    QCOMPARE(t.name, QStringLiteral("frReport%1").arg(mode + 1));
    const TextObject* head = objectAt(*t.band(BandType::PageHeader), left);
    const TextObject* cell = objectAt(*t.band(BandType::MasterData), left);
    QVERIFY(head && cell);
    QCOMPARE(head->rect, QRectF(left, 0, width, 11.1));
    QCOMPARE(cell->rect, QRectF(left, 0, width, 5.5));
    QCOMPARE(head->text, heading);
    QCOMPARE(cell->text, QStringLiteral("[Dbf1.\"%1\"]").arg(field));
    QCOMPARE(describe(cell->format), format);
    QCOMPARE(head->font, (FontStyle{QStringLiteral("Arial"), headingSize, true, false}));
    QCOMPARE(cell->font, (FontStyle{QStringLiteral("Arial"), 10, false, false}));
    for (const TextObject* o : {head, cell}) {
        QVERIFY(o->frame && o->wordWrap && o->clip);
        QCOMPARE(o->hAlign, HAlign::Center);
        QCOMPARE(o->vAlign, VAlign::Center);
    }
}

void ReportTemplatesTest::titleAndFooter_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("modeTitle");
    QTest::newRow("frReport1") << 0 << "Оперативный режим";
    QTest::newRow("frReport2") << 1 << "Ждущий режим";
    QTest::newRow("frReport3") << 2 << "Режим наблюдения";
}

void ReportTemplatesTest::titleAndFooter() {
    QFETCH(int, mode);
    QFETCH(QString, modeTitle);
    const ReportTemplate t = reports::templateForMode(mode);
    QCOMPARE(t.page.paper, QSizeF(297, 210));
    QVERIFY(t.page.landscape);
    QCOMPARE(t.page.paperSizeCode, 9);
    QCOMPARE(t.page.margins, QMarginsF(6.9, 20.0, 6.9, 6.9));
    QCOMPARE(t.bands.size(), std::size_t(4));
    QCOMPARE(t.band(BandType::ReportTitle)->height, 17.7);
    QCOMPARE(t.band(BandType::PageHeader)->height, 11.1);
    QCOMPARE(t.band(BandType::MasterData)->height, 5.5);
    QCOMPARE(t.band(BandType::PageFooter)->height, 5.5);

    const Band& title = *t.band(BandType::ReportTitle);
    QCOMPARE(title.objects.size(), std::size_t(2));
    const TextObject* product = objectAt(title, 6.9);
    const TextObject* mt = objectAt(title, 115.9);
    QVERIFY(product && mt);
    QCOMPARE(product->rect, QRectF(6.9, 0, 56.8, 17.7));
    QCOMPARE(product->text, QStringLiteral("Кварнел-ЛД5"));
    QCOMPARE(product->font, (FontStyle{QStringLiteral("Arial"), 16, true, false}));
    QCOMPARE(product->hAlign, HAlign::Left);
    QCOMPARE(product->vAlign, VAlign::Top);
    QCOMPARE(mt->rect, QRectF(115.9, 0, 64.9, 17.7));
    QCOMPARE(mt->text, modeTitle);
    QCOMPARE(mt->font, (FontStyle{QStringLiteral("Arial"), 14, true, false}));
    QCOMPARE(mt->hAlign, HAlign::Center);
    QCOMPARE(mt->vAlign, VAlign::Center);
    QVERIFY(!product->frame && !mt->frame);

    const Band& footer = *t.band(BandType::PageFooter);
    QCOMPARE(footer.objects.size(), std::size_t(1));
    const TextObject& page = footer.objects[0];
    QCOMPARE(page.text, QStringLiteral("Стр. [PAGE#] из [TOTALPAGES]"));
    QCOMPARE(page.font, (FontStyle{QStringLiteral("Arial"), 10, false, false}));
    QCOMPARE(page.rect.right(), 290.0);
    QVERIFY(page.widthFromText && !page.frame);
    QCOMPARE(page.hAlign, HAlign::Right);
    QCOMPARE(page.vAlign, VAlign::Center);

    // Every table ends at 289.7 mm, its cells side by side without gaps.
    double right = 6.9;
    for (const TextObject& o : t.band(BandType::MasterData)->objects) {
        QVERIFY(qAbs(o.rect.left() - right) < 1e-9);
        right = o.rect.right();
    }
    QVERIFY(qAbs(right - 289.7) < 1e-9);
}

void ReportTemplatesTest::cellValues_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<double>("a");
    QTest::addColumn<QStringList>("expected");
    // A_SR, V_SR, S_SR and TR_A_SR hold other values: the report must not print them.
    QTest::newRow("operative") << 0 << 1.5 << QStringList{"1",       "02.03.2024", "10:01:00", "01,500",
                                                          "051,000", "02,250",     "00,125",   "насос"};
    QTest::newRow("operative, above 99.999")
        << 0 << 123.456
        << QStringList{"1", "02.03.2024", "10:01:00", "123,456", "051,000", "02,250", "00,125", "насос"};
    QTest::newRow("standby thresholds")
        << 1 << 1.5 << QStringList{"1",      "02.03.2024", "10:01:00", "01,500", "051,000",
                                   "02,250", "00,125",     "123,4",    "002,6",  "насос"};
    QTest::newRow("observation fixed point")
        << 2 << 1.5 << QStringList{"1",      "02.03.2024", "10:01:00", "1,500", "51,000",
                                   "02,250", "00,125",     "30",       "15",    "насос"};
    QTest::newRow("empty acceleration")
        << 0 << 0.0 << QStringList{"1", "02.03.2024", "10:01:00", "", "051,000", "02,250", "00,125", "насос"};
}

void ReportTemplatesTest::cellValues() {
    QFETCH(int, mode);
    QFETCH(double, a);
    QFETCH(QStringList, expected);
    const QString path = m_dir.filePath(QStringLiteral("values%1.dbf").arg(mode));
    FixtureRow row = measurement(1, mode, a, QStringLiteral("насос"));
    if (a == 0.0)
        row.values.erase(QStringLiteral("A")); // the import leaves A blank when 0 was measured
    writeMeasurementTable(path, {row, measurement(2, (mode + 1) % 3, 9.0)});
    DbfTable t;
    MeasurementTable::open(t, path, DbfTable::Access::ReadOnly);
    t.setFilter(QStringLiteral("MODE=%1").arg(mode));
    t.setFiltered(true);
    const PreparedReport rep = reports::prepareModeReport(t, mode);
    const QList<QStringList> rows = dataRows(rep, int(expected.size()));
    QCOMPARE(rows.size(), 1); // only the view's mode
    QCOMPARE(rows[0], expected);
}

void ReportTemplatesTest::sortedViewPrintsInSortedOrder() {
    const QString path = m_dir.filePath(QStringLiteral("sorted.dbf"));
    std::vector<FixtureRow> rows;
    const double as[] = {3.5, 1.25, 7.0, 0.5, 2.0, 9.75, 4.0};
    for (int i = 0; i < 70; ++i)
        rows.push_back(measurement(i + 1, i % 2, as[i % 7] + i / 100.0));
    writeMeasurementTable(path, rows);
    DbfTable t;
    MeasurementTable::open(t, path, DbfTable::Access::ReadOnly);
    t.setFilter(QStringLiteral("MODE=0"));
    t.setFiltered(true);
    t.addIndex(QStringLiteral("db1"), QStringLiteral("A"), true);
    t.selectIndex(QStringLiteral("db1"));
    const PreparedReport rep = reports::prepareModeReport(t, 0);
    QCOMPARE(rep.pageCount(), 2); // 35 rows: 27 on the first page, 8 on the second
    const QList<QStringList> printed = dataRows(rep, 8);
    QCOMPARE(printed.size(), 35);
    std::vector<double> expected;
    for (int i = 0; i < 70; i += 2)
        expected.push_back(as[i % 7] + i / 100.0);
    std::sort(expected.begin(), expected.end(), std::greater<>());
    for (int i = 0; i < 35; ++i)
        QCOMPARE(printed[i][3], formatNumber(expected[std::size_t(i)], 2, 3, u','));
}

void ReportTemplatesTest::tooLongCommentKeepsRowHeight() {
    const QString path = m_dir.filePath(QStringLiteral("comment.dbf"));
    const QString comment = QStringLiteral("длинное примечание к замеру на подшипнике насоса N2");
    writeMeasurementTable(path, {measurement(1, 2, 1.0, comment.left(50)), measurement(2, 2, 1.0)});
    DbfTable t;
    MeasurementTable::open(t, path, DbfTable::Access::ReadOnly);
    t.setFilter(QStringLiteral("MODE=2"));
    t.setFiltered(true);
    const PreparedReport rep = reports::prepareModeReport(t, 2);
    const DrawItem* cell = nullptr;
    const DrawItem* below = nullptr;
    for (const DrawItem& i : rep.pages[0].items) {
        if (i.rect.left() == 220.7 && i.rect.height() == 5.5)
            (cell ? below : cell) = &i;
    }
    QVERIFY(cell && below);
    QCOMPARE(cell->text, comment.left(50));
    QVERIFY(cell->clip && cell->wordWrap);
    QVERIFY(textWidthMm(cell->font, cell->text) > cell->rect.width()); // it must wrap, and two lines
    QVERIFY(qAbs(below->rect.top() - cell->rect.bottom()) < 1e-9);     // do not fit in 5.5 mm
}

void ReportTemplatesTest::tableKeepsItsCurrentRecord() {
    const QString path = m_dir.filePath(QStringLiteral("current.dbf"));
    writeMeasurementTable(path, {measurement(1, 0, 1), measurement(2, 0, 2), measurement(3, 0, 3)});
    DbfTable t;
    MeasurementTable::open(t, path, DbfTable::Access::ReadOnly);
    t.moveTo(1);
    QCOMPARE(t.recNo(), 2);
    reports::prepareModeReport(t, 0);
    QCOMPARE(t.recNo(), 2);
    t.close();
    QVERIFY_THROWS_EXCEPTION(KvError, reports::prepareModeReport(t, 0));
}

void ReportTemplatesTest::commandLineWritesThePdf() {
    const QString path = m_dir.filePath(QStringLiteral("cli.dbf"));
    std::vector<FixtureRow> rows;
    for (int i = 1; i <= 40; ++i)
        rows.push_back(measurement(i, 1, 1.5, i == 3 ? QStringLiteral("подшипник") : QString()));
    rows.push_back(measurement(41, 0, 8.5));
    writeMeasurementTable(path, rows);
    const QString pdf = m_dir.filePath(QStringLiteral("standby.pdf"));
    QString err;
    QCOMPARE(
        runApp({QStringLiteral("report"), path, QStringLiteral("--mode"), QStringLiteral("1"), pdf}, &err),
        0);
    const QStringList pages = pdfPagesText(pdf);
    QCOMPARE(pages.size(), 2); // 40 rows: 27 + 13
    for (int p = 0; p < 2; ++p) {
        const QString& text = pages[p];
        QCOMPARE(text.contains(QStringLiteral("Кварнел-ЛД5")), p == 0);
        QCOMPARE(text.contains(QStringLiteral("Ждущий режим")), p == 0);
        for (const char* h :
             {"Дата", "Время", "a, м/кв.с", "f, Гц", "V, мм/с", "S, мм", "Порог", "Примечание"})
            QVERIFY2(text.contains(QString::fromUtf8(h)), h);
        QVERIFY(text.contains(QStringLiteral("Стр. %1 из 2").arg(p + 1)));
        QVERIFY(!text.contains(QStringLiteral("08,500"))); // the operative row is not in this view
    }
    static const QRegularExpression row(
        QStringLiteral(
            R"(^\s*3\s+04\.03\.2024\s+10:03:00\s+01,500\s+053,000\s+02,250\s+00,125\s+123,4\s+002,6\s+подшипник\s*$)"),
        QRegularExpression::MultilineOption);
    QVERIFY2(row.match(pages[0]).hasMatch(), qPrintable(pages[0]));
}

void ReportTemplatesTest::commandLineSortsAndRefuses_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("firstN");
    QTest::addColumn<QString>("message");
    QTest::newRow("record order") << QStringList{"--mode", "0"} << 0 << "1"
                                  << "";
    QTest::newRow("sorted by F descending") << QStringList{"--mode", "0", "--sort", "F:desc"} << 0 << "9"
                                            << "";
    QTest::newRow("sorted by F ascending") << QStringList{"--mode", "0", "--sort", "f"} << 0 << "1"
                                           << "";
    QTest::newRow("unknown mode") << QStringList{"--mode", "3"} << 1 << ""
                                  << "Режим";
    QTest::newRow("no mode") << QStringList{} << 1 << ""
                             << "Использование";
    QTest::newRow("unknown sort field") << QStringList{"--mode", "0", "--sort", "XYZ"} << 1 << ""
                                        << "XYZ";
}

void ReportTemplatesTest::commandLineSortsAndRefuses() {
    QFETCH(QStringList, options);
    QFETCH(int, status);
    QFETCH(QString, firstN);
    QFETCH(QString, message);
    const QString path = m_dir.filePath(QStringLiteral("cli-sort.dbf"));
    std::vector<FixtureRow> rows;
    for (int i = 1; i <= 9; ++i)
        rows.push_back(measurement(i, 0, 1.0));
    writeMeasurementTable(path, rows);
    const QString pdf = m_dir.filePath(QStringLiteral("sorted.pdf"));
    QFile::remove(pdf);
    QString err;
    QCOMPARE(runApp(QStringList{QStringLiteral("report"), path} + options + QStringList{pdf}, &err), status);
    if (status != 0) {
        QVERIFY2(err.contains(message), qPrintable(err));
        QVERIFY(!QFile::exists(pdf));
        return;
    }
    const QStringList pages = pdfPagesText(pdf);
    QCOMPARE(pages.size(), 1);
    static const QRegularExpression firstRow(QStringLiteral(R"(^\s*(\d+)\s+\d\d\.03\.2024)"),
                                             QRegularExpression::MultilineOption);
    QCOMPARE(firstRow.match(pages[0]).captured(1), firstN);
    QVERIFY(!QFile::exists(path.chopped(4) + QStringLiteral(".mdx"))); // read-only: nothing written
}

QTEST_MAIN(ReportTemplatesTest)
#include "test_report_templates.moc"
