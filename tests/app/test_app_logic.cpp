#include "core/Error.h"
#include "core/FileVersion.h"
#include "db/DbfTable.h"
#include "db/MeasurementTable.h"
#include "db/views/DataFormat.h"
#include "db/views/DbfDataLink.h"
#include "db/views/ViewColumns.h"
#include "ui/Dialogs.h"
#include "ui/ModeViews.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QStringList fields(const std::vector<GridColumn>& columns, bool visible) {
    QStringList names;
    for (const GridColumn& c : columns)
        if (c.visible == visible)
            names << c.fieldName;
    return names;
}

GridColumn& at(std::vector<GridColumn>& columns, const char* field) {
    return columns[std::size_t(ViewColumns::find(columns, QString::fromLatin1(field)))];
}

} // namespace

class TestAppLogic : public QObject {
    Q_OBJECT
private slots:
    void viewsStartWithAmplitudeAndSingleDisplacement_data() {
        QTest::addColumn<int>("page");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QStringList>("hidden");
        QTest::newRow("Оперативный") << 0 << QString("N DATE TIME A F V S COMMENT").split(' ')
                                     << QString("A_SR V_SR S_SR").split(' ');
        QTest::newRow("Ждущий") << 1 << QString("N DATE TIME A F V S TR_F TR_A COMMENT").split(' ')
                                << QString("A_SR V_SR S_SR TR_A_SR").split(' ');
        QTest::newRow("Наблюдения") << 2 << QString("N DATE TIME A F V S T DT COMMENT").split(' ')
                                    << QString("A_SR V_SR S_SR").split(' ');
    }
    void viewsStartWithAmplitudeAndSingleDisplacement() {
        QFETCH(int, page);
        QFETCH(QStringList, shown);
        QFETCH(QStringList, hidden);
        std::vector<GridColumn> columns = ViewColumns::startUpColumns(page);
        QCOMPARE(fields(columns, true), shown);
        QCOMPARE(fields(columns, false), hidden);
        // A partner stands right after its amplitude column, under the same title.
        for (auto [amplitude, partner] :
             {std::pair{"A", "A_SR"}, {"V", "V_SR"}, {"S", "S_SR"}, {"TR_A", "TR_A_SR"}}) {
            const int a = ViewColumns::find(columns, QString::fromLatin1(amplitude));
            if (a < 0)
                continue;
            QCOMPARE(ViewColumns::find(columns, QString::fromLatin1(partner)), a + 1);
            QCOMPARE(columns[std::size_t(a) + 1].title, columns[std::size_t(a)].title);
            QVERIFY(columns[std::size_t(a)].readOnly);
            QVERIFY(!columns[std::size_t(a) + 1].readOnly);
        }
        QCOMPARE(at(columns, "A").title, QStringLiteral("Виброускорение\ra, м/кв.с"));
        QCOMPARE(at(columns, "S").title, QStringLiteral("Виброперемещение\rS, мм"));
        QVERIFY(!at(columns, "COMMENT").readOnly);
        QCOMPARE(at(columns, "COMMENT").maxLength, 50);
        QVERIFY(at(columns, "COMMENT").acceptChar(QChar(u'Ё')));
        QVERIFY(!at(columns, "COMMENT").acceptChar(QChar(u'β')));
        QCOMPARE(at(columns, "F").displayFormat, QStringLiteral("00.000"));
        QCOMPARE(at(columns, "DATE").alignment, ColumnAlignment::Center);
        for (const GridColumn& c : columns)
            QCOMPARE(c.titleAlignment, ColumnAlignment::Center);
    }

    void standbyThresholdsUseTheShortPattern() {
        std::vector<GridColumn> columns = ViewColumns::startUpColumns(1);
        QCOMPARE(at(columns, "TR_F").displayFormat, QStringLiteral("000.0"));
        QCOMPARE(at(columns, "TR_A_SR").displayFormat, QStringLiteral("000.0"));
        QCOMPARE(at(columns, "TR_A").width, 53);
        QCOMPARE(MeasurementTable::modeFilter(1), QStringLiteral("MODE=1"));
    }

    // Every column of the three views as the design gives it: field, title, width, cell
    // alignment, number pattern, editable, shown after start-up.
    void viewsHaveTheDesignedColumns_data() {
        QTest::addColumn<int>("page");
        QTest::addColumn<QStringList>("design");
        const QString a = QStringLiteral("Виброускорение\ra, м/кв.с|");
        const QString f = QStringLiteral("Частота\rf, Гц|");
        const QString v = QStringLiteral("Виброскорость\rV, мм/с|");
        const QString s = QStringLiteral("Виброперемещение\rS, мм|");
        const QString ro = QStringLiteral("|R|00.000|ro|shown");
        const QString rw = QStringLiteral("|R|00.000|edit|hidden");
        QTest::newRow("Оперативный") << 0
                                     << QStringList{"N|N|35|R||ro|shown",
                                                    "DATE|Дата|63|C||ro|shown",
                                                    "TIME|Время|49|C||ro|shown",
                                                    "A|" + a + "148" + ro,
                                                    "A_SR|" + a + "34" + rw,
                                                    "F|" + f + "106" + ro,
                                                    "V|" + v + "102" + ro,
                                                    "V_SR|" + v + "40" + rw,
                                                    "S|" + s + "101" + ro,
                                                    "S_SR|" + s + "42" + rw,
                                                    "COMMENT|Примечание|101|L||edit|shown"};
        QTest::newRow("Ждущий") << 1
                                << QStringList{"N|N|37|R||ro|shown",
                                               "DATE|Дата|69|C||ro|shown",
                                               "TIME|Время|72|C||ro|shown",
                                               "A|" + a + "104" + ro,
                                               "A_SR|" + a + "38" + rw,
                                               "F|" + f + "59" + ro,
                                               "V|" + v + "89" + ro,
                                               "V_SR|" + v + "40" + rw,
                                               "S|" + s + "113" + ro,
                                               "S_SR|" + s + "40" + rw,
                                               "TR_F|Порог f, Гц|55|R|000.0|ro|shown",
                                               "TR_A|Порог a, м/кв. с|53|R|000.0|ro|shown",
                                               "TR_A_SR|Порог a, м/кв. с|42|R|000.0|edit|hidden",
                                               "COMMENT|Примечание|52|L||edit|shown"};
        QTest::newRow("Наблюдения") << 2
                                    << QStringList{"N|N|33|R||ro|shown",
                                                   "DATE|Дата|81|C||ro|shown",
                                                   "TIME|Время|76|C||ro|shown",
                                                   "A|" + a + "69" + ro,
                                                   "A_SR|" + a + "38" + rw,
                                                   "F|" + f + "69" + ro,
                                                   "V|" + v + "69" + ro,
                                                   "V_SR|" + v + "40" + rw,
                                                   "S|" + s + "112" + ro,
                                                   "S_SR|" + s + "40" + rw,
                                                   "T|Длительность, мин.|64|R||ro|shown",
                                                   "DT|Интервал, с|66|R||ro|shown",
                                                   "COMMENT|Примечание|64|L||edit|shown"};
    }
    void viewsHaveTheDesignedColumns() {
        QFETCH(int, page);
        QFETCH(QStringList, design);
        QStringList actual;
        for (const GridColumn& c : ViewColumns::startUpColumns(page)) {
            const char* alignment = c.alignment == ColumnAlignment::Left    ? "L"
                                    : c.alignment == ColumnAlignment::Right ? "R"
                                                                            : "C";
            actual << QStringList{c.fieldName,
                                  c.title,
                                  QString::number(c.width),
                                  QString::fromLatin1(alignment),
                                  c.displayFormat,
                                  c.readOnly ? "ro" : "edit",
                                  c.visible ? "shown" : "hidden"}
                          .join(QLatin1Char('|'));
        }
        QCOMPARE(actual, design);
    }

    void dataFormatSwitchesThePairs_data() {
        QTest::addColumn<int>("page");
        QTest::addColumn<bool>("amplitude");
        QTest::addColumn<bool>("normal");
        QTest::addColumn<QStringList>("hidden");
        QTest::newRow("standby rms") << 1 << false << true << QString("A V TR_A S_SR").split(' ');
        QTest::newRow("standby full") << 1 << true << false << QString("A_SR V_SR S TR_A_SR").split(' ');
        QTest::newRow("operative rms full") << 0 << false << false << QString("A V S").split(' ');
        QTest::newRow("observation unchanged") << 2 << true << true << QString("A_SR V_SR S_SR").split(' ');
    }
    void dataFormatSwitchesThePairs() {
        QFETCH(int, page);
        QFETCH(bool, amplitude);
        QFETCH(bool, normal);
        QFETCH(QStringList, hidden);
        std::vector<GridColumn> columns = ViewColumns::startUpColumns(page);
        const std::vector<GridColumn> before = columns;
        DataFormat::apply(columns, {amplitude, normal}, page);
        QStringList actual = fields(columns, false);
        actual.sort();
        hidden.sort();
        QCOMPARE(actual, hidden);
        QCOMPARE(DataFormat::read(columns), (DataFormat::Choice{amplitude, normal}));
        // What comes into view takes the width of what it replaces.
        for (std::size_t i = 0; i < columns.size(); ++i)
            if (columns[i].visible && !before[i].visible)
                QCOMPARE(columns[i].width, before[i - 1].width);
        // Switching back restores what was shown, at the widths now in use.
        DataFormat::apply(columns, {true, true}, page);
        QCOMPARE(fields(columns, false), fields(before, false));
    }

    void onlyTheAccelerationPairDecides() {
        std::vector<GridColumn> columns = ViewColumns::startUpColumns(1);
        // A velocity pair out of step with A stays as it is: only A / A_SR are looked at.
        at(columns, "V").visible = false;
        at(columns, "V_SR").visible = true;
        DataFormat::apply(columns, {true, true}, 1);
        QVERIFY(!at(columns, "V").visible);
        QVERIFY(at(columns, "V_SR").visible);
        DataFormat::apply(columns, {false, true}, 1);
        QVERIFY(at(columns, "A_SR").visible);
        QVERIFY(at(columns, "V_SR").visible);
        QVERIFY(!at(columns, "V").visible);
        QVERIFY(at(columns, "TR_A_SR").visible);
    }

    void lineEndsBecomeCarriageReturnLineFeed_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("lf") << QStringLiteral("a\nb\n");
        QTest::newRow("crlf") << QStringLiteral("a\r\nb\r\n");
        QTest::newRow("cr") << QStringLiteral("a\rb\r");
        QTest::newRow("mixed") << QStringLiteral("a\r\nb\n");
    }
    void lineEndsBecomeCarriageReturnLineFeed() {
        QFETCH(QString, text);
        QCOMPARE(ModeViews::normaliseLineEnds(text), QStringLiteral("a\r\nb\r\n"));
    }

    void dialogFiltersBecomeQtFilters() {
        QCOMPARE(FileDialog::qtFilters(QStringLiteral("Базы данных|*.dbf")),
                 QStringList{QStringLiteral("Базы данных (*.dbf)")});
        QCOMPARE(FileDialog::qtFilters(QStringLiteral("Книга Excel|*.xls|Все|*.*")),
                 QStringList({QStringLiteral("Книга Excel (*.xls)"), QStringLiteral("Все (*.*)")}));
        QCOMPARE(fileVersionText(""), QStringLiteral("0.0.0.0"));
        QCOMPARE(fileVersionText(nullptr), QStringLiteral("0.0.0.0"));
        QCOMPARE(fileVersionText("1.0.0.9"), QStringLiteral("1.0.0.9"));
    }

    void linkReadsRowsWithoutMovingTheTable() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("t.dbf"));
        MeasurementTable::createFile(path);
        DbfTable table;
        MeasurementTable::open(table, path);
        for (int n = 1; n <= 5; ++n) {
            table.append();
            table.setValue(QStringLiteral("N"), n);
            table.setValue(QStringLiteral("MODE"), n % 2);
            table.setValue(QStringLiteral("A"), n * 1.5);
            table.post();
        }
        DbfDataLink link(table);
        QSignalSpy resets(&link, &GridDataLink::dataReset);
        QSignalSpy changes(&link, &GridDataLink::valuesChanged);
        QVERIFY(link.isActive());
        table.setFilter(QStringLiteral("MODE=1"));
        table.setFiltered(true);
        link.reread();
        QCOMPARE(resets.count(), 1);
        QCOMPARE(link.rowCount(), 3);
        link.setCurrentRow(1);
        const int n = link.fieldIndex(QStringLiteral("n"));
        const int a = link.fieldIndex(QStringLiteral("A"));
        QCOMPARE(link.fieldType(a), GridDataLink::FieldType::Number);
        QCOMPARE(link.fieldType(link.fieldIndex(QStringLiteral("COMMENT"))), GridDataLink::FieldType::Text);
        QCOMPARE(link.value(2, n).toInt(), 5);
        QCOMPARE(link.value(0, n).toInt(), 1);
        QCOMPARE(link.currentRow(), 1);
        QVERIFY(!link.value(7, n).isValid());
        QVERIFY(link.value(0, link.fieldIndex(QStringLiteral("TR_F"))).isNull());

        link.setValue(0, a, QStringLiteral("2,25"));
        QCOMPARE(link.value(0, a).toDouble(), 2.25);
        link.setValue(2, a, QStringLiteral("0.5"));
        QCOMPARE(link.value(2, a).toDouble(), 0.5);
        QCOMPARE(changes.count(), 2);
        QVERIFY_THROWS_EXCEPTION(KvError, link.setValue(1, a, QStringLiteral("два")));
        QCOMPARE(link.value(1, a).toDouble(), 4.5);
        QVERIFY_THROWS_EXCEPTION(
            KvError, link.setValue(1, link.fieldIndex(QStringLiteral("COMMENT")), QStringLiteral("厂")));
        QVERIFY(link.value(1, link.fieldIndex(QStringLiteral("COMMENT"))).isNull());
        QCOMPARE(table.state(), DbfTable::State::Browse);

        link.deleteRow(1);
        link.reread();
        QCOMPARE(link.rowCount(), 2);
        QCOMPARE(link.value(1, n).toInt(), 5);
        table.close();
        QVERIFY(!link.isActive());
        QCOMPARE(link.rowCount(), 0);
        QVERIFY(!link.value(0, n).isValid());
    }
};

QTEST_MAIN(TestAppLogic)
#include "test_app_logic.moc"
