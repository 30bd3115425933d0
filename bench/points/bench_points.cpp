// The status overview of a plant: 100 000 records over 1 000 points in one table, read and
// computed in this process, then `kvarnel-ld5 status` on the same files; time and peak memory.
#include "db/DbfTable.h"
#include "db/MeasurementTable.h"
#include "points/CatalogueFile.h"
#include "points/CatalogueModel.h"
#include "points/Overview.h"
#include "points/OverviewRows.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cmath>
#include <cstdio>

namespace {

constexpr int kPoints = 1000;
constexpr int kRecords = 100000;

QString pointName(int i) {
    return QStringLiteral("Цех %1/Машина %2/П%3").arg(i / 100 + 1).arg(i / 4 % 25 + 1).arg(i % 4 + 1);
}

void writeCatalogue(const QString& path) {
    points::createCatalogue(path);
    points::CatalogueEditor editor;
    editor.open(path);
    editor.change([](points::CatalogueModel& m) {
        const QStringList classes{"I", "II", "III", "IV", "1r", "1f", "2r", "2f"};
        for (int i = 0; i < kPoints; ++i) {
            points::PointEntry e;
            e.name = pointName(i);
            e.cls = classes[i % classes.size()];
            if (i % 3 == 0)
                e.days = 30;
            m.add(e);
        }
    });
}

// A route of the plant every day: each record a point in turn, with a note and sometimes free text.
void writeTable(const QString& path) {
    MeasurementTable::createFile(path);
    DbfTable t;
    t.open(path, DbfTable::Access::Exclusive);
    const QDateTime start(QDate(2022, 1, 1), QTime(6, 0), Qt::UTC);
    for (int i = 0; i < kRecords; ++i) {
        const QDateTime at = start.addSecs(qint64(i) * 90);
        const int p = i % kPoints;
        t.append();
        t.setValue(QStringLiteral("N"), qint64(i % 10000));
        t.setValue(QStringLiteral("DATE"), at.toString(QStringLiteral("dd.MM.yyyy")));
        t.setValue(QStringLiteral("TIME"), at.toString(QStringLiteral("hh:mm:ss")));
        t.setValue(QStringLiteral("MODE"), qint64(i % 3 == 0 ? 1 : 0));
        const double v = 0.5 + (p % 17) * 0.4 + std::sin(i * 0.01);
        t.setValue(QStringLiteral("V"), v * std::sqrt(2.0));
        t.setValue(QStringLiteral("V_SR"), v);
        QString note = pointName(p);
        if (i % 7 == 0)
            note += QStringLiteral(";после ремонта");
        if (i % 101 == 0)
            note = QStringLiteral("без имени");
        t.setValue(QStringLiteral("COMMENT"), note);
        t.post();
    }
    t.close();
}

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
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString table = dir.filePath(QStringLiteral("route.dbf"));
    const QString catalogue = dir.filePath(QStringLiteral("points.dbf"));
    writeCatalogue(catalogue);
    writeTable(table);

    // The window has its table open already: what the overview adds is the rows and the computation.
    const std::vector<points::PointEntry> entries = points::readCatalogue(catalogue);
    QElapsedTimer timer;
    timer.start();
    DbfTable t;
    MeasurementTable::open(t, table, DbfTable::Access::ReadOnly);
    const double opened = ms(timer);
    resetPeak();
    const long before = peakKb();
    timer.restart();
    std::vector<points::MeasurementRow> rows;
    points::appendRows(t, 0, rows);
    const double read = ms(timer);
    timer.restart();
    points::OverviewOptions options;
    options.today = QDate(2022, 3, 15);
    const points::Overview overview = points::computeOverview(entries, rows, options);
    const double computed = ms(timer);
    const long after = peakKb();
    t.close();
    // A second computation, over two tables that are copies of each other: every record a duplicate.
    std::vector<points::MeasurementRow> twice = rows;
    for (points::MeasurementRow& r : rows)
        r.table = 1;
    twice.insert(twice.end(), rows.begin(), rows.end());
    timer.restart();
    const points::Overview both = points::computeOverview(entries, twice, options);
    const double computedTwice = ms(timer);

    timer.restart();
    QProcess status;
    status.start(QStringLiteral(KV_APP),
                 {QStringLiteral("status"), table, QStringLiteral("--points"), catalogue,
                  QStringLiteral("--today"), QStringLiteral("15.03.2022")});
    status.waitForFinished(60000);
    const double statusMs = ms(timer);
    const QByteArray out = status.readAllStandardOutput();
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);

    int alarms = 0;
    for (const points::PointStatus& p : overview.points)
        alarms += p.state == points::State::Alarm;
    std::printf("catalogue, records:            %zu points, %zu records (%d without a point)\n",
                entries.size(), rows.size(), overview.unassigned);
    std::printf("table opened (read to memory): %8.1f ms\n", opened);
    std::printf("records read from the table:   %8.1f ms\n", read);
    std::printf("overview computed:             %8.1f ms  (%d in alarm, %zu levels)\n", computed, alarms,
                overview.levels.size());
    std::printf("records read and computed:     %8.1f ms  (goal <= 300 ms with the window's showing)\n",
                read + computed);
    std::printf("peak memory added (read+comp): %8.1f MB  (goal <= 50 MB)\n", (after - before) / 1024.0);
    std::printf("overview of two copies:        %8.1f ms  (%d duplicates left out)\n", computedTwice,
                both.duplicates);
    std::printf(
        "kvarnel-ld5 status:            %8.1f ms  (goal <= 1000 ms; exit %d, %lld lines, peak %.1f MB)\n",
        statusMs, status.exitCode(), qlonglong(out.count('\n')), usage.ru_maxrss / 1024.0);
    return 0;
}
