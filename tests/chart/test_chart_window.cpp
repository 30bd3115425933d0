// The chart window of the main window: "График", following the page and the grid, the click that
// finds a row, zoom, the zone settings and saving.
#include "AppFixture.h"
#include "ChartTables.h"

#include "chart/ui/ChartView.h"
#include "chart/ui/ChartWindow.h"
#include "grid/ui/DBGridPro.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>

namespace {

void settle() {
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

ChartWindow* openChart(TForm1& w) {
    control(w, "N40")->trigger();
    settle();
    return w.chartWindow();
}

} // namespace

class TestChartWindow : public QObject {
    Q_OBJECT
private slots:
    void aClickOnAPointSelectsItsRowAndTheCurrentRowIsMarked() {
        AppFixture f;
        auto p = f.start();
        TForm1& w = *p->Form1;
        const QString path = f.dataPath(QStringLiteral("Тренд.dbf"));
        writeChartTable(path, unorderedRows());
        AppFixture::openThroughDialog(w, path);
        settle();
        DBGridPro* g = w.grid(0);
        // A sort of the grid by the value does not reorder the time axis.
        const QHeaderView* header = g->view()->horizontalHeader();
        const int V = g->columnIndex(QStringLiteral("V"));
        QTest::mouseClick(
            header->viewport(), Qt::LeftButton, {},
            QPoint(header->sectionViewportPosition(V) + header->sectionSize(V) / 2, header->height() / 2));
        settle();
        QCOMPARE(w.session().table().currentIndex(), QStringLiteral("db1"));

        ChartWindow* c = openChart(w);
        QVERIFY(c && c->isVisible());
        QVERIFY(c->windowTitle().contains(QStringLiteral("Оперативный")));
        QCOMPARE(c->quantity(), chart::Quantity::Velocity);
        const chart::Series& s = c->view()->chart().series();
        QCOMPARE(s.recNo, (std::vector<int>{3, 1, 6, 4, 8}));

        ChartView* view = c->view();
        const auto at = view->chart().position(4, view->area());
        QVERIFY(at);
        QTest::mouseClick(view, Qt::LeftButton, {}, at->toPoint());
        settle();
        QCOMPARE(w.session().table().recNo(), 8);
        QCOMPARE(g->currentRow(), w.session().table().position());
        QCOMPARE(g->selectedRows(), std::vector<int>{g->currentRow()});
        QCOMPARE(view->chart().marked(), 4);

        // The grid's current row is marked on the chart.
        w.session().table().goToRecNo(1);
        const int row = w.session().table().position();
        g->setCurrentCell(row == 0 ? 1 : 0, 0);
        g->setCurrentCell(row, 0);
        settle();
        QCOMPARE(view->chart().marked(), 1);

        // The window follows the page shown.
        w.views().PageControl1->setCurrentIndex(1);
        settle();
        QVERIFY(c->windowTitle().contains(QStringLiteral("Ждущий")));
        QCOMPARE(c->view()->chart().series().recNo, (std::vector<int>{2, 7}));
        QCOMPARE(c->findChild<QComboBox*>(QStringLiteral("QuantityBox"))->count(), 6);

        // Closing the table takes the chart away.
        control(w, "N16")->trigger();
        settle();
        QVERIFY(!c->isVisible());
    }

    void zonesFollowTheClassAndAreRemembered() {
        AppFixture f;
        auto p = f.start();
        TForm1& w = *p->Form1;
        const QString path = f.dataPath(QStringLiteral("Тренд.dbf"));
        writeChartTable(path, unorderedRows());
        AppFixture::openThroughDialog(w, path);
        ChartWindow* c = openChart(w);
        QVERIFY(c);
        auto* zones = c->findChild<QCheckBox*>(QStringLiteral("ZonesBox"));
        auto* cls = c->findChild<QComboBox*>(QStringLiteral("ClassBox"));
        QVERIFY(!zones->isChecked()); // off by default
        zones->setChecked(true);
        cls->setCurrentIndex(cls->findData(QStringLiteral("IV")));
        // Amplitude values: zones judge RMS only, so none are drawn and the window says why.
        QVERIFY(!c->view()->chart().zones());
        QVERIFY(c->findChild<QLabel*>(QStringLiteral("StatusLabel"))->text().contains(QStringLiteral("СКЗ")));

        c->showView(0, QStringLiteral("Оперативный"), chart::ValueForm{true, false});
        QCOMPARE(c->view()->chart().series().field, QStringLiteral("V_SR"));
        QVERIFY(c->view()->chart().zones());
        // V_SR of the mode-0 records: 0.71, 1.41, (none), 2.83, 7.92 against 2.8 / 7.1 / 18.
        const chart::ZoneCounts& counts = c->view()->chart().zoneCounts();
        QCOMPARE(counts.count, (std::array<int, 4>{2, 1, 1, 0}));
        QCOMPARE(counts.last, int(chart::ZoneC));

        QCOMPARE(storedValue(ChartWindow::settingZones()).toBool(), true);
        QCOMPARE(storedValue(ChartWindow::settingClass()).toString(), QStringLiteral("IV"));
        cls->setCurrentIndex(cls->findData(QStringLiteral("custom")));
        c->findChild<QDoubleSpinBox*>(QStringLiteral("LimitCD"))->setValue(9.5);
        QCOMPARE(c->view()->chart().zones()->cd, 9.5);
        ChartWindow again(w.session().table(), nullptr);
        QVERIFY(again.findChild<QCheckBox*>(QStringLiteral("ZonesBox"))->isChecked());
        QCOMPARE(again.findChild<QComboBox*>(QStringLiteral("ClassBox"))->currentData().toString(),
                 QStringLiteral("custom"));
        QCOMPARE(again.findChild<QDoubleSpinBox*>(QStringLiteral("LimitCD"))->value(), 9.5);
    }

    void wheelZoomsResetShowsAllAndSaveWritesThePicture() {
        AppFixture f;
        auto p = f.start();
        TForm1& w = *p->Form1;
        const QString path = f.dataPath(QStringLiteral("Тренд.dbf"));
        writeChartTable(path, unorderedRows());
        AppFixture::openThroughDialog(w, path);
        ChartWindow* c = openChart(w);
        QVERIFY(c);
        ChartView* view = c->view();
        const QPointF centre = view->chart().plotRect(view->area()).center();
        QWheelEvent wheel(centre, view->mapToGlobal(centre), QPoint(), QPoint(0, 120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(view, &wheel);
        QVERIFY(view->chart().zoomed());
        const auto full = view->chart().fullRange();
        QVERIFY(std::abs((view->chart().range().x1 - view->chart().range().x0) -
                         ChartView::kWheelStep * (full.x1 - full.x0)) < 1);
        c->findChild<QPushButton*>(QStringLiteral("ResetButton"))->click();
        QVERIFY(!view->chart().zoomed());

        const QString png = f.dataPath(QStringLiteral("тренд.png"));
        c->askSavePath = [&](QWidget*, const QString& suggested) {
            return suggested.endsWith(QStringLiteral("Тренд.png")) ? png : QString();
        };
        QString error;
        c->showError = [&](const QString& message) { error = message; };
        c->findChild<QPushButton*>(QStringLiteral("SaveButton"))->click();
        QCOMPARE(error, QString());
        QCOMPARE(QImage(png).size(), QSize(1600, 900));

        // "Печать" draws one page on the printer the dialog chose; here a PDF file stands for it.
        const QString printed = f.dataPath(QStringLiteral("печать.pdf"));
        c->askPrinter = [&](QPrinter& printer, QWidget*) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(printed);
            return true;
        };
        c->findChild<QPushButton*>(QStringLiteral("PrintButton"))->click();
        QCOMPARE(error, QString());
        QProcess pdfinfo;
        pdfinfo.start(QStringLiteral("pdfinfo"), {printed});
        QVERIFY(pdfinfo.waitForFinished(30000));
        QVERIFY(QString::fromUtf8(pdfinfo.readAllStandardOutput())
                    .contains(QRegularExpression(QStringLiteral("Pages:\\s+1\\n"))));

        c->askSavePath = [&](QWidget*, const QString&) { return f.dataPath(QStringLiteral("тренд.gif")); };
        c->save();
        QVERIFY(error.contains(QStringLiteral("PNG")));
        QVERIFY(!QFile::exists(f.dataPath(QStringLiteral("тренд.gif"))));
    }
};

QTEST_MAIN(TestChartWindow)
#include "test_chart_window.moc"
