#include "ui/TForm1.h"

#include "chart/ui/ChartWindow.h"
#include "core/Error.h"
#include "db/MeasurementTable.h"
#include "db/views/DataFormat.h"
#include "db/views/ViewColumns.h"
#include "grid/ui/DBGridPro.h"
#include "ui/ModeViews.h"

#include <QItemSelectionModel>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>

namespace {

chart::ValueForm valueForm(const DBGridPro& grid) {
    std::vector<GridColumn> columns;
    for (int i = 0; i < grid.columnCount(); ++i)
        columns.push_back(grid.column(i));
    const DataFormat::Choice choice = DataFormat::read(columns);
    return chart::ValueForm{!choice.amplitude, !choice.normal};
}

} // namespace

void TForm1::N40Click() {
    if (!TableOpen())
        return;
    if (!m_chart) {
        m_chart = new ChartWindow(Dbf1, this);
        m_chart->showError = [this](const QString& message) { dispatch([&] { throw KvError(message); }); };
        connect(m_chart, &ChartWindow::recordClicked, this,
                [this](int recNo) { dispatch([this, recNo] { selectRecord(recNo); }); });
        connect(PageControl1, &QTabWidget::currentChanged, this, [this] { followChart(); });
        // The table changed wholesale (a sort, a deletion, a new table): read it again once the
        // grids have caught up.
        connect(&m_views->dataLink(), &GridDataLink::dataReset, this, [this] {
            if (m_chartPending || !m_chart || !m_chart->isVisible())
                return;
            m_chartPending = true;
            QTimer::singleShot(0, this, [this] {
                m_chartPending = false;
                dispatch([this] { followChart(); });
            });
        });
        connect(&m_views->dataLink(), &GridDataLink::valuesChanged, this, [this] {
            if (m_chart && m_chart->isVisible())
                dispatch([this] { m_chart->refresh(); });
        });
        for (int page = 0; page < MeasurementTable::kModeCount; ++page)
            connect(grid(page)->view()->selectionModel(), &QItemSelectionModel::currentChanged, this,
                    [this] { markChartRecord(); });
    }
    m_chart->show();
    followChart();
    m_chart->raise();
    m_chart->activateWindow();
}

void TForm1::followChart() {
    if (!m_chart || !m_chart->isVisible() || !TableOpen())
        return;
    const int page = activePage();
    m_chart->showView(page, ViewColumns::pageCaption(page), valueForm(*grid(page)));
    markChartRecord();
}

void TForm1::markChartRecord() {
    if (!m_chart || !m_chart->isVisible())
        return;
    const DBGridPro* g = activeGrid();
    m_chart->markRecord(g->currentRow() >= 0 && Dbf1.isOpen() ? Dbf1.recNo() : 0);
}

void TForm1::selectRecord(int recNo) {
    if (!Dbf1.isOpen() || !Dbf1.goToRecNo(recNo))
        return;
    DBGridPro* g = activeGrid();
    const int row = Dbf1.position();
    g->setCurrentCell(row, std::max(0, g->currentColumn()));
    g->selectRows({row});
    g->view()->scrollTo(g->view()->model()->index(row, std::max(0, g->currentColumn())));
    markChartRecord();
}
