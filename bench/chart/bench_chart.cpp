// The chart window over a view of 100 000 records: shown, a zoom step, a PNG of 1600 × 900, and
// the peak memory the chart adds to the open table.
#include "chart/ChartFile.h"
#include "chart/ui/ChartView.h"
#include "chart/ui/ChartWindow.h"
#include "db/DbfTable.h"
#include "db/MeasurementTable.h"

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QWheelEvent>

#include <cmath>
#include <cstdio>

namespace {

void fillTable(const QString& path, int rows) {
    MeasurementTable::createFile(path);
    DbfTable t;
    t.open(path, DbfTable::Access::Exclusive);
    const QDateTime start(QDate(2021, 1, 1), QTime(0, 0), Qt::UTC);
    for (int i = 0; i < rows; ++i) {
        // A record every 20 minutes for almost four years; every 500th without a value.
        const QDateTime at = start.addSecs(qint64(i) * 1200);
        t.append();
        t.setValue(QStringLiteral("N"), qint64(i % 10000));
        t.setValue(QStringLiteral("DATE"), at.toString(QStringLiteral("dd.MM.yyyy")));
        t.setValue(QStringLiteral("TIME"), at.toString(QStringLiteral("hh:mm:ss")));
        t.setValue(QStringLiteral("MODE"), qint64(0));
        const double v = 2.0 + std::sin(i * 0.001) + (i % 97) / 40.0 + (i % 9973 == 0 ? 15 : 0);
        t.setValue(QStringLiteral("F"), 10.0 + (i % 313));
        if (i % 500 != 0) {
            t.setValue(QStringLiteral("V"), v);
            t.setValue(QStringLiteral("V_SR"), v * std::sqrt(2.0) / 2);
            t.setValue(QStringLiteral("A"), v / 5);
            t.setValue(QStringLiteral("A_SR"), v / 5 * std::sqrt(2.0) / 2);
        }
        t.post();
    }
    t.close();
}

// Linux: "5" in clear_refs sets the peak back to what the process holds now, so that the peak
// of writing the table does not hide the chart's.
void resetPeak() {
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly))
        f.write("5");
}

long peakKb() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').front().toLong();
    return -1;
}

double ms(const QElapsedTimer& t) {
    return double(t.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    constexpr int rows = 100000;
    QTemporaryDir dir;
    const QString dbf = dir.filePath(QStringLiteral("bench.dbf"));
    fillTable(dbf, rows);

    DbfTable table;
    MeasurementTable::open(table, dbf, DbfTable::Access::ReadOnly);
    table.setFilter(MeasurementTable::modeFilter(0));
    table.setFiltered(true);
    // Sorted by the value, as a grid may be: the chart still goes in time order.
    table.addIndex(QStringLiteral("db1"), QStringLiteral("V"), true);
    table.selectIndex(QStringLiteral("db1"));
    table.first();
    resetPeak();
    const long before = peakKb();

    QElapsedTimer timer;
    timer.start();
    ChartWindow window(table, nullptr);
    window.resize(1280, 800);
    window.showView(0, QStringLiteral("Оперативный"), chart::ValueForm{true, false});
    window.show();
    window.view()->repaint();
    QCoreApplication::processEvents();
    const double shown = ms(timer);

    ChartView* view = window.view();
    const QPointF centre = view->chart().plotRect(view->area()).center();
    constexpr int steps = 10;
    double worstZoom = 0;
    for (int i = 0; i < steps; ++i) {
        timer.restart();
        QWheelEvent wheel(centre, view->mapToGlobal(centre), QPoint(), QPoint(0, 120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(view, &wheel);
        view->repaint();
        worstZoom = std::max(worstZoom, ms(timer));
    }
    const int visibleAfterZoom = view->chart().visibleCount();
    view->chart().resetRange();
    view->repaint();

    timer.restart();
    chart::saveChart(view->chart(), dir.filePath(QStringLiteral("chart.png")), QSize(1600, 900));
    const double png = ms(timer);
    const long after = peakKb();

    QElapsedTimer read;
    read.start();
    const int seriesSize = chart::buildSeries(table, QStringLiteral("V_SR")).size();
    const double seriesMs = ms(read);

    std::printf("records in the view:           %d (%d with a value)\n", view->chart().series().size(),
                view->chart().series().valueCount());
    std::printf("chart window shown:            %8.1f ms  (goal <= 500 ms)\n", shown);
    std::printf("of it the series read:         %8.1f ms  (%d points, measured again after)\n", seriesMs,
                seriesSize);
    std::printf("zoom step, worst of %d:        %8.1f ms  (goal <= 100 ms; %d records visible after them)\n",
                steps, worstZoom, visibleAfterZoom);
    std::printf("PNG 1600x900 written:          %8.1f ms  (goal <= 1000 ms, %lld bytes)\n", png,
                QFile(dir.filePath(QStringLiteral("chart.png"))).size());
    std::printf("peak memory added by chart:    %8.1f MB  (goal <= 100 MB)\n", (after - before) / 1024.0);
    return 0;
}
