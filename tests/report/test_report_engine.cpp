#include "MemorySource.h"
#include "PdfText.h"

#include "FileSizeLimit.h"
#include "core/Error.h"
#include "report/DisplayFormat.h"
#include "report/Expression.h"
#include "report/ReportEngine.h"
#include "report/ReportPrinter.h"

#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

#include <clocale>

using namespace report;

Q_DECLARE_METATYPE(DisplayFormat)

namespace {

TextObject cell(double left, double width, double height, const QString& text, bool frame = true) {
    TextObject o;
    o.rect = QRectF(left, 0, width, height);
    o.text = text;
    o.hAlign = HAlign::Center;
    o.vAlign = VAlign::Center;
    o.wordWrap = true;
    o.frame = frame;
    return o;
}

// Bands as high as those of the printed measurement tables, on landscape A4.
ReportTemplate sampleTemplate(double dataHeight = 5.5) {
    ReportTemplate t;
    t.name = QStringLiteral("sample");
    Band title{BandType::ReportTitle, 17.7, {cell(6.9, 60, 17.7, QStringLiteral("Титул"), false)}};
    Band header{
        BandType::PageHeader,
        11.1,
        {cell(6.9, 20, 11.1, QStringLiteral("Номер")), cell(26.9, 100, 11.1, QStringLiteral("Текст"))}};
    Band data{BandType::MasterData,
              dataHeight,
              {cell(6.9, 20, dataHeight, QStringLiteral("[Src.\"ID\"]")),
               cell(26.9, 100, dataHeight, QStringLiteral("[Src.\"TEXT\"]"))}};
    TextObject footer = cell(200, 90, 5.5, QStringLiteral("Стр. [PAGE#] из [TOTALPAGES]"), false);
    footer.hAlign = HAlign::Right;
    footer.widthFromText = true;
    Band foot{BandType::PageFooter, 5.5, {footer}};
    t.bands = {title, header, data, foot};
    return t;
}

MemorySource sampleRows(int n, const QString& text = QStringLiteral("строка")) {
    MemorySource s(QStringLiteral("Src"), {QStringLiteral("ID"), QStringLiteral("TEXT")});
    for (int i = 1; i <= n; ++i)
        s.addRow({QVariant(qint64(i)), QVariant(text)});
    return s;
}

std::vector<const DrawItem*> itemsWithText(const PreparedPage& page, const QString& prefix) {
    std::vector<const DrawItem*> out;
    for (const DrawItem& i : page.items)
        if (i.text.startsWith(prefix))
            out.push_back(&i);
    return out;
}

// CRC-32 (IEEE), bit by bit, independent of the writer's table.
quint32 referenceCrc(const QByteArray& data) {
    quint32 c = 0xFFFFFFFFu;
    for (char ch : data) {
        c ^= quint8(ch);
        for (int k = 0; k < 8; ++k)
            c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    return ~c;
}

QByteArray patched(QByteArray data, int at, quint32 value) {
    for (int k = 0; k < 4; ++k)
        data[at + k] = char((value >> (8 * k)) & 0xFF);
    return data;
}

QByteArray withCrc(QByteArray data) {
    const QByteArray body = data.mid(10, data.size() - 14);
    return patched(data, int(data.size()) - 4, referenceCrc(body));
}

} // namespace

class ReportEngineTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        // A comma locale must not reach the formats: they choose their own separator.
        std::setlocale(LC_ALL, "ru_RU.UTF-8");
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    }

    void formats_data();
    void formats();
    void hugeValueIsWrittenOut();
    void badPictureIsRefused();
    void expressions_data();
    void expressions();
    void unknownExpressionIsRefused_data();
    void unknownExpressionIsRefused();
    void unknownFieldOrSourceIsRefused();
    void pageBreaking_data();
    void pageBreaking();
    void rowTallerThanPageStillPrints();
    void footerIsAsWideAsItsTextOnTheRightMargin();
    void longTextIsCutAndRowKeepsItsHeight_data();
    void longTextIsCutAndRowKeepsItsHeight();
    void saveLoadRoundTrip();
    void damagedFilesAreRefused_data();
    void damagedFilesAreRefused();
    void everyTruncationAndByteFlipIsRefused();
    void pageList_data();
    void pageList();
    void printSequence_data();
    void printSequence();
    void pdfHoldsChosenPagesAndCopies();
    void savesOnAFullDiskKeepTheOldFile();
    void findWalksItemsInOrderAndWraps();
};

void ReportEngineTest::formats_data() {
    QTest::addColumn<DisplayFormat>("format");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("expected");
    const auto s = DisplayFormat::picture(QStringLiteral("00.000"));
    const auto f = DisplayFormat::picture(QStringLiteral("000.000"));
    const auto avf = DisplayFormat::picture(QStringLiteral("000.0"));
    const auto fixed = DisplayFormat::fixed(3);
    QTest::newRow("A 1.5 in 00.000") << s << QVariant(1.5) << "01,500";
    QTest::newRow("F 50 in 000.000") << f << QVariant(50.0) << "050,000";
    QTest::newRow("TR_F 123.4 in 000.0") << avf << QVariant(123.4) << "123,4";
    QTest::newRow("TR_A 2.6 in 000.0") << avf << QVariant(2.6) << "002,6";
    QTest::newRow("fixed 1.5") << fixed << QVariant(1.5) << "1,500";
    QTest::newRow("fixed 0.25") << fixed << QVariant(0.25) << "0,250";
    QTest::newRow("fixed 12.3456") << fixed << QVariant(12.3456) << "12,346";
    QTest::newRow("above 99.999 grows") << s << QVariant(123.456) << "123,456";
    QTest::newRow("zero") << s << QVariant(0.0) << "00,000";
    QTest::newRow("whole number field") << s << QVariant(qint64(7)) << "07,000";
    QTest::newRow("rounds half up") << s << QVariant(0.0005) << "00,001";
    QTest::newRow("rounding carries") << s << QVariant(9.9996) << "10,000";
    QTest::newRow("carry adds a digit") << s << QVariant(99.9995) << "100,000";
    QTest::newRow("2.675 as written")
        << DisplayFormat::picture(QStringLiteral("0.00")) << QVariant(2.675) << "2,68";
    QTest::newRow("negative") << s << QVariant(-1.5) << "-01,500";
    QTest::newRow("negative rounds to zero") << s << QVariant(-0.0001) << "00,000";
    QTest::newRow("number as text") << s << QVariant(QStringLiteral(" 1.5")) << "01,500";
    QTest::newRow("null number") << s << QVariant() << "";
    QTest::newRow("null fixed") << fixed << QVariant() << "";
    QTest::newRow("blank text number") << s << QVariant(QStringLiteral("  ")) << "";
    QTest::newRow("text whole number") << DisplayFormat::text() << QVariant(qint64(1440)) << "1440";
    QTest::newRow("text unchanged") << DisplayFormat::text() << QVariant(QStringLiteral("насос №2"))
                                    << "насос №2";
    QTest::newRow("text decimal") << DisplayFormat::text() << QVariant(2.5) << "2.5";
    QTest::newRow("text null") << DisplayFormat::text() << QVariant() << "";
}

void ReportEngineTest::formats() {
    QFETCH(DisplayFormat, format);
    QFETCH(QVariant, value);
    QFETCH(QString, expected);
    QCOMPARE(format.apply(value), expected);
}

void ReportEngineTest::hugeValueIsWrittenOut() {
    // Far wider than any cell, but whole: every digit of the number before the comma.
    const QString s = DisplayFormat::fixed(3).apply(1e100);
    QCOMPARE(s.size(), 101 + 4);
    QVERIFY(s.startsWith(QStringLiteral("10000000000000000")));
    QVERIFY(s.endsWith(QStringLiteral(",000")));
}

void ReportEngineTest::badPictureIsRefused() {
    QVERIFY_THROWS_EXCEPTION(KvError, DisplayFormat::picture(QStringLiteral("00,000")));
    QVERIFY_THROWS_EXCEPTION(KvError, DisplayFormat::picture(QStringLiteral("0.0.0")));
    QVERIFY_THROWS_EXCEPTION(KvError,
                             DisplayFormat::picture(QStringLiteral("00.0")).apply(QStringLiteral("abc")));
}

void ReportEngineTest::expressions_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("parts");
    QTest::newRow("literal") << "Примечание"
                             << "L:Примечание";
    QTest::newRow("field") << "[Dbf1.\"COMMENT\"]"
                           << "F:Dbf1.COMMENT";
    QTest::newRow("spaces inside") << "[ Dbf1 . \"TR_A\" ]"
                                   << "F:Dbf1.TR_A";
    QTest::newRow("page line") << "Стр. [PAGE#] из [TOTALPAGES]"
                               << "L:Стр. |P|L: из |T";
    QTest::newRow("mixed") << "N=[Dbf1.\"N\"]!"
                           << "L:N=|F:Dbf1.N|L:!";
    QTest::newRow("empty") << ""
                           << "";
}

void ReportEngineTest::expressions() {
    QFETCH(QString, text);
    QFETCH(QString, parts);
    QStringList got;
    for (const TextPart& p : parseText(text)) {
        switch (p.kind) {
        case TextPart::Kind::Literal:
            got << "L:" + p.text;
            break;
        case TextPart::Kind::Field:
            got << "F:" + p.source + "." + p.field;
            break;
        case TextPart::Kind::PageNumber:
            got << "P";
            break;
        case TextPart::Kind::TotalPages:
            got << "T";
            break;
        }
    }
    QCOMPARE(got.join(u'|'), parts);
}

void ReportEngineTest::unknownExpressionIsRefused_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("unclosed") << "Стр. [PAGE#";
    QTest::newRow("misspelt") << "[PAGES]";
    QTest::newRow("field without quotes") << "[Dbf1.N]";
}

void ReportEngineTest::unknownExpressionIsRefused() {
    QFETCH(QString, text);
    QVERIFY_THROWS_EXCEPTION(KvError, parseText(text));
}

void ReportEngineTest::unknownFieldOrSourceIsRefused() {
    auto rows = sampleRows(3);
    ReportTemplate t = sampleTemplate();
    t.bands[2].objects[0].text = QStringLiteral("[Src.\"NOPE\"]");
    QVERIFY_THROWS_EXCEPTION(KvError, prepareReport(t, rows));
    t.bands[2].objects[0].text = QStringLiteral("[Other.\"ID\"]");
    QVERIFY_THROWS_EXCEPTION(KvError, prepareReport(t, rows));
}

void ReportEngineTest::pageBreaking_data() {
    QTest::addColumn<int>("rows");
    QTest::addColumn<QList<int>>("rowsPerPage");
    // Page 1: 210 - 6.9 - 5.5 - 20 - 17.7 - 11.1 = 148.8 mm for rows of 5.5 mm, 27 rows;
    // later pages 166.5 mm, 30 rows.
    QTest::newRow("empty view") << 0 << QList<int>{0};
    QTest::newRow("one row") << 1 << QList<int>{1};
    QTest::newRow("first page full") << 27 << QList<int>{27};
    QTest::newRow("one more") << 28 << QList<int>{27, 1};
    QTest::newRow("two pages full") << 57 << QList<int>{27, 30};
    QTest::newRow("hundred") << 100 << QList<int>{27, 30, 30, 13};
}

void ReportEngineTest::pageBreaking() {
    QFETCH(int, rows);
    QFETCH(QList<int>, rowsPerPage);
    auto source = sampleRows(rows);
    const PreparedReport rep = prepareReport(sampleTemplate(), source);
    QCOMPARE(source.walks(), 2); // counted, then laid out
    QCOMPARE(rep.pageCount(), int(rowsPerPage.size()));
    const int n = rep.pageCount();
    int expectedId = 1;
    for (int p = 0; p < n; ++p) {
        const PreparedPage& page = rep.pages[p];
        QCOMPARE(int(itemsWithText(page, QStringLiteral("Титул")).size()), p == 0 ? 1 : 0);
        const auto heads = itemsWithText(page, QStringLiteral("Номер"));
        QCOMPARE(int(heads.size()), 1);
        QCOMPARE(heads[0]->rect.top(), p == 0 ? 20.0 + 17.7 : 20.0);
        const auto footers = itemsWithText(page, QStringLiteral("Стр."));
        QCOMPARE(int(footers.size()), 1);
        QCOMPARE(footers[0]->text, QStringLiteral("Стр. %1 из %2").arg(p + 1).arg(n));
        QVERIFY(qAbs(footers[0]->rect.top() - (210 - 6.9 - 5.5)) < 1e-9);
        const auto cells = itemsWithText(page, QStringLiteral("строка"));
        QCOMPARE(int(cells.size()), rowsPerPage[p]);
        double y = heads[0]->rect.bottom();
        for (const DrawItem* c : cells) {
            QVERIFY(qAbs(c->rect.top() - y) < 1e-9);
            QVERIFY(c->rect.bottom() <= footers[0]->rect.top() + 1e-9);
            y = c->rect.bottom();
        }
        for (const DrawItem& i : page.items) {
            if (i.rect.left() == 6.9 && i.rect.height() == 5.5 && !i.text.startsWith(QStringLiteral("Стр")))
                QCOMPARE(i.text, QString::number(expectedId++));
        }
    }
    QCOMPARE(expectedId, rows + 1);
}

void ReportEngineTest::rowTallerThanPageStillPrints() {
    auto source = sampleRows(3);
    const PreparedReport rep = prepareReport(sampleTemplate(400), source);
    QCOMPARE(rep.pageCount(), 3);
}

void ReportEngineTest::footerIsAsWideAsItsTextOnTheRightMargin() {
    auto source = sampleRows(1);
    const PreparedReport rep = prepareReport(sampleTemplate(), source);
    const auto footers = itemsWithText(rep.pages[0], QStringLiteral("Стр."));
    QCOMPARE(footers[0]->rect.right(), 290.0);
    const double w = textWidthMm(FontStyle{}, QStringLiteral("Стр. 1 из 1"));
    QVERIFY2(w > 10 && w < 30, qPrintable(QString::number(w)));
    QVERIFY(qAbs(footers[0]->rect.width() - w) < 2);
}

void ReportEngineTest::longTextIsCutAndRowKeepsItsHeight_data() {
    QTest::addColumn<bool>("clip");
    QTest::newRow("clipped") << true;
    QTest::newRow("not clipped, to show the check sees overflow") << false;
}

void ReportEngineTest::longTextIsCutAndRowKeepsItsHeight() {
    QFETCH(bool, clip);
    const QString longText = QStringLiteral("очень длинное примечание ").repeated(12);
    auto source = sampleRows(2, longText);
    ReportTemplate tpl = sampleTemplate();
    tpl.bands[2].objects[1].clip = clip;
    const PreparedReport rep = prepareReport(tpl, source);
    const auto cells = itemsWithText(rep.pages[0], QStringLiteral("очень"));
    QCOMPARE(int(cells.size()), 2);
    QCOMPARE(cells[0]->rect.height(), 5.5);
    QVERIFY(qAbs(cells[1]->rect.top() - cells[0]->rect.bottom()) < 1e-9);
    QCOMPARE(cells[0]->text, longText); // the item keeps the text; painting cuts it

    // Painted, no ink may leave the last row's cell: the band below it is empty paper.
    const double ppm = 8;
    QImage img(int(297 * ppm), int(210 * ppm), QImage::Format_RGB32);
    img.fill(Qt::white);
    {
        QPainter p(&img);
        rep.paintPage(p, 0, QPointF(0, 0), ppm);
    }
    const QRectF cellPx(cells[1]->rect.x() * ppm, cells[1]->rect.y() * ppm, cells[1]->rect.width() * ppm,
                        cells[1]->rect.height() * ppm);
    int inkInside = 0, inkBelow = 0;
    for (int y = int(cellPx.top()) + 4; y < int(cellPx.bottom()) - 3; ++y)
        for (int x = int(cellPx.left()) + 4; x < int(cellPx.right()) - 3; ++x)
            inkInside += qGray(img.pixel(x, y)) < 128;
    for (int y = int(cellPx.bottom()) + 3; y < int(cellPx.bottom() + 20 * ppm); ++y)
        for (int x = int(cellPx.left()); x < int(cellPx.right()); ++x)
            inkBelow += qGray(img.pixel(x, y)) < 250;
    QVERIFY(inkInside > 50);
    if (clip)
        QCOMPARE(inkBelow, 0);
    else
        QVERIFY(inkBelow > 50);
}

void ReportEngineTest::saveLoadRoundTrip() {
    auto source = sampleRows(40, QStringLiteral("примечание ✓"));
    const PreparedReport rep = prepareReport(sampleTemplate(), source);
    const QByteArray bytes = rep.serialize();
    QCOMPARE(withCrc(bytes), bytes); // the trailer is a standard CRC-32 of the body
    QCOMPARE(PreparedReport::deserialize(bytes), rep);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("отчёт.kvr"));
    rep.saveFile(path);
    const PreparedReport back = PreparedReport::loadFile(path);
    QCOMPARE(back, rep);
    QCOMPARE(back.pageCount(), 2);
    QCOMPARE(back.pages[1].items.back().text, QStringLiteral("Стр. 2 из 2"));
}

void ReportEngineTest::damagedFilesAreRefused_data() {
    auto source = sampleRows(3);
    const QByteArray good = prepareReport(sampleTemplate(), source).serialize();
    QTest::addColumn<QByteArray>("data");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("foreign") << QByteArray("%PDF-1.4 something else");
    QByteArray v = good;
    v[4] = char(9);
    QTest::newRow("future version") << v;
    QTest::newRow("trailing garbage") << good + "x";
    // Impossible bodies under a correct checksum, so that the reader's own checks are what refuse them.
    // Body from offset 10: page setup of 51 bytes, the page count, the first page's item count,
    // then the first item: its rectangle (32 bytes) and its text length.
    const int pageCountAt = 10 + 51, itemCountAt = pageCountAt + 4, textLengthAt = itemCountAt + 4 + 32;
    QTest::newRow("huge page count") << withCrc(patched(good, pageCountAt, 0x7FFFFFFF));
    QTest::newRow("huge item count") << withCrc(patched(good, itemCountAt, 0x10000000));
    QTest::newRow("huge text length") << withCrc(patched(good, textLengthAt, 0xFFFFFFF0));
    QByteArray shortBody = good;
    shortBody.remove(good.size() - 20, 16); // body shorter than its length field says
    QTest::newRow("short body") << shortBody;
}

void ReportEngineTest::damagedFilesAreRefused() {
    QFETCH(QByteArray, data);
    QVERIFY_THROWS_EXCEPTION(KvError, PreparedReport::deserialize(data));
    QTemporaryDir dir;
    QFile f(dir.filePath(QStringLiteral("bad.kvr")));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(data);
    f.close();
    QVERIFY_THROWS_EXCEPTION(KvError, PreparedReport::loadFile(f.fileName()));
}

void ReportEngineTest::everyTruncationAndByteFlipIsRefused() {
    auto source = sampleRows(2);
    const QByteArray good = prepareReport(sampleTemplate(), source).serialize();
    for (int n = 0; n < good.size(); ++n)
        QVERIFY_THROWS_EXCEPTION(KvError, PreparedReport::deserialize(good.left(n)));
    for (int i = 0; i < good.size(); ++i) {
        QByteArray bad = good;
        bad[i] = char(bad[i] ^ 0x5A);
        QVERIFY_THROWS_EXCEPTION(KvError, PreparedReport::deserialize(bad));
    }
}

void ReportEngineTest::pageList_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("pageCount");
    QTest::addColumn<QList<int>>("pages");
    QTest::addColumn<bool>("valid");
    QTest::newRow("list and range") << "1,3,5-12" << 12 << QList<int>{1, 3, 5, 6, 7, 8, 9, 10, 11, 12}
                                    << true;
    QTest::newRow("empty means all") << "" << 5 << QList<int>{} << true;
    QTest::newRow("blanks") << " 2 , 4 " << 5 << QList<int>{2, 4} << true;
    QTest::newRow("written order") << "3,1" << 5 << QList<int>{3, 1} << true;
    QTest::newRow("overlap once") << "1,1-2" << 5 << QList<int>{1, 2} << true;
    QTest::newRow("single") << "7" << 7 << QList<int>{7} << true;
    QTest::newRow("letters") << "abc" << 5 << QList<int>{} << false;
    QTest::newRow("page zero") << "0" << 5 << QList<int>{} << false;
    QTest::newRow("reversed range") << "5-3" << 5 << QList<int>{} << false;
    QTest::newRow("beyond the report") << "1,13" << 12 << QList<int>{} << false;
    QTest::newRow("semicolon") << "1;2" << 5 << QList<int>{} << false;
}

void ReportEngineTest::pageList() {
    QFETCH(QString, text);
    QFETCH(int, pageCount);
    QFETCH(QList<int>, pages);
    QFETCH(bool, valid);
    if (!valid) {
        QVERIFY_THROWS_EXCEPTION(KvError, parsePageList(text, pageCount));
        return;
    }
    const std::vector<int> got = parsePageList(text, pageCount);
    QCOMPARE(QList<int>(got.begin(), got.end()), pages);
}

void ReportEngineTest::printSequence_data() {
    QTest::addColumn<QList<int>>("pages");
    QTest::addColumn<int>("copies");
    QTest::addColumn<bool>("collate");
    QTest::addColumn<QList<int>>("sequence");
    QTest::newRow("all") << QList<int>{} << 1 << true << QList<int>{1, 2, 3};
    QTest::newRow("collated") << QList<int>{1, 3} << 2 << true << QList<int>{1, 3, 1, 3};
    QTest::newRow("uncollated") << QList<int>{1, 3} << 2 << false << QList<int>{1, 1, 3, 3};
}

void ReportEngineTest::printSequence() {
    QFETCH(QList<int>, pages);
    QFETCH(int, copies);
    QFETCH(bool, collate);
    QFETCH(QList<int>, sequence);
    PrintJob job{std::vector<int>(pages.begin(), pages.end()), copies, collate};
    const std::vector<int> got = job.sequence(3);
    QCOMPARE(QList<int>(got.begin(), got.end()), sequence);
}

void ReportEngineTest::pdfHoldsChosenPagesAndCopies() {
    auto source = sampleRows(70);
    const PreparedReport rep = prepareReport(sampleTemplate(), source);
    QCOMPARE(rep.pageCount(), 3);
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("out.pdf"));
    writePdf(rep, pdf, PrintJob{{1, 3}, 2, true});
    const QStringList pages = pdfPagesText(pdf);
    QCOMPARE(pages.size(), 4);
    const int expected[] = {1, 3, 1, 3};
    for (int i = 0; i < 4; ++i)
        QVERIFY2(pages[i].contains(QStringLiteral("Стр. %1 из 3").arg(expected[i])), qPrintable(pages[i]));
    QVERIFY(pages[0].contains(QStringLiteral("Титул")));
    QVERIFY(!pages[1].contains(QStringLiteral("Титул")));
    QVERIFY(pages[1].contains(QStringLiteral("Номер")));
    QVERIFY_THROWS_EXCEPTION(KvError, writePdf(rep, pdf, PrintJob{{4}, 1, true}));
}

// A PDF and a saved report are written whole or not at all: the file of an earlier save stays.
void ReportEngineTest::savesOnAFullDiskKeepTheOldFile() {
    auto source = sampleRows(70);
    const PreparedReport rep = prepareReport(sampleTemplate(), source);
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("out.pdf"));
    const QString saved = dir.filePath(QStringLiteral("out.frp"));
    QFile old(pdf);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("the earlier file");
    old.close();
    QVERIFY(QFile::copy(pdf, saved));

    FileSizeLimit full(64);
    QVERIFY(full.active());
    try {
        writePdf(rep, pdf);
        QFAIL("a PDF larger than the disk was reported as written");
    } catch (const KvError& e) {
        QVERIFY2(e.message().startsWith(QStringLiteral("Не удалось записать файл «%1»: ").arg(pdf)),
                 qPrintable(e.message()));
    }
    try {
        rep.saveFile(saved);
        QFAIL("a report larger than the disk was reported as saved");
    } catch (const KvError& e) {
        QVERIFY2(e.message().startsWith(QStringLiteral("Не удалось записать файл отчёта «%1»: ").arg(saved)),
                 qPrintable(e.message()));
    }
    full.lift();
    for (const QString& path : {pdf, saved}) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("the earlier file"));
    }
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2); // nothing left beside
}

void ReportEngineTest::findWalksItemsInOrderAndWraps() {
    auto source = sampleRows(60);
    const PreparedReport rep = prepareReport(sampleTemplate(), source);
    const TextMatch a = rep.find(QStringLiteral("стр. 2 из"));
    QVERIFY(a.found());
    QCOMPARE(a.page, 1);
    QCOMPARE(rep.pages[a.page].items[a.item].text, QStringLiteral("Стр. 2 из 3"));
    const TextMatch b = rep.find(QStringLiteral("Стр."), a.page, a.item);
    QCOMPARE(b.page, 2);
    const TextMatch c = rep.find(QStringLiteral("Стр."), b.page, b.item);
    QCOMPARE(c.page, 0); // wrapped round
    QVERIFY(!rep.find(QStringLiteral("нет такого")).found());
}

QTEST_MAIN(ReportEngineTest)
#include "test_report_engine.moc"
