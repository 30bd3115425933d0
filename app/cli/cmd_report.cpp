#include "app/cli/Cli.h"

#include "core/Error.h"

#include "db/DbfTable.h"
#include "db/MeasurementTable.h"
#include "output/modereports/ModeReports.h"

namespace cli {
namespace {

[[noreturn]] void usage() {
    throw KvError(QStringLiteral(
        "Использование: kvarnel-ld5 report ТАБЛИЦА.dbf --mode N ОТЧЁТ.pdf [--sort ПОЛЕ[:desc]]"));
}

} // namespace

int report(const QStringList& args) {
    const Arguments a = parseArguments(args, {QStringLiteral("--mode"), QStringLiteral("--sort")}, 2, usage);
    if (a.positional.size() != 2 || a.value(QStringLiteral("--mode")).isEmpty())
        usage();
    const int mode = MeasurementTable::parseMode(a.value(QStringLiteral("--mode")));
    // The report is a PDF document, and its name says so: no other extension is given one.
    const QString pdf = a.positional[1];
    if (!pdf.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive))
        throw KvError(QStringLiteral("Отчёт записывается в файл .pdf, а не «%1».").arg(pdf));

    DbfTable dbf1;
    openToRead(dbf1, a.positional[0]);
    dbf1.setFilter(MeasurementTable::modeFilter(mode));
    dbf1.setFiltered(true);
    if (const QString sort = a.value(QStringLiteral("--sort")); !sort.isEmpty()) {
        const MeasurementTable::SortOrder order = MeasurementTable::parseSort(sort, dbf1);
        // Opened read-only, the index is computed in memory and nothing is written beside the table.
        dbf1.addIndex(MeasurementTable::kSortIndex, order.field, order.descending);
        dbf1.selectIndex(MeasurementTable::kSortIndex);
    }
    reports::writeModeReportPdf(dbf1, mode, pdf);
    return 0;
}

} // namespace cli
