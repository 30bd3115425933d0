#include "grid/ColumnLayoutText.h"

#include <QRandomGenerator>
#include <QtTest>

#include <memory>
#include <vector>

namespace {

std::vector<GridColumn> sampleColumns() {
    std::vector<GridColumn> c;
    c.emplace_back("N", "N", 35, ColumnAlignment::Right);
    c.emplace_back("DATE", "Дата", 63, ColumnAlignment::Center);
    c.emplace_back("A", "Виброускорение\ra, м/кв.с", 148, ColumnAlignment::Right);
    c.emplace_back("A_SR", "Виброускорение\ra, м/кв.с", 34, ColumnAlignment::Right);
    c.emplace_back("COMMENT", "Примечание", 101, ColumnAlignment::Left);
    c[2].displayFormat = "00.000";
    c[3].visible = false;
    c[3].readOnly = false;
    c[0].readOnly = true;
    c[1].sortState = tsSortedDown;
    c[2].color = QColor(0x12, 0x34, 0x56);
    c[4].color = QColor(Qt::red);
    c[4].visualOptions = voWordWrap;
    QFont f(QStringLiteral("Шрифт 'X'"));
    f.setPixelSize(13);
    f.setBold(true);
    f.setItalic(true);
    c[4].font = f;
    c[4].fontColor = QColor(Qt::blue);
    return c;
}

// What a fresh grid looks like before a layout is applied.
std::vector<GridColumn> freshColumns() {
    auto c = sampleColumns();
    for (auto& col : c) {
        col.width = 64;
        col.sortState = tsSortedNone;
        col.color = QColor();
        col.font.reset();
        col.fontColor = QColor();
        col.alignment = ColumnAlignment::Left;
        col.visualOptions = voEndEllipsis | voSortMark;
    }
    return c;
}

void compareStored(const GridColumn& a, const GridColumn& b) {
    QCOMPARE(a.fieldName, b.fieldName);
    QCOMPARE(a.width, b.width);
    QCOMPARE(a.sortState, b.sortState);
    QCOMPARE(a.visualOptions, b.visualOptions);
    QCOMPARE(a.color, b.color);
    QCOMPARE(a.alignment, b.alignment);
    QCOMPARE(a.font.has_value(), b.font.has_value());
    if (a.font) {
        QCOMPARE(a.font->family(), b.font->family());
        QCOMPARE(a.font->pixelSize(), b.font->pixelSize());
        QCOMPARE(a.font->bold(), b.font->bold());
        QCOMPARE(a.font->italic(), b.font->italic());
        QCOMPARE(a.fontColor, b.fontColor);
    }
}

QString validText() {
    return ColumnLayoutText::write(sampleColumns());
}

} // namespace

class TestLayoutText : public QObject {
    Q_OBJECT
private slots:
    void writesComponentStreamingText() {
        std::vector<GridColumn> c;
        c.emplace_back("COMMENT", "Примечание", 101, ColumnAlignment::Left);
        c[0].color = QColor(0x80, 0x00, 0x00);
        c[0].sortState = tsSortedUp;
        std::vector<GridColumn> two = c;
        two.emplace_back("Ж", "x", 7, ColumnAlignment::Center);
        two[1].color = QColor(1, 2, 3);
        const QString expected = QStringLiteral("object TUniDataStorage\r\n"
                                                "  Data = <\r\n"
                                                "    item\r\n"
                                                "      FieldName = 'COMMENT'\r\n"
                                                "      Width = 101\r\n"
                                                "      Alignment = taLeftJustify\r\n"
                                                "      Color = clMaroon\r\n"
                                                "      SortState = tsSortedUp\r\n"
                                                "      VisualOptions = [voEndEllipsis, voSortMark]\r\n"
                                                "    end\r\n"
                                                "    item\r\n"
                                                "      FieldName = #1046\r\n"
                                                "      Width = 7\r\n"
                                                "      Alignment = taCenter\r\n"
                                                "      Color = 197121\r\n"
                                                "      SortState = tsSortedNone\r\n"
                                                "      VisualOptions = [voEndEllipsis, voSortMark]\r\n"
                                                "    end>\r\n"
                                                "end\r\n");
        QCOMPARE(ColumnLayoutText::write(two), expected);
        QCOMPARE(ColumnLayoutText::write({}),
                 QStringLiteral("object TUniDataStorage\r\n  Data = <>\r\nend\r\n"));
    }

    void roundTripsTheStoredProperties() {
        const auto original = sampleColumns();
        auto restored = freshColumns();
        QCOMPARE(ColumnLayoutText::apply(ColumnLayoutText::read(ColumnLayoutText::write(original)), restored),
                 int(original.size()));
        for (size_t i = 0; i < original.size(); ++i)
            compareStored(restored[i], original[i]);
    }

    void leavesTitleVisibilityFormatAndReadOnlyAlone() {
        auto target = freshColumns();
        target[2].title = "own title";
        target[2].displayFormat = "000.0";
        target[2].visible = false;
        target[2].readOnly = true;
        ColumnLayoutText::apply(ColumnLayoutText::read(validText()), target);
        QCOMPARE(target[2].title, QStringLiteral("own title"));
        QCOMPARE(target[2].displayFormat, QStringLiteral("000.0"));
        QCOMPARE(target[2].visible, false);
        QCOMPARE(target[2].readOnly, true);
        QCOMPARE(target[2].width, 148);
    }

    void matchesByFieldNameAndReordersMatchedColumns() {
        const QString text =
            QStringLiteral("object TUniDataStorage\n  Data = <\n"
                           "    item\n      FieldName = 'comment'\n      Width = 11\n    end\n"
                           "    item\n      FieldName = 'NOSUCH'\n      Width = 12\n    end\n"
                           "    item\n      FieldName = 'N'\n      Width = 13\n    end\n"
                           "    item\n      FieldName = 'N'\n      Width = 14\n    end>\nend\n");
        auto cols = freshColumns();
        QCOMPARE(ColumnLayoutText::apply(ColumnLayoutText::read(text), cols), 2);
        // COMMENT and N swap places; DATE, A, A_SR keep theirs.
        QStringList order;
        for (const auto& c : cols)
            order << c.fieldName;
        QCOMPARE(order, QStringList({"COMMENT", "DATE", "A", "A_SR", "N"}));
        QCOMPARE(cols[0].width, 11);
        QCOMPARE(cols[4].width, 13);
        QCOMPARE(cols[4].readOnly, true); // the whole column moved, not only the stored part
        QCOMPARE(cols[1].width, 64);
    }

    void readsDelphiStyleVariants() {
        const QString text = QStringLiteral("object UniDataStorage1: TUniDataStorage\r\n  Data = <\r\n"
                                            "    item\r\n      FieldName = 'CO' +\r\n        'MM'#69'NT'\r\n"
                                            "      Color = $000000FF\r\n      Font.Height = 12\r\n"
                                            "      Font.Name = 'Arial'\r\n      Font.Style = []\r\n"
                                            "      Alignment = TACENTER\r\n"
                                            "    end\r\n  >\r\nend\r\n");
        const auto items = ColumnLayoutText::read(text);
        QCOMPARE(int(items.size()), 1);
        QCOMPARE(items[0].fieldName, QStringLiteral("COMMENT"));
        QCOMPARE(items[0].color, std::optional<QColor>(QColor(Qt::red)));
        QVERIFY(items[0].font.has_value());
        QCOMPARE(items[0].font->family(), QStringLiteral("Arial"));
        QCOMPARE(items[0].font->pixelSize(), 12);
        QCOMPARE(items[0].alignment, std::optional<ColumnAlignment>(ColumnAlignment::Center));
        QVERIFY(!items[0].width.has_value());
    }

    void skipsWhatItCannotParse_data() {
        QTest::addColumn<QString>("line");
        QTest::newRow("width too big") << "Width = 99999999999999999999999";
        QTest::newRow("width beyond int") << "Width = 2147483648";
        QTest::newRow("width negative") << "Width = -5";
        QTest::newRow("width not a number") << "Width = 12abc";
        QTest::newRow("width empty") << "Width =";
        QTest::newRow("unknown alignment") << "Alignment = taSideways";
        QTest::newRow("colour out of range") << "Color = $FFFFFFFFFF";
        QTest::newRow("unknown colour name") << "Color = clPlaid";
        QTest::newRow("sort state garbage") << "SortState = 7";
        QTest::newRow("options without brackets") << "VisualOptions = voWordWrap";
        QTest::newRow("font height huge") << "Font.Height = -2147483649";
        QTest::newRow("font name unterminated") << "Font.Name = 'Arial";
        QTest::newRow("character code too big") << "Font.Name = #99999999999";
        QTest::newRow("character code surrogate") << "Font.Name = #55296";
        QTest::newRow("character code zero") << "Font.Name = 'a'#0'b'";
        QTest::newRow("raw NUL in a string")
            << QStringLiteral("Font.Name = 'a") + QChar(0) + QStringLiteral("b'");
        QTest::newRow("lone surrogate in a string")
            << QStringLiteral("Font.Name = 'a") + QChar(0xD800) + u'\'';
        QTest::newRow("no equals sign") << "Width 40";
        QTest::newRow("binary junk") << QString::fromLatin1("\x01\x02=\xff\xfe");
    }
    void skipsWhatItCannotParse() {
        QFETCH(QString, line);
        const QString text = "object TUniDataStorage\n Data = <\n item\n FieldName = 'A'\n" + line +
                             "\n Width = 77\n end>\nend\n";
        const auto items = ColumnLayoutText::read(text);
        QCOMPARE(int(items.size()), 1);
        QCOMPARE(items[0].fieldName, QStringLiteral("A"));
        QCOMPARE(items[0].width, std::optional<int>(77)); // the good lines around still count
        QVERIFY(!items[0].alignment.has_value());
        QVERIFY(!items[0].color.has_value());
        QVERIFY(!items[0].sortState.has_value());
        QVERIFY(!items[0].visualOptions.has_value());
        QVERIFY(!items[0].font.has_value());
    }

    void dropsItemsWithoutFieldNameOrEnd() {
        const QString text = "object TUniDataStorage\n Data = <\n"
                             " item\n Width = 5\n end\n"             // no field name
                             " item\n FieldName = ''\n end\n"        // empty field name
                             " item\n FieldName = 'A'\n Width = 6\n" // lost its end
                             " item\n FieldName = 'N'\n Width = 7\n end\n"
                             " item\n FieldName = 'DATE'\n Width = 8\n"; // cut off
        const auto items = ColumnLayoutText::read(text);
        QCOMPARE(int(items.size()), 1);
        QCOMPARE(items[0].fieldName, QStringLiteral("N"));
    }

    void survivesEveryTruncation() {
        const QString text = validText();
        const auto full = ColumnLayoutText::read(text);
        QCOMPARE(int(full.size()), 5);
        for (qsizetype n = 0; n <= text.size(); ++n) {
            const auto items = ColumnLayoutText::read(text.left(n));
            QVERIFY(items.size() <= full.size());
            // Whatever survives is a complete item: none carries a value cut short.
            for (size_t i = 0; i < items.size(); ++i) {
                QCOMPARE(items[i].fieldName, full[i].fieldName);
                QCOMPARE(items[i].width, full[i].width);
                QCOMPARE(items[i].font.has_value(), full[i].font.has_value());
            }
        }
    }

    void survivesRandomBytes() {
        QRandomGenerator rng(20240517);
        const QByteArray valid = validText().toUtf8();
        for (int round = 0; round < 3000; ++round) {
            QByteArray bytes;
            if (round % 2 == 0) {
                bytes.resize(rng.bounded(1, 600));
                for (auto& b : bytes)
                    b = char(rng.bounded(256));
            } else {
                bytes = valid;
                for (int k = rng.bounded(1, 20); k > 0; --k)
                    bytes[rng.bounded(int(bytes.size()))] = char(rng.bounded(256));
            }
            auto cols = freshColumns();
            const auto items = ColumnLayoutText::read(QString::fromUtf8(bytes));
            ColumnLayoutText::apply(items, cols);
            QCOMPARE(int(cols.size()), 5);
            for (const auto& c : cols) {
                QVERIFY(c.width >= 0 && c.width <= 10000);
                QVERIFY(int(c.sortState) >= 0 && int(c.sortState) <= 2);
            }
        }
    }

    void boundsHugeInput() {
        QString text = "object TUniDataStorage\n Data = <\n";
        for (int i = 0; i < 6000; ++i)
            text += QStringLiteral(" item\n FieldName = 'F%1'\n end\n").arg(i);
        QCOMPARE(int(ColumnLayoutText::read(text).size()), 4096);
        const QString longLine = "object TUniDataStorage\n Data = <\n item\n FieldName = '" +
                                 QString(100000, u'x') + "'\n end>\nend\n";
        QVERIFY(ColumnLayoutText::read(longLine).empty());
        QString continued = "object TUniDataStorage\n Data = <\n item\n FieldName = 'A' +\n";
        for (int i = 0; i < 20000; ++i)
            continued += "'B' +\n";
        continued += "'C'\n Width = 3\n end>\nend\n";
        QVERIFY(ColumnLayoutText::read(continued).size() <= 1);
    }
};

std::vector<std::unique_ptr<QObject>> makeLayoutTextTests() {
    std::vector<std::unique_ptr<QObject>> v;
    v.push_back(std::make_unique<TestLayoutText>());
    return v;
}

#include "test_layout_text.moc"
