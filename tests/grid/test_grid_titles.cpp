#include "GridFixture.h"

#include "grid/ui/GridHeader.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QLineEdit>
#include <QSignalSpy>

// Titles that fit, the sort mark's direction, and what an open editor does around the grid.
class TestGridTitles : public QObject {
    Q_OBJECT

    static GridHeader* header(GridFixture& f) {
        return static_cast<GridHeader*>(f.view()->horizontalHeader());
    }
    static QLineEdit* editor(GridFixture& f) {
        return qobject_cast<QLineEdit*>(f.view()->indexWidget(f.view()->currentIndex()));
    }
    static bool startEdit(GridFixture& f, int row, int column) {
        f.grid->setCurrentCell(row, column);
        QTest::keyClick(f.view(), Qt::Key_F2);
        return f.grid->isEditing() && editor(f) != nullptr;
    }

private slots:
    void aNarrowTitleIsCutAtItsEndAndShownWholeAsTooltip() {
        GridFixture f;
        f.grid->resize(420, 300);
        QVERIFY(f.show());
        GridHeader* h = header(f);
        const int a = f.col("A");
        const QString whole = QStringLiteral("Виброускорение\na, м/кв.с");
        const QStringList lines = h->shownTitle(a).split(u'\n');
        QCOMPARE(lines.size(), 2);
        QVERIFY2(lines[0].endsWith(u'…') && lines[0].size() > 2, qPrintable(lines[0]));
        QVERIFY(whole.startsWith(lines[0].chopped(1)));
        for (const QString& line : lines)
            QVERIFY(h->fontMetrics().horizontalAdvance(line) <= h->sectionSize(a));
        QCOMPARE(h->toolTipFor(a), whole);

        // Wide enough: drawn whole, no tooltip.
        f.grid->resize(2400, 300);
        QCoreApplication::processEvents();
        QCOMPARE(h->shownTitle(a), whole);
        QVERIFY(h->toolTipFor(a).isEmpty());
    }

    // The mark of the descending state points down: its widest row of ink is its top one.
    void theDescendingMarkPointsDown_data() {
        QTest::addColumn<int>("descending");
        QTest::addColumn<int>("state");
        QTest::addColumn<bool>("down");
        QTest::newRow("up is descending, up drawn") << int(tsSortedUp) << int(tsSortedUp) << true;
        QTest::newRow("up is descending, down drawn") << int(tsSortedUp) << int(tsSortedDown) << false;
        QTest::newRow("default, down drawn") << int(tsSortedDown) << int(tsSortedDown) << true;
    }
    void theDescendingMarkPointsDown() {
        QFETCH(int, descending);
        QFETCH(int, state);
        QFETCH(bool, down);
        GridFixture f;
        QVERIFY(f.show());
        f.grid->setDescendingSortState(TitleState(descending));
        QHeaderView* h = f.view()->horizontalHeader();
        const int F = f.col("F");
        const QRect r(h->sectionViewportPosition(F) + h->sectionSize(F) - 16, 0, 16, h->height());
        const QImage none = h->viewport()->grab(r).toImage();
        f.grid->setSortState(F, TitleState(state));
        const QImage marked = h->viewport()->grab(r).toImage();
        int first = -1, widest = -1, widestCount = 0, last = -1;
        for (int y = 0; y < marked.height(); ++y) {
            int count = 0;
            for (int x = 0; x < marked.width(); ++x)
                count += marked.pixel(x, y) != none.pixel(x, y);
            if (count == 0)
                continue;
            if (first < 0)
                first = y;
            last = y;
            if (count > widestCount) {
                widestCount = count;
                widest = y;
            }
        }
        QVERIFY(first >= 0 && last > first);
        QCOMPARE(widest - first < last - widest, down);
    }

    void tabInAnEditorPostsAndMovesWithoutEditing() {
        GridFixture f;
        QVERIFY(f.show());
        const int ssr = f.col("S_SR"), note = f.col("COMMENT");
        f.grid->setColumnVisible(ssr, true);
        QSignalSpy starts(f.grid.get(), &DBGridPro::initEdit);
        QVERIFY(startEdit(f, 1, ssr));
        editor(f)->setText(QStringLiteral("0.25"));
        QTest::keyClick(editor(f), Qt::Key_Tab);
        QVERIFY(!f.grid->isEditing());
        QCOMPARE(starts.count(), 1);
        QCOMPARE(f.grid->currentColumn(), note);
        QCOMPARE(f.link->rows[1][std::size_t(ssr)].toDouble(), 0.25);
        QVERIFY(startEdit(f, 1, note));
        QTest::keyClick(editor(f), Qt::Key_Backtab);
        QVERIFY(!f.grid->isEditing());
        QCOMPARE(f.grid->currentColumn(), ssr);
        QCOMPARE(starts.count(), 2);
    }

    void lineBreaksAndTabsBecomeSingleSpaces_data() {
        QTest::addColumn<QString>("pasted");
        QTest::addColumn<QString>("stored");
        QTest::newRow("CR LF and tab") << "ab\r\ncd\tef"
                                       << "ab cd ef";
        QTest::newRow("runs") << "a\n\n\tb"
                              << "a b";
        QTest::newRow("at the ends") << "\tx\r"
                                     << " x ";
        QTest::newRow("unicode separators") << QStringLiteral("p\u2028q\u2029r") << "p q r";
    }
    void lineBreaksAndTabsBecomeSingleSpaces() {
        QFETCH(QString, pasted);
        QFETCH(QString, stored);
        GridFixture f;
        QVERIFY(f.show());
        const int note = f.col("COMMENT");
        QVERIFY(startEdit(f, 0, note));
        editor(f)->clear();
        QApplication::clipboard()->setText(pasted);
        editor(f)->paste();
        QCOMPARE(editor(f)->text(), stored);
        QVERIFY(f.grid->finishEdit());
        QCOMPARE(f.link->rows[0][std::size_t(note)].toString(), stored);
        // A value set through the model is cleaned the same way.
        QAbstractItemModel* m = f.view()->model();
        QVERIFY(m->setData(m->index(1, note), pasted, Qt::EditRole));
        QCOMPARE(f.link->rows[1][std::size_t(note)].toString(), stored);
    }
};

std::vector<std::unique_ptr<QObject>> makeGridTitleTests() {
    std::vector<std::unique_ptr<QObject>> v;
    v.push_back(std::make_unique<TestGridTitles>());
    return v;
}

#include "test_grid_titles.moc"
