// A printed report over 10 000 rows of a table file: preparation and PDF writing times.
#include "db/DbfTable.h"
#include "db/MeasurementTable.h"
#include "output/modereports/ModeReports.h"
#include "report/ReportPrinter.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <cstdio>

namespace {

void fillTable(const QString& path, int rows) {
    MeasurementTable::createFile(path);
    DbfTable t;
    t.open(path, DbfTable::Access::Exclusive);
    for (int i = 1; i <= rows; ++i) {
        t.append();
        t.setValue(QStringLiteral("N"), qint64(i % 10000));
        t.setValue(QStringLiteral("DATE"),
                   QStringLiteral("%1.05.2024").arg(1 + i % 28, 2, 10, QLatin1Char('0')));
        t.setValue(QStringLiteral("TIME"), QStringLiteral("12:%1:%2")
                                               .arg(i / 60 % 60, 2, 10, QLatin1Char('0'))
                                               .arg(i % 60, 2, 10, QLatin1Char('0')));
        t.setValue(QStringLiteral("MODE"), qint64(0));
        t.setValue(QStringLiteral("A"), 1.0 + (i % 997) / 100.0);
        t.setValue(QStringLiteral("F"), 10.0 + (i % 313));
        t.setValue(QStringLiteral("V"), 0.5 + (i % 101) / 10.0);
        t.setValue(QStringLiteral("S"), (i % 89) / 1000.0);
        if (i % 3 == 0)
            t.setValue(QStringLiteral("COMMENT"), QStringLiteral("подшипник насоса, замер %1").arg(i));
        t.post();
    }
    t.close();
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    constexpr int rows = 10000;
    QTemporaryDir dir;
    const QString dbf = dir.filePath(QStringLiteral("bench.dbf"));
    fillTable(dbf, rows);

    DbfTable table;
    MeasurementTable::open(table, dbf, DbfTable::Access::ReadOnly);
    table.setFilter(QStringLiteral("MODE=0"));
    table.setFiltered(true);

    // Once to warm the font caches, as the second report of a session would find them.
    reports::prepareModeReport(table, 0);

    QElapsedTimer timer;
    timer.start();
    const report::PreparedReport prepared = reports::prepareModeReport(table, 0);
    const qint64 prepareMs = timer.elapsed();

    table.addIndex(QStringLiteral("db1"), QStringLiteral("A"), true);
    table.selectIndex(QStringLiteral("db1"));
    timer.restart();
    const report::PreparedReport sorted = reports::prepareModeReport(table, 0);
    const qint64 sortedMs = timer.elapsed();

    const QString pdf = dir.filePath(QStringLiteral("bench.pdf"));
    timer.restart();
    report::writePdf(prepared, pdf);
    const qint64 pdfMs = timer.elapsed();

    timer.restart();
    const QByteArray saved = prepared.serialize();
    const report::PreparedReport back = report::PreparedReport::deserialize(saved);
    const qint64 saveLoadMs = timer.elapsed();

    std::printf("report over %d rows: %d pages\n", rows, prepared.pageCount());
    std::printf("  preparation (frReport1, record order): %lld ms (goal 1500 ms)\n",
                static_cast<long long>(prepareMs));
    std::printf("  preparation (sorted by A, descending): %lld ms\n", static_cast<long long>(sortedMs));
    std::printf("  PDF writing: %lld ms (goal 3000 ms), %lld bytes\n", static_cast<long long>(pdfMs),
                static_cast<long long>(QFileInfo(pdf).size()));
    std::printf("  save + load of the prepared report: %lld ms, %lld bytes\n",
                static_cast<long long>(saveLoadMs), static_cast<long long>(saved.size()));
    return back.pageCount() == prepared.pageCount() && sorted.pageCount() == prepared.pageCount() ? 0 : 1;
}
