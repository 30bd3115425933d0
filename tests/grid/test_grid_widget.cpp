#include "GridFixture.h"

#include <QApplication>
#include <QHeaderView>
#include <QLocale>
#include <QMouseEvent>
#include <QSignalSpy>

#include <numeric>

class TestGridWidget : public QObject {
    Q_OBJECT

    static QPoint titleCenter(QHeaderView* h, int section) {
        return QPoint(h->sectionViewportPosition(section) + h->sectionSize(section) / 2, h->height() / 2);
    }
    static void clickTitle(GridFixture& f, int section, Qt::KeyboardModifiers m = Qt::NoModifier) {
        QHeaderView* h = f.view()->horizontalHeader();
        QTest::mouseClick(h->viewport(), Qt::LeftButton, m, titleCenter(h, section));
    }
    static void clickRow(GridFixture& f, int row, Qt::KeyboardModifiers m) {
        const QRect r = f.view()->visualRect(f.view()->model()->index(row, f.col("DATE")));
        QTest::mouseClick(f.view()->viewport(), Qt::LeftButton, m, r.center());
    }
    static QString states(const DBGridPro& g) {
        QString s;
        for (const auto& c : g.columns())
            s += c.sortState == tsSortedUp ? u'u' : c.sortState == tsSortedDown ? u'd' : u'-';
        return s;
    }

private slots:
    void titleClicksFollowTheRuleAndReportEachChangeOnce() {
        GridFixture f;
        QVERIFY(f.show());
        QSignalSpy spy(f.grid.get(), &DBGridPro::titleStateChange);
        const int F = f.col("F"), N = f.col("N");

        clickTitle(f, F);
        QCOMPARE(f.grid->column(F).sortState, tsSortedUp);
        clickTitle(f, F);
        QCOMPARE(f.grid->column(F).sortState, tsSortedDown);
        clickTitle(f, F);
        QCOMPARE(f.grid->column(F).sortState, tsSortedUp);
        QCOMPARE(spy.count(), 3);
        for (const auto& args : spy)
            QCOMPARE(args.at(0).toInt(), F);

        clickTitle(f, N);
        QCOMPARE(states(*f.grid), QStringLiteral("u----------"));
        QCOMPARE(spy.count(), 4);
        QCOMPARE(spy.last().at(0).toInt(), N);

        clickTitle(f, N, Qt::ControlModifier);
        QCOMPARE(states(*f.grid), QStringLiteral("-----------"));
        QCOMPARE(spy.count(), 5);
        clickTitle(f, N, Qt::ControlModifier); // already none: nothing changes, nothing reported
        QCOMPARE(spy.count(), 5);

        // Pressed on one title, released on another: no click.
        QHeaderView* h = f.view()->horizontalHeader();
        QTest::mousePress(h->viewport(), Qt::LeftButton, {}, titleCenter(h, f.col("A")));
        QTest::mouseRelease(h->viewport(), Qt::LeftButton, {}, titleCenter(h, F));
        QCOMPARE(spy.count(), 5);
        QCOMPARE(states(*f.grid), QStringLiteral("-----------"));
    }

    void programSortStatesAreNotReported() {
        GridFixture f;
        QSignalSpy spy(f.grid.get(), &DBGridPro::titleStateChange);
        f.grid->setSortState(f.col("F"), tsSortedDown);
        QCOMPARE(f.grid->column(f.col("F")).sortState, tsSortedDown);
        f.grid->clearSortStates();
        QCOMPARE(states(*f.grid), QStringLiteral("-----------"));
        QCOMPARE(spy.count(), 0);
    }

    void sortMarkIsDrawnInTheTitle() {
        GridFixture f;
        QVERIFY(f.show());
        QHeaderView* h = f.view()->horizontalHeader();
        const int F = f.col("F");
        const QRect r(h->sectionViewportPosition(F), 0, h->sectionSize(F), h->height());
        auto shot = [&] { return h->viewport()->grab(r).toImage(); };
        const QImage none = shot();
        f.grid->setSortState(F, tsSortedUp);
        const QImage up = shot();
        f.grid->setSortState(F, tsSortedDown);
        const QImage down = shot();
        QVERIFY(none != up);
        QVERIFY(up != down);
        QVERIFY(none != down);
        // Without the voSortMark option the title looks unsorted.
        GridColumn c = f.grid->column(F);
        c.visualOptions = voEndEllipsis;
        f.grid->setColumn(F, c);
        QCOMPARE(shot(), none);
    }

    void deletesTheSelectedRowsFromLastToFirst() {
        GridFixture f;
        QVERIFY(f.show());
        clickRow(f, 1, Qt::NoModifier);
        clickRow(f, 4, Qt::ControlModifier);
        clickRow(f, 3, Qt::ControlModifier);
        QCOMPARE(f.grid->selectedRows(), (std::vector<int>{1, 3, 4}));
        QCOMPARE(f.grid->deleteSelected(), 3);
        QCOMPARE(f.link->deletedRows, (std::vector<int>{4, 3, 1}));
        QCOMPARE(f.link->deletedIds, (std::vector<QVariant>{qint64(5), qint64(4), qint64(2)}));
        QCOMPARE(f.grid->rowCount(), 7);
        QVERIFY(f.view()->selectionModel()->selectedRows().isEmpty());
        QVERIFY(f.view()->updatesEnabled());
    }

    void deletesTheCurrentRowWhenNothingIsSelected() {
        GridFixture f;
        f.grid->setCurrentCell(2, f.col("A"));
        f.grid->clearSelection();
        QCOMPARE(f.grid->selectedRows(), std::vector<int>{2});
        QCOMPARE(f.grid->deleteSelected(), 1);
        QCOMPARE(f.link->deletedIds, std::vector<QVariant>{qint64(3)});

        GridFixture empty(0);
        QVERIFY(empty.grid->selectedRows().empty());
        QCOMPARE(empty.grid->deleteSelected(), 0);
        QVERIFY(empty.link->deletedRows.empty());
    }

    void fittingFillsTheWidthInProportion() {
        GridFixture f;
        QVERIFY(f.show());
        const int available = f.view()->viewport()->width();
        int sum = 0;
        for (int i = 0; i < f.grid->columnCount(); ++i)
            sum += f.grid->displayedWidth(i);
        QCOMPARE(sum, available);
        QCOMPARE(f.grid->displayedWidth(f.col("A_SR")), 0);
        // A is 148 against N's 35 in design.
        const double ratio = double(f.grid->displayedWidth(f.col("A"))) / f.grid->displayedWidth(f.col("N"));
        QVERIFY2(std::abs(ratio - 148.0 / 35.0) < 0.1, qPrintable(QString::number(ratio)));
        QCOMPARE(f.grid->column(f.col("A")).width, 148); // design width untouched

        f.grid->setAutoFit(false);
        QCOMPARE(f.grid->displayedWidth(f.col("A")), 148);
        QCOMPARE(f.grid->displayedWidth(f.col("N")), 35);

        // Hiding and showing a column keeps its width (the data-format switch relies on it).
        for (bool fit : {false, true}) {
            f.grid->setAutoFit(fit);
            f.grid->setColumnVisible(f.col("A"), false);
            QCOMPARE(f.grid->column(f.col("A")).width, 148);
            f.grid->setColumnVisible(f.col("A"), true);
            QCOMPARE(f.grid->column(f.col("A")).width, 148);
        }
    }

    void equalWidthsStayEqualAfterFitting() {
        // align_columns on a 900-pixel grid of 13 columns, 3 hidden: 69 each, then fitted.
        GridFixture f;
        auto cols = GridFixture::columns();
        cols.insert(cols.end() - 1, GridColumn("T", "Длительность, мин.", 64, ColumnAlignment::Right));
        cols.insert(cols.end() - 1, GridColumn("DT", "Интервал, с", 66, ColumnAlignment::Right));
        QCOMPARE(int(cols.size()), 13);
        f.grid->setColumns(cols);
        QVERIFY(f.show());
        QCOMPARE(f.grid->width(), 900);
        f.grid->setAutoFit(false);
        const int w = 900 / f.grid->columnCount();
        QCOMPARE(w, 69);
        for (int i = 0; i < f.grid->columnCount(); ++i)
            f.grid->setColumnWidth(i, w);
        f.grid->setAutoFit(true);
        std::vector<int> shown;
        for (int i = 0; i < f.grid->columnCount(); ++i) {
            QCOMPARE(f.grid->column(i).width, 69);
            if (f.grid->column(i).visible)
                shown.push_back(f.grid->displayedWidth(i));
        }
        QCOMPARE(int(shown.size()), 10);
        const auto [lo, hi] = std::minmax_element(shown.begin(), shown.end());
        QVERIFY(*hi - *lo <= 1);
        QCOMPARE(std::accumulate(shown.begin(), shown.end(), 0), f.view()->viewport()->width());
    }

    void userResizedColumnKeepsItsWidth() {
        GridFixture f;
        QVERIFY(f.show());
        const int A = f.col("A");
        f.view()->horizontalHeader()->resizeSection(A, 250); // what a drag of the title edge does
        QCOMPARE(f.grid->displayedWidth(A), 250);
        QCOMPARE(f.grid->column(A).width, 250);
        int sum = 0;
        for (int i = 0; i < f.grid->columnCount(); ++i)
            sum += f.grid->displayedWidth(i);
        QCOMPARE(sum, f.view()->viewport()->width());
    }

    void draggingATitleEdgeResizesWithoutSorting() {
        GridFixture f;
        QVERIFY(f.show());
        QSignalSpy spy(f.grid.get(), &DBGridPro::titleStateChange);
        QHeaderView* h = f.view()->horizontalHeader();
        const int A = f.col("A");
        const int before = f.grid->displayedWidth(A);
        const int edge = h->sectionViewportPosition(A) + h->sectionSize(A) - 1;
        const int y = h->height() / 2;
        QTest::mousePress(h->viewport(), Qt::LeftButton, {}, QPoint(edge, y));
        for (int dx = 5; dx <= 60; dx += 5) {
            QMouseEvent move(QEvent::MouseMove, QPointF(edge + dx, y),
                             h->viewport()->mapToGlobal(QPointF(edge + dx, y)), Qt::NoButton, Qt::LeftButton,
                             Qt::NoModifier);
            QApplication::sendEvent(h->viewport(), &move);
        }
        QTest::mouseRelease(h->viewport(), Qt::LeftButton, {}, QPoint(edge + 60, y));
        QCOMPARE(f.grid->displayedWidth(A), before + 60);
        QCOMPARE(f.grid->column(A).width, before + 60);
        QCOMPARE(spy.count(), 0);
        int sum = 0;
        for (int i = 0; i < f.grid->columnCount(); ++i)
            sum += f.grid->displayedWidth(i);
        QCOMPARE(sum, f.view()->viewport()->width());
    }

    void cellsShowPatternsColoursAndEmptyValues() {
        const QLocale saved;
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        GridFixture f;
        auto* m = f.view()->model();
        const QString a = m->index(0, f.col("A_SR")).data().toString();
        const QString n = m->index(0, f.col("N")).data().toString();
        const QString note = m->index(3, f.col("COMMENT")).data().toString();
        QLocale::setDefault(saved);
        QCOMPARE(a, QStringLiteral("01,414"));
        QCOMPARE(n, QStringLiteral("1"));
        QCOMPARE(note, QString());
        QCOMPARE(m->headerData(f.col("F"), Qt::Horizontal).toString(), QStringLiteral("Частота\nf, Гц"));

        f.grid->setColumnColor(f.col("COMMENT"), QColor(Qt::yellow));
        f.grid->setColumnColor(f.col("S_SR"), QColor(Qt::green));
        QCOMPARE(m->index(5, f.col("COMMENT")).data(Qt::BackgroundRole).value<QColor>(), QColor(Qt::yellow));
        QVERIFY(!m->index(5, f.col("N")).data(Qt::BackgroundRole).isValid());
        f.grid->clearColors();
        QVERIFY(!f.grid->column(f.col("COMMENT")).color.isValid());
        QVERIFY(!f.grid->column(f.col("S_SR")).color.isValid());
    }

    void rereadKeepsThePosition() {
        GridFixture f;
        QVERIFY(f.show());
        f.grid->setCurrentCell(5, f.col("COMMENT"));
        QCOMPARE(f.link->current, 5);
        f.grid->reread();
        QCOMPARE(f.link->rereads, 1);
        QCOMPARE(f.grid->currentRow(), 5);
        QCOMPARE(f.grid->currentColumn(), f.col("COMMENT"));

        // Rows behind the cursor gone: the nearest row that is left.
        f.link->rows.resize(3);
        f.grid->reread();
        QCOMPARE(f.grid->currentRow(), 2);
        QCOMPARE(f.grid->rowCount(), 3);
    }

    void followsTheLinkAfterAReset() {
        GridFixture f;
        f.link->current = 7;
        emit f.link->dataReset();
        QCOMPARE(f.grid->currentRow(), 7);
        f.link->active = false;
        emit f.link->dataReset();
        QCOMPARE(f.grid->rowCount(), 0);
        QCOMPARE(f.grid->currentRow(), -1);
        QVERIFY(f.grid->currentColumn() >= 0); // a current column even without rows
    }

    void asksOnlyForTheCellsItPaints() {
        GridFixture f(100000);
        QVERIFY(f.show());
        QCOMPARE(f.grid->rowCount(), 100000);
        f.link->valueCalls = 0;
        f.view()->scrollToBottom();
        f.grid->setCurrentCell(99999, f.col("A"));
        f.view()->viewport()->grab();
        QVERIFY(f.link->valueCalls > 0);
        QVERIFY2(f.link->valueCalls < 5000, qPrintable(QString::number(f.link->valueCalls)));
    }

    void unreadableCellsPaintEmpty() {
        GridFixture f;
        QVERIFY(f.show());
        f.link->failReads = true;
        f.view()->viewport()->grab();
        QCOMPARE(f.view()->model()->index(0, f.col("N")).data().toString(), QString());
        f.link->failReads = false;
        QCOMPARE(f.view()->model()->index(0, f.col("N")).data().toString(), QStringLiteral("1"));
    }

    void storedLayoutComesBack() {
        GridFixture a;
        a.grid->setColumnColor(a.col("COMMENT"), QColor(0x11, 0x22, 0x33));
        a.grid->setColumnWidth(a.col("F"), 77);
        a.grid->setSortState(a.col("DATE"), tsSortedDown);
        const QString text = a.grid->layoutText();

        GridFixture b;
        QCOMPARE(b.grid->applyLayoutText(text), b.grid->columnCount());
        QCOMPARE(b.grid->column(b.col("COMMENT")).color, QColor(0x11, 0x22, 0x33));
        QCOMPARE(b.grid->column(b.col("F")).width, 77);
        QCOMPARE(b.grid->column(b.col("DATE")).sortState, tsSortedDown);
        QCOMPARE(b.grid->column(b.col("A_SR")).visible, false);

        // Garbage changes nothing and never throws.
        const auto before = b.grid->layoutText();
        QCOMPARE(b.grid->applyLayoutText(QString::fromLatin1("\xff\xfe object <<<< item end > end")), 0);
        QCOMPARE(b.grid->layoutText(), before);

        // Two sorted columns in a text: with noMultiTitleStates only the first stays marked.
        QString two = text;
        two.replace(
            QStringLiteral("FieldName = 'N'\r\n      Width = 35\r\n      Alignment = taRightJustify\r\n"
                           "      Color = clDefault\r\n      SortState = tsSortedNone"),
            QStringLiteral("FieldName = 'N'\r\n      Width = 35\r\n      Alignment = taRightJustify\r\n"
                           "      Color = clDefault\r\n      SortState = tsSortedUp"));
        QVERIFY(two != text);
        GridFixture c;
        c.grid->applyLayoutText(two);
        QCOMPARE(states(*c.grid), QStringLiteral("u----------"));
    }
};

std::vector<std::unique_ptr<QObject>> makeGridWidgetTests() {
    std::vector<std::unique_ptr<QObject>> v;
    v.push_back(std::make_unique<TestGridWidget>());
    return v;
}

#include "test_grid_widget.moc"
