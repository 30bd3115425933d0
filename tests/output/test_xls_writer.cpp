#include "BiffRecords.h"

#include "output/xls/CompoundFile.h"
#include "output/xls/TvteExcelWriter.h"

#include <QRandomGenerator>
#include <QtTest>

namespace {

QByteArray streamOf(const TvteXLSWorkbook& book,
                    TvteExcelWriter::RowScan scan = TvteExcelWriter::RowScan::OnePass) {
    MemoryStorage storage;
    TvteExcelWriter writer;
    writer.setRowScan(scan);
    writer.saveToStorage(book, storage);
    if (!storage.committed())
        qFatal("storage not committed");
    return storage.stream(QStringLiteral("Workbook"));
}

std::vector<BiffRecord> ofType(const std::vector<BiffRecord>& records, std::uint16_t type) {
    std::vector<BiffRecord> out;
    for (const auto& r : records)
        if (r.type == type)
            out.push_back(r);
    return out;
}

// The records of the n-th worksheet substream (after the globals), BOF to EOF.
std::vector<BiffRecord> sheetRecords(const std::vector<BiffRecord>& all, int n) {
    int bofs = -1;
    std::vector<BiffRecord> out;
    for (const auto& r : all) {
        if (r.type == 0x0809)
            ++bofs;
        if (bofs == n + 1)
            out.push_back(r);
    }
    return out;
}

std::vector<std::uint16_t> types(const std::vector<BiffRecord>& records) {
    std::vector<std::uint16_t> t;
    for (const auto& r : records)
        t.push_back(r.type);
    return t;
}

const BiffRecord& first(const std::vector<BiffRecord>& records, std::uint16_t type) {
    for (const auto& r : records)
        if (r.type == type)
            return r;
    qFatal("record %04x missing", type);
}

} // namespace

class TestXlsWriter : public QObject {
    Q_OBJECT
private slots:
    void globalsComeInTheirOrder() {
        TvteXLSWorkbook book;
        book.AddSheet().Cells(0, 0).setValue("N");
        const auto all = biffRecords(streamOf(book));
        std::vector<std::uint16_t> globals;
        for (const auto& r : all) {
            globals.push_back(r.type);
            if (r.type == 0x000A)
                break;
        }
        std::vector<std::uint16_t> expected = {0x0809, 0x00E1, 0x00C1, 0x00E2, 0x005C, 0x0042, 0x0161, 0x01C0,
                                               0x013D, 0x009C, 0x0019, 0x0012, 0x0013, 0x01AF, 0x01BC, 0x003D,
                                               0x0040, 0x008D, 0x0022, 0x000E, 0x01B7, 0x00DA};
        expected.insert(expected.end(), 5, 0x0031);  // four default fonts and the range's font
        expected.insert(expected.end(), 8, 0x041E);  // the built-in currency formats
        expected.insert(expected.end(), 22, 0x00E0); // 15 style XFs, 6 fixed, XF 21
        expected.insert(expected.end(), 6, 0x0293);
        expected.insert(expected.end(), {0x0160, 0x0085, 0x008C, 0x00FC, 0x00FF, 0x000A});
        QCOMPARE(globals, expected);

        QCOMPARE(first(all, 0x0809).body, hexBytes("0006 0500 BB0D CC07 00000000 00060000"));
        QCOMPARE(first(all, 0x003D).body, hexBytes("6801 1E00 1E1D 6018 3800 0000 0000 0100 5802"));
        const auto xfs = ofType(all, 0x00E0);
        QCOMPARE(xfs[0].body, hexBytes("00 00 00 00 F5 FF 20 00 00 00 00 00 00 00 00 00 00 00 C0 20"));
        QCOMPARE(xfs[1].body, hexBytes("01 00 00 00 F5 FF 20 00 00 F4 00 00 00 00 00 00 00 00 C0 20"));
        QCOMPARE(xfs[3].body, hexBytes("02 00 00 00 F5 FF 20 00 00 F4 00 00 00 00 00 00 00 00 C0 20"));
        QCOMPARE(xfs[14].body, hexBytes("00 00 00 00 F5 FF 20 00 00 F4 00 00 00 00 00 00 00 00 C0 20"));
        QCOMPARE(xfs[15].body, hexBytes("00 00 00 00 01 00 20 00 00 00 00 00 00 00 00 00 00 00 C0 20"));
        QCOMPARE(xfs[16].body, hexBytes("01 00 2C 00 F5 FF 20 00 00 F8 00 00 00 00 00 00 00 00 C0 20"));
        QCOMPARE(xfs[20].body, hexBytes("01 00 29 00 F5 FF 20 00 00 F8 00 00 00 00 00 00 00 00 C0 20"));
        QCOMPARE(xfs[21].body, hexBytes("0500 0000 0100 2000 007C 0000 0000 00000000 0804"));
        const auto fonts = ofType(all, 0x0031);
        // 10 points, colour index 8 (black), weight 100, "Arial" in UTF-16.
        QCOMPARE(fonts[4].body,
                 hexBytes("C800 0000 0800 6400 0000 00 00 01 00 05 01 4100 7200 6900 6100 6C00"));
        QCOMPARE(fonts[0].body, fonts[4].body);
        const auto formats = ofType(all, 0x041E);
        QCOMPARE(le16(formats[0].body, 0), std::uint16_t(5));
        QCOMPARE(utf16At(formats[0].body, 5, le16(formats[0].body, 2)),
                 QStringLiteral("#,##0\"р.\";\\-#,##0\"р.\""));
        QCOMPARE(le16(formats[7].body, 0), std::uint16_t(43));
        QCOMPARE(ofType(all, 0x0293)[0].body, hexBytes("108004FF"));
        QCOMPARE(ofType(all, 0x0293)[2].body, hexBytes("008000FF"));
        QCOMPARE(first(all, 0x008C).body, hexBytes("07000700"));
    }

    void writeAccessHasCountAndOptionByte() {
        TvteXLSWorkbook book;
        book.AddSheet();
        const auto all = biffRecords(streamOf(book));
        const QByteArray body = first(all, 0x005C).body;
        QCOMPARE(body.size(), 112);
        QCOMPARE(body.left(3), hexBytes("0700 01"));
        QCOMPARE(utf16At(body, 3, 7), QStringLiteral("Lumatex"));
        QCOMPARE(body.mid(17), QByteArray(112 - 17, ' '));

        book.setUserName(QString(60, QChar(u'Я')));
        const QByteArray longBody = first(biffRecords(streamOf(book)), 0x005C).body;
        QCOMPARE(longBody.size(), 112);
        QCOMPARE(le16(longBody, 0), std::uint16_t(54));
        QCOMPARE(longBody.right(1), QByteArray(" "));
    }

    void noSharedStringsWithoutTexts() {
        TvteXLSWorkbook book;
        TvteXLSWorksheet& sheet = book.AddSheet();
        sheet.Cells(0, 0).setValue(1.5);
        sheet.Cells(1, 0); // empty text: blank
        const auto all = biffRecords(streamOf(book));
        QVERIFY(ofType(all, 0x00FC).empty());
        QVERIFY(ofType(all, 0x00FF).empty());
        QCOMPARE(ofType(all, 0x0203).size(), std::size_t(1));
    }

    void emptySheetHasNoRows() {
        TvteXLSWorkbook book;
        book.AddSheet();
        const auto sheet = sheetRecords(biffRecords(streamOf(book)), 0);
        const std::vector<std::uint16_t> expected = {0x0809, 0x020B, 0x000D, 0x000C, 0x000F, 0x0011, 0x0010,
                                                     0x005F, 0x002A, 0x002B, 0x0082, 0x0080, 0x0225, 0x0081,
                                                     0x0014, 0x0015, 0x0083, 0x0084, 0x0026, 0x0027, 0x0028,
                                                     0x0029, 0x00A1, 0x0055, 0x0200, 0x023E, 0x001D, 0x000A};
        QCOMPARE(types(sheet), expected);
        QCOMPARE(first(sheet, 0x020B).body, QByteArray(16, '\0'));
        QCOMPARE(first(sheet, 0x0200).body, QByteArray(14, '\0'));
        QCOMPARE(first(sheet, 0x0809).body, hexBytes("0006 1000 BB0D CC07 0000000000000000"));
        QCOMPARE(first(sheet, 0x00A1).body.left(12), hexBytes("0900 6400 0100 0100 0100 0200"));
        QCOMPARE(first(sheet, 0x00A1).body.size(), 34);
        QCOMPARE(leF64(first(sheet, 0x0010).body, 0), 0.001);
        QCOMPARE(leF64(first(sheet, 0x0028).body, 0), 2.5);
        QCOMPARE(first(sheet, 0x0014).body, QByteArray());
        QCOMPARE(first(sheet, 0x001D).body, hexBytes("03 0000 0000 0000 0100 0000 0000 00 00"));
    }

    void headerAndFooterJoinTheirParts() {
        TvteXLSWorkbook book;
        TvteXLSPageSetup& p = book.AddSheet().PageSetup();
        p.LeftHeader = QStringLiteral("Цех");
        p.RightHeader = QStringLiteral("1");
        p.CenterFooter = QStringLiteral("c");
        p.Orientation = 1;
        p.FirstPageNumber = 3;
        const auto sheet = sheetRecords(biffRecords(streamOf(book)), 0);
        const QByteArray header = first(sheet, 0x0014).body;
        QCOMPARE(le16(header, 0), std::uint16_t(8));
        QCOMPARE(utf16At(header, 3, 8), QStringLiteral("&LЦех&R1"));
        QCOMPARE(utf16At(first(sheet, 0x0015).body, 3, 3), QStringLiteral("&Cc"));
        QCOMPARE(le16(first(sheet, 0x00A1).body, 10), std::uint16_t(0x0080));
    }

    void rowsAreGroupedInBlocksOf32() {
        TvteXLSWorkbook book;
        TvteXLSWorksheet& sheet = book.AddSheet();
        for (int row = 0; row <= 32; ++row)
            if (row != 5)
                sheet.Cells(row % 3, row).setValue(row);
        const QByteArray stream = streamOf(book);
        const auto all = biffRecords(stream);
        const auto records = sheetRecords(all, 0);
        QCOMPARE(ofType(records, 0x0208).size(), std::size_t(33));
        const auto dbcells = ofType(records, 0x00D7);
        QCOMPARE(dbcells.size(), std::size_t(2));
        const QByteArray index = first(records, 0x020B).body;
        QCOMPARE(index.size(), 16 + 8);
        QCOMPARE(le32(index, 4), 0u);
        QCOMPARE(le32(index, 8), 33u);
        QCOMPARE(le32(index, 16), std::uint32_t(dbcells[0].offset));
        QCOMPARE(le32(index, 20), std::uint32_t(dbcells[1].offset));
        QCOMPARE(first(records, 0x0200).body, hexBytes("00000000 21000000 0000 0300 0000"));

        // Each DBCELL leads back to its block's first ROW and, row by row, to each row's cells.
        int rowsSeen = 0;
        for (const auto& db : dbcells) {
            const qsizetype firstRow = db.offset - le32(db.body, 0);
            QCOMPARE(le16(stream, firstRow), std::uint16_t(0x0208));
            QCOMPARE(int(le16(stream, firstRow + 4)), rowsSeen);
            const int rowsInBlock = int(db.body.size() - 4) / 2;
            QCOMPARE(rowsInBlock, rowsSeen == 0 ? 32 : 1);
            qsizetype cell = firstRow + 20 + le16(db.body, 4);
            for (int i = 0; i < rowsInBlock; ++i) {
                if (i > 0)
                    cell += le16(db.body, 4 + 2 * i);
                const int row = rowsSeen + i;
                if (row == 5)
                    continue; // no cells: the next offset is 0
                QCOMPARE(le16(stream, cell), std::uint16_t(0x0203));
                QCOMPARE(int(le16(stream, cell + 4)), row);
            }
            rowsSeen += rowsInBlock;
        }
        const auto rows = ofType(records, 0x0208);
        QCOMPARE(rows[5].body, hexBytes("0500 0000 0000 FF00 0000 0000 0000 0000"));
        QCOMPARE(rows[4].body, hexBytes("0400 0100 0200 FF00 0000 0000 0000 0000"));
    }

    void longTextContinuesOnACharacterBoundary() {
        TvteXLSWorkbook book;
        QString text;
        for (int i = 0; i < 5000; ++i)
            text.append(QChar(u'А' + i % 32));
        book.AddSheet().Cells(0, 0).setValue(text);
        const auto all = biffRecords(streamOf(book));
        qsizetype sst = -1;
        for (std::size_t i = 0; i < all.size(); ++i)
            if (all[i].type == 0x00FC)
                sst = qsizetype(i);
        QVERIFY(sst >= 0);
        const QByteArray a = all[std::size_t(sst)].body;
        const QByteArray b = all[std::size_t(sst) + 1].body;
        QCOMPARE(all[std::size_t(sst) + 1].type, std::uint16_t(0x003C));
        QCOMPARE(a.size(), 8223); // 8 + 3 + 4106 characters: the next one would not fit
        QCOMPARE(b.at(0), '\x01');
        QCOMPARE(le16(a, 8), std::uint16_t(5000));
        QCOMPARE(a.at(10), '\x01');
        const int inFirst = 4106;
        QCOMPARE(b.size(), 1 + 2 * (5000 - inFirst));
        QCOMPARE(utf16At(a, 11, inFirst) + utf16At(b, 1, 5000 - inFirst), text);
        QCOMPARE(all[std::size_t(sst) + 2].type, std::uint16_t(0x00FF));
    }

    void stringStartingAContinueHasNoExtraOptionByte() {
        TvteXLSWorkbook book;
        TvteXLSWorksheet& sheet = book.AddSheet();
        // 12 + 8 * 3 + 2 * (7 * 512 + 510) = 8224: four bytes left before string 8.
        for (int i = 0; i < 7; ++i)
            sheet.Cells(i, 0).setValue(QString(512, QChar('a' + i)));
        sheet.Cells(7, 0).setValue(QString(510, QChar('h')));
        sheet.Cells(8, 0).setValue(QStringLiteral("xyz"));
        const QByteArray stream = streamOf(book);
        const auto all = biffRecords(stream);
        const BiffRecord& sst = first(all, 0x00FC);
        QCOMPARE(sst.body.size(), 8220);
        QCOMPARE(le32(sst.body, 0), 9u);
        QCOMPARE(le32(sst.body, 4), 9u);
        const BiffRecord& cont = all[std::size_t(&sst - &all[0]) + 1];
        QCOMPARE(cont.type, std::uint16_t(0x003C));
        QCOMPARE(cont.body, hexBytes("0300 01 7800 7900 7A00"));
        const QByteArray ext = first(all, 0x00FF).body;
        QCOMPARE(ext.size(), 2 + 2 * 8);
        QCOMPARE(le16(ext, 0), std::uint16_t(8));
        QCOMPARE(le32(ext, 2), std::uint32_t(sst.offset + 12));
        QCOMPARE(le16(ext, 6), std::uint16_t(12));
        QCOMPARE(le32(ext, 10), std::uint32_t(cont.offset + 4));
        QCOMPARE(le16(ext, 14), std::uint16_t(4));
    }

    void equalTextsAreNotShared() {
        TvteXLSWorkbook book;
        TvteXLSWorksheet& sheet = book.AddSheet();
        sheet.Cells(0, 0).setValue("abc");
        sheet.Cells(1, 0).setValue(QStringLiteral("abc"));
        const auto all = biffRecords(streamOf(book));
        const QByteArray sst = first(all, 0x00FC).body;
        QCOMPARE(sst, hexBytes("02000000 02000000 0300 01 610062006300 0300 01 610062006300"));
        const auto labels = ofType(all, 0x00FD);
        QCOMPARE(labels.size(), std::size_t(2));
        QCOMPARE(labels[0].body, hexBytes("0000 0000 1500 00000000"));
        QCOMPARE(labels[1].body, hexBytes("0000 0100 1500 01000000"));
    }

    void emptyTextIsABlankWithTheRangeFormat() {
        TvteXLSWorkbook book;
        TvteXLSWorksheet& sheet = book.AddSheet();
        TvteXLSRange& r = sheet.Cells(2, 0);
        r.setValue(QString());
        r.HorizontalAlignment = 3;
        sheet.Cells(3, 0).setValue("x");
        const auto all = biffRecords(streamOf(book));
        QCOMPARE(ofType(all, 0x00FD).size(), std::size_t(1));
        const auto blanks = ofType(all, 0x0201);
        QCOMPARE(blanks.size(), std::size_t(1));
        QCOMPARE(blanks[0].body, hexBytes("0000 0200 1500"));
        QCOMPARE(ofType(all, 0x00E0)[21].body.at(6), char(0x23));
        QCOMPARE(first(all, 0x0208).body.left(6), hexBytes("0000 0200 0400"));
    }

    void mergedRangeOfThreeByTwo() {
        TvteXLSWorkbook book;
        TvteXLSWorksheet& sheet = book.AddSheet();
        sheet.Ranges(1, 1, 3, 2).setValue(42.0);
        const auto all = biffRecords(streamOf(book));
        const auto records = sheetRecords(all, 0);
        std::vector<std::uint16_t> cells;
        for (const auto& r : records)
            if (r.type == 0x0203 || r.type == 0x00BE || r.type == 0x0201)
                cells.push_back(r.type);
        QCOMPARE(cells, (std::vector<std::uint16_t>{0x0203, 0x00BE, 0x00BE}));
        const auto mul = ofType(records, 0x00BE);
        QCOMPARE(mul[0].body, hexBytes("0100 0200 1500 1500 0300"));
        QCOMPARE(mul[1].body, hexBytes("0200 0100 1500 1500 1500 0300"));
        QCOMPARE(le16(ofType(all, 0x00E0)[21].body, 8), std::uint16_t(0x7C20));
        QCOMPARE(first(records, 0x00E5).body, hexBytes("0100 0100 0200 0100 0300"));
        const auto rows = ofType(records, 0x0208);
        QCOMPARE(rows.size(), std::size_t(2));
        QCOMPARE(rows[1].body.left(6), hexBytes("0200 0100 0400"));
    }

    void mergedAreasGo1024ToARecord() {
        TvteXLSWorkbook book;
        TvteXLSWorksheet& sheet = book.AddSheet();
        for (int i = 0; i < 1025; ++i)
            sheet.Ranges(0, 2 * i, 1, 2 * i);
        const auto merged = ofType(sheetRecords(biffRecords(streamOf(book)), 0), 0x00E5);
        QCOMPARE(merged.size(), std::size_t(2));
        QCOMPARE(le16(merged[0].body, 0), std::uint16_t(1024));
        QCOMPARE(merged[0].body.size(), 2 + 1024 * 8);
        QCOMPARE(merged[1].body, hexBytes("0100 0008 0008 0000 0100"));
    }

    void newColourTakesPaletteSlot24() {
        TvteXLSWorkbook book;
        TvteXLSRange& r = book.AddSheet().Cells(0, 0);
        r.Font.Color = 0x00123456; // red 0x56, green 0x34, blue 0x12
        r.Font.Bold = true;
        r.Borders[TvteXLSBorders::Left].LineStyle = 1;
        r.Borders[TvteXLSBorders::Left].Color = 0x000000FF; // red, in the palette
        const auto all = biffRecords(streamOf(book));
        const auto fonts = ofType(all, 0x0031);
        QCOMPARE(le16(fonts[4].body, 4), std::uint16_t(24));
        QCOMPARE(le16(fonts[4].body, 6), std::uint16_t(1000));
        const auto types_ = types(all);
        const auto lastStyle = std::find(types_.rbegin(), types_.rend(), 0x0293);
        QCOMPARE(*(lastStyle.base()), std::uint16_t(0x0092));
        const QByteArray palette = first(all, 0x0092).body;
        QCOMPARE(palette.size(), 2 + 56 * 4);
        QCOMPARE(le16(palette, 0), std::uint16_t(56));
        QCOMPARE(palette.mid(2 + 16 * 4, 4), hexBytes("56341200"));
        QCOMPARE(palette.mid(2, 8), hexBytes("00000000 FFFFFF00"));
        const QByteArray xf = ofType(all, 0x00E0)[21].body;
        QCOMPARE(le16(xf, 10), std::uint16_t(0x0001));
        QCOMPARE(le16(xf, 12), std::uint16_t(10)); // red is index 10
    }

    void blackDefaultsNeedNoPalette() {
        TvteXLSWorkbook book;
        book.AddSheet().Cells(0, 0).setValue(1);
        QVERIFY(ofType(biffRecords(streamOf(book)), 0x0092).empty());
    }

    void firstSheetIsSelected() {
        TvteXLSWorkbook book;
        book.AddSheet().Cells(0, 0).setValue(1);
        book.AddSheet();
        book.AddSheet().Cells(1, 1).setValue("b");
        const QByteArray stream = streamOf(book);
        const auto all = biffRecords(stream);
        const auto windows = ofType(all, 0x023E);
        QCOMPARE(windows.size(), std::size_t(3));
        QCOMPARE(windows[0].body, hexBytes("B606 0000 0000 40000000 0000 0000 00000000"));
        QCOMPARE(le16(windows[1].body, 0), std::uint16_t(0x04B6));
        QCOMPARE(le16(windows[2].body, 0), std::uint16_t(0x04B6));
        QCOMPARE(first(all, 0x013D).body, hexBytes("0100 0200 0300"));
        // Each BOUNDSHEET points at its sheet's BOF.
        const auto sheets = ofType(all, 0x0085);
        QCOMPARE(sheets.size(), std::size_t(3));
        for (int i = 0; i < 3; ++i) {
            const std::uint32_t bof = le32(sheets[std::size_t(i)].body, 0);
            QCOMPARE(le16(stream, bof), std::uint16_t(0x0809));
            QCOMPARE(le16(stream, bof + 6), std::uint16_t(0x0010));
            QCOMPARE(utf16At(sheets[std::size_t(i)].body, 8, 6), QStringLiteral("Sheet%1").arg(i + 1));
        }
    }

    void cyrillicSheetNameOf31Characters() {
        TvteXLSWorkbook book;
        const QString name = QStringLiteral("Кварнел - ЛД5 виброизмерения ЦЕХ").left(31);
        QCOMPARE(name.size(), 31);
        book.AddSheet().setName(name);
        const QByteArray body = first(biffRecords(streamOf(book)), 0x0085).body;
        QCOMPARE(body.size(), 8 + 62);
        QCOMPARE(std::uint8_t(body.at(6)), std::uint8_t(31));
        QCOMPARE(body.at(7), '\x01');
        QCOMPARE(le16(body, 4), std::uint16_t(0));
        QCOMPARE(utf16At(body, 8, 31), name);
    }

    void numberFormatsAreLookedUpIgnoringCase() {
        TvteXLSWorkbook book;
        TvteXLSWorksheet& sheet = book.AddSheet();
        sheet.Cells(0, 0).NumberFormat = QStringLiteral("0.000");
        sheet.Cells(1, 0).NumberFormat = QStringLiteral("#,##0\"Р.\";\\-#,##0\"Р.\"");
        sheet.Cells(2, 0).NumberFormat = QStringLiteral("dd.mm.yyyy");
        sheet.Cells(3, 0).NumberFormat = QStringLiteral("DD.MM.YYYY");
        const auto all = biffRecords(streamOf(book));
        const auto formats = ofType(all, 0x041E);
        QCOMPARE(formats.size(), std::size_t(10));
        QCOMPARE(le16(formats[8].body, 0), std::uint16_t(50));
        QCOMPARE(le16(formats[9].body, 0), std::uint16_t(51));
        const auto xfs = ofType(all, 0x00E0);
        QCOMPARE(le16(xfs[21].body, 2), std::uint16_t(50));
        QCOMPARE(le16(xfs[22].body, 2), std::uint16_t(5));
        QCOMPARE(le16(xfs[23].body, 2), std::uint16_t(51));
        QCOMPARE(xfs.size(), std::size_t(24)); // the fourth cell shares XF 23
    }

    void bordersAndFillPackIntoTheirBits() {
        TvteXLSWorkbook book;
        TvteXLSRange& r = book.AddSheet().Cells(0, 0);
        using B = TvteXLSBorders;
        r.Borders[B::Left].LineStyle = 1;
        r.Borders[B::Right].LineStyle = 2;
        r.Borders[B::Top].LineStyle = 5;
        r.Borders[B::Bottom].LineStyle = 6;
        r.Borders[B::Bottom].Color = 0x00FF0000; // blue, index 12
        r.Borders[B::DiagonalDown].LineStyle = 3;
        r.Borders[B::DiagonalDown].Color = 0x0000FF00; // green, index 11
        r.FillPattern = 1;
        r.FillForeColor = 0x00FFFFFF; // white, index 9
        r.WrapText = true;
        r.VerticalAlignment = 1;
        r.HorizontalAlignment = 2;
        r.Rotation = 90;
        const QByteArray xf = ofType(biffRecords(streamOf(book)), 0x00E0)[21].body;
        QCOMPARE(xf, hexBytes("0500 0000 0100 1A 5A 007C 2165 0844 08C66204 0904"));
    }

    void onePassGivesThePlainBytes_data() {
        QTest::addColumn<int>("seed");
        for (int seed : {1, 7, 42, 2024, 65535})
            QTest::newRow(qPrintable(QString::number(seed))) << seed;
    }
    void onePassGivesThePlainBytes() {
        QFETCH(int, seed);
        QRandomGenerator rnd{quint32(seed)};
        TvteXLSWorkbook book;
        for (int s = 0; s < 2; ++s) {
            TvteXLSWorksheet& sheet = book.AddSheet();
            for (int i = 0; i < 400; ++i) {
                const int left = rnd.bounded(12), top = rnd.bounded(90);
                const int w = rnd.bounded(4) == 0 ? rnd.bounded(4) : 0;
                const int h = rnd.bounded(3) == 0 ? rnd.bounded(40) : 0;
                TvteXLSRange& r = sheet.Ranges(left, top, left + w, top + h);
                switch (rnd.bounded(3)) {
                case 0:
                    r.setValue(double(i) / 8);
                    break;
                case 1:
                    r.setValue(QStringLiteral("т%1").arg(i));
                    break;
                default:
                    break;
                }
            }
        }
        int merged = 0, tall = 0;
        for (int i = 0; i < book.SheetAt(0).RangeCount(); ++i) {
            merged += book.SheetAt(0).RangeAt(i).isMerged();
            tall += book.SheetAt(0).RangeAt(i).Bottom() > book.SheetAt(0).RangeAt(i).Top() + 1;
        }
        QVERIFY(merged > 10);
        QVERIFY(tall > 5);
        const QByteArray plain = streamOf(book, TvteExcelWriter::RowScan::Plain);
        const QByteArray onePass = streamOf(book, TvteExcelWriter::RowScan::OnePass);
        QCOMPARE(onePass.size(), plain.size());
        QVERIFY(onePass == plain);
    }

    void everyRecordFitsItsLimit() {
        TvteXLSWorkbook book;
        TvteXLSWorksheet& sheet = book.AddSheet();
        for (int row = 0; row < 3000; ++row)
            for (int col = 0; col < 3; ++col)
                sheet.Cells(col, row).setValue(QStringLiteral("%1.%2").arg(row).arg(col));
        const auto all = biffRecords(streamOf(book));
        for (const auto& r : all)
            QVERIFY2(r.body.size() <= 8224, qPrintable(QString::number(r.type, 16)));
        // 9000 strings need 1125 buckets: the EXTSST continues in CONTINUE records.
        std::size_t i = std::size_t(&first(all, 0x00FF) - &all[0]);
        qsizetype bytes = all[i].body.size();
        while (all[++i].type == 0x003C)
            bytes += all[i].body.size();
        QCOMPARE(bytes, 2 + 1125 * 8);
    }
};

QTEST_APPLESS_MAIN(TestXlsWriter)
#include "test_xls_writer.moc"
