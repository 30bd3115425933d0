#include "core/Error.h"
#include "output/xls/TvteXLSWorkbook.h"

#include <QtTest>

Q_DECLARE_METATYPE(TvteXLSValue)

class TestXlsModel : public QObject {
    Q_OBJECT
private slots:
    void sameRectangleReturnsTheSameRange() {
        TvteXLSWorkbook book;
        TvteXLSWorksheet& sheet = book.AddSheet();
        TvteXLSRange& a = sheet.Ranges(1, 2, 3, 4);
        a.setValue(std::int32_t(7));
        TvteXLSRange& b = sheet.Ranges(1, 2, 3, 4);
        QCOMPARE(&a, &b);
        QCOMPARE(b.Value().toNumber(), 7.0);
        QCOMPARE(sheet.RangeCount(), 1);
    }

    void cellInsideMergedRangeDestroysIt() {
        TvteXLSWorkbook book;
        TvteXLSWorksheet& sheet = book.AddSheet();
        TvteXLSRange& merged = sheet.Ranges(0, 0, 2, 1);
        merged.setValue(QStringLiteral("x"));
        merged.HorizontalAlignment = 2;
        TvteXLSRange& cell = sheet.Cells(1, 1);
        QCOMPARE(sheet.RangeCount(), 1);
        QCOMPARE(&sheet.RangeAt(0), &cell);
        QVERIFY(cell.Value().isEmpty());
        QCOMPARE(cell.HorizontalAlignment, std::uint8_t(0));
        QCOMPARE(sheet.MaxRangeHeight(), 1);
    }

    void overlapRemovesEveryRangeItTouches() {
        TvteXLSWorkbook book;
        TvteXLSWorksheet& sheet = book.AddSheet();
        sheet.Ranges(0, 0, 0, 4); // 5 rows high
        sheet.Ranges(2, 3, 3, 3);
        sheet.Cells(5, 3);        // untouched
        sheet.Ranges(0, 3, 2, 3); // meets both of the first two
        QCOMPARE(sheet.RangeCount(), 2);
        QCOMPARE(sheet.MaxRangeHeight(), 1);
        QCOMPARE(sheet.RangeAt(0).Left(), 5);
        QCOMPARE(sheet.RangeAt(1).Left(), 0);
        // The used area keeps what the removed ranges covered.
        QCOMPARE(sheet.FirstRow(), 0);
        QCOMPARE(sheet.LastRow(), 4);
        QCOMPARE(sheet.LastCol(), 5);
    }

    void rangesStayOrderedByTopThenCreation() {
        TvteXLSWorkbook book;
        TvteXLSWorksheet& sheet = book.AddSheet();
        sheet.Cells(3, 5);
        sheet.Cells(1, 5);
        sheet.Cells(0, 2);
        sheet.Ranges(4, 0, 4, 9); // tall, found by later lookups
        sheet.Cells(2, 5);
        sheet.Cells(9, 9);
        QList<QPair<int, int>> order;
        for (int i = 0; i < sheet.RangeCount(); ++i)
            order.append({sheet.RangeAt(i).Top(), sheet.RangeAt(i).Left()});
        const QList<QPair<int, int>> expected = {{0, 4}, {2, 0}, {5, 3}, {5, 1}, {5, 2}, {9, 9}};
        QCOMPARE(order, expected);
        QCOMPARE(sheet.MaxRangeHeight(), 10);
        // A cell inside the tall range, many rows below its top, still finds and removes it.
        sheet.Cells(4, 8);
        QCOMPARE(sheet.RangeCount(), 6);
        QCOMPARE(sheet.MaxRangeHeight(), 1);
    }

    void lookupsFarBackInALongListFindTheirPlace() {
        TvteXLSWorkbook book;
        TvteXLSWorksheet& sheet = book.AddSheet();
        for (int row = 0; row < 6; ++row)
            for (int col = 0; col < 10; ++col)
                sheet.Cells(col, row).setValue(row * 10 + col);
        TvteXLSRange& existing = sheet.RangeAt(13);
        QCOMPARE(&sheet.Cells(3, 1), &existing);
        TvteXLSRange& added = sheet.Cells(20, 2);
        QCOMPARE(&sheet.RangeAt(30), &added);
        QCOMPARE(sheet.RangeAt(31).Top(), 3);
        sheet.Ranges(5, 4, 5, 5); // replaces (5,4) and (5,5)
        QCOMPARE(sheet.RangeCount(), 60);
        // After the rest of row 4, before row 5.
        QCOMPARE(sheet.RangeAt(49).Left(), 9);
        QCOMPARE(sheet.RangeAt(50).Bottom(), 5);
        QCOMPARE(sheet.RangeAt(50).Left(), 5);
        QCOMPARE(sheet.RangeAt(51).Top(), 5);
        QCOMPARE(sheet.RangeAt(51).Left(), 0);
        QCOMPARE(sheet.Cells(5, 4).Left(), 5); // and the merged range goes again
        QCOMPARE(sheet.RangeCount(), 60);
        QCOMPARE(sheet.MaxRangeHeight(), 1);
    }

    void usedAreaStartsUnsetAndOnlyGrows() {
        TvteXLSWorkbook book;
        TvteXLSWorksheet& sheet = book.AddSheet();
        QCOMPARE(sheet.FirstRow(), -1);
        QCOMPARE(sheet.LastRow(), -1);
        QCOMPARE(sheet.FirstCol(), -1);
        QCOMPARE(sheet.LastCol(), -1);
        QCOMPARE(sheet.MaxRangeHeight(), 0);
        sheet.Ranges(2, 3, 4, 5);
        sheet.Cells(3, 4);
        QCOMPARE(sheet.FirstCol(), 2);
        QCOMPARE(sheet.FirstRow(), 3);
        QCOMPARE(sheet.LastCol(), 4);
        QCOMPARE(sheet.LastRow(), 5);
    }

    void namesAreCutThenTrimmed_data() {
        QTest::addColumn<QString>("given");
        QTest::addColumn<QString>("sheet");
        QTest::newRow("export without firmware date")
            << QStringLiteral("Кварнел - ЛД5 ") << QStringLiteral("Кварнел - ЛД5");
        QTest::newRow("with firmware date")
            << QStringLiteral("Кварнел - ЛД5 12.03.09") << QStringLiteral("Кварнел - ЛД5 12.03.09");
        QTest::newRow("longer than 31") << QString(40, QChar(u'Ж')) << QString(31, QChar(u'Ж'));
        QTest::newRow("blank at the cut")
            << QString(30, QChar('a')) + QStringLiteral("  bc") << QString(30, QChar('a'));
        QTest::newRow("control characters") << QStringLiteral("\t\x01 name\r\n") << QStringLiteral("name");
        // What Excel refuses in a sheet name becomes "_"; a name it takes stays as it is.
        QTest::newRow("characters Excel refuses") << QStringLiteral("Кварнел - ЛД5 1/2\\3?4*5[6]7:8")
                                                  << QStringLiteral("Кварнел - ЛД5 1_2_3_4_5_6_7_8");
        QTest::newRow("apostrophes at the ends") << QStringLiteral("'цех 1'") << QStringLiteral("_цех 1_");
        QTest::newRow("apostrophe inside") << QStringLiteral("цех 'Б' №1, (a+b)=c; !@#$%^&")
                                           << QStringLiteral("цех 'Б' №1, (a+b)=c; !@#$%^&");
        QTest::newRow("apostrophe at the cut") << QString(30, QChar('a')) + QStringLiteral("'b")
                                               << QString(30, QChar('a')) + QStringLiteral("_");
        QTest::newRow("Excel's own name") << QStringLiteral("history") << QStringLiteral("history_");
        QTest::newRow("a longer name with it") << QStringLiteral("History 2") << QStringLiteral("History 2");
    }
    void namesAreCutThenTrimmed() {
        QFETCH(QString, given);
        QFETCH(QString, sheet);
        TvteXLSWorkbook book;
        TvteXLSWorksheet& s = book.AddSheet();
        s.setName(given);
        QCOMPARE(s.Name(), sheet);
    }

    void userNameKeeps66Characters() {
        TvteXLSWorkbook book;
        QCOMPARE(book.UserName(), QStringLiteral("Lumatex"));
        book.setUserName(QString(65, QChar('u')) + QStringLiteral(" tail"));
        QCOMPARE(book.UserName(), QString(65, QChar('u')));
    }

    void sheetsAreNamedByTheirCount() {
        TvteXLSWorkbook book;
        TvteXLSWorksheet& a = book.AddSheet();
        TvteXLSWorksheet& b = book.AddSheet();
        QCOMPARE(a.Name(), QStringLiteral("Sheet1"));
        QCOMPARE(b.Name(), QStringLiteral("Sheet2"));
        QCOMPARE(b.IndexInWorkbook(), 1);
        QCOMPARE(book.SheetCount(), 2);
        TvteXLSWorksheet loose(nullptr);
        QCOMPARE(loose.IndexInWorkbook(), -1);
        book.Clear();
        QCOMPARE(book.SheetCount(), 0);
    }

    void textValuesGetSingleLineFeeds_data() {
        QTest::addColumn<TvteXLSValue>("given");
        QTest::addColumn<QByteArray>("stored");
        QTest::newRow("CR LF, wide") << TvteXLSValue(QStringLiteral("а\r\nб")) << QByteArray("\xE0\n\xE1");
        QTest::newRow("CR LF, 8-bit") << TvteXLSValue("a\r\nb\r\n") << QByteArray("a\nb\n");
        QTest::newRow("lone CR") << TvteXLSValue("a\rb") << QByteArray("a\rb");
        QTest::newRow("lone LF") << TvteXLSValue("a\nb") << QByteArray("a\nb");
        QTest::newRow("LF CR") << TvteXLSValue("a\n\rb") << QByteArray("a\n\rb");
    }
    void textValuesGetSingleLineFeeds() {
        QFETCH(TvteXLSValue, given);
        QFETCH(QByteArray, stored);
        TvteXLSWorkbook book;
        TvteXLSRange& r = book.AddSheet().Cells(0, 0);
        r.setValue(given);
        QVERIFY(std::holds_alternative<QByteArray>(r.Value().storage()));
        QCOMPARE(r.Value().toText8(), stored);
    }

    void cellKindFollowsTheValueKind_data() {
        QTest::addColumn<TvteXLSValue>("value");
        QTest::addColumn<bool>("number");
        QTest::addColumn<double>("asNumber");
        QTest::addColumn<QByteArray>("asText");
        QTest::newRow("int32") << TvteXLSValue(std::int32_t(-12)) << true << -12.0 << QByteArray("-12");
        QTest::newRow("int16") << TvteXLSValue(std::int16_t(9999)) << true << 9999.0 << QByteArray("9999");
        QTest::newRow("uint8") << TvteXLSValue(std::uint8_t(200)) << true << 200.0 << QByteArray("200");
        QTest::newRow("double") << TvteXLSValue(0.125) << true << 0.125 << QByteArray("0.125");
        QTest::newRow("float") << TvteXLSValue(2.5f) << true << 2.5 << QByteArray("2.5");
        QTest::newRow("currency") << TvteXLSValue(TvteXLSCurrency{12345}) << true << 1.2345
                                  << QByteArray("1.2345");
        QTest::newRow("digits as text") << TvteXLSValue("123") << false << 0.0 << QByteArray("123");
        QTest::newRow("boolean") << TvteXLSValue(true) << false << 0.0 << QByteArray("True");
        QTest::newRow("int64 is another kind")
            << TvteXLSValue(std::int64_t(1) << 40) << false << 0.0 << QByteArray("1099511627776");
        QTest::newRow("empty") << TvteXLSValue() << false << 0.0 << QByteArray();
    }
    void cellKindFollowsTheValueKind() {
        QFETCH(TvteXLSValue, value);
        QFETCH(bool, number);
        QFETCH(double, asNumber);
        QFETCH(QByteArray, asText);
        QCOMPARE(value.isNumber(), number);
        if (number)
            QCOMPARE(value.toNumber(), asNumber);
        else
            QCOMPARE(value.toText8(), asText);
    }

    // The bytes come from the code page's published table, not from the program's codec.
    void wideTextIsStoredAsWindows1251() {
        QString text;
        QByteArray bytes;
        for (char16_t c = u'А'; c <= u'я'; ++c) {
            text.append(QChar(c));
            bytes.append(char(0xC0 + (c - u'А')));
        }
        text += QStringLiteral("ёЁ№«»—–€\u00A0\u00B0\u00B1\u00A7 abc~\x01");
        bytes += QByteArray("\xB8\xA8\xB9\xAB\xBB\x97\x96\x88\xA0\xB0\xB1\xA7 abc~\x01");
        TvteXLSWorkbook book;
        TvteXLSRange& r = book.AddSheet().Cells(0, 0);
        r.setValue(text);
        QCOMPARE(r.Value().toText8(), bytes);
    }

    void refusesTextOutsideTheCodePage_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("chinese") << QStringLiteral("厂");
        QTest::newRow("after code page text") << QStringLiteral("ab厂");
        QTest::newRow("replacement character") << QStringLiteral("\uFFFD");
    }
    void refusesTextOutsideTheCodePage() {
        QFETCH(QString, text);
        TvteXLSWorkbook book;
        TvteXLSRange& r = book.AddSheet().Cells(0, 0);
        QVERIFY_THROWS_EXCEPTION(KvError, r.setValue(text));
        QVERIFY(r.Value().isEmpty());
    }

    void defaultsOfARange() {
        TvteXLSWorkbook book;
        TvteXLSRange& r = book.AddSheet().Cells(0, 0);
        QCOMPARE(r.Font.Name, QStringLiteral("Arial"));
        QCOMPARE(r.Font.Size, 10);
        QCOMPARE(r.Font.Color, TvteXLSColor(0));
        QCOMPARE(r.Font.Charset, std::uint8_t(1));
        QCOMPARE(r.VerticalAlignment, std::uint8_t(2));
        QCOMPARE(r.HorizontalAlignment, std::uint8_t(0));
        for (const TvteXLSBorder& b : r.Borders.items)
            QVERIFY(!b.drawn());
        const TvteXLSPageSetup& p = r.worksheet()->PageSetup();
        QCOMPARE(p.PaperSize, std::uint8_t(9));
        QCOMPARE(p.TopMargin, 2.5);
        QCOMPARE(p.LeftMargin, 2.0);
        QCOMPARE(p.Zoom, 100);
        QCOMPARE(p.FirstPageNumber, 1);
        QCOMPARE(p.Copies, 0);
    }
};

QTEST_APPLESS_MAIN(TestXlsModel)
#include "test_xls_model.moc"
