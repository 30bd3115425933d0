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
    QString table, pdf, mode, sort;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("--mode") && i + 1 < args.size() && mode.isEmpty())
            mode = args[++i];
        else if (a == QLatin1String("--sort") && i + 1 < args.size() && sort.isEmpty())
            sort = args[++i];
        else if (a.startsWith(QLatin1String("--")))
            usage();
        else if (table.isEmpty())
            table = a;
        else if (pdf.isEmpty())
            pdf = a;
        else
            usage();
    }
    if (table.isEmpty() || pdf.isEmpty() || mode.isEmpty())
        usage();
    bool ok = false;
    const int modeNumber = mode.toInt(&ok);
    if (!ok || modeNumber < 0 || modeNumber > 2)
        throw KvError(QStringLiteral("Режим «%1» неизвестен: режимы 0, 1 и 2.").arg(mode));

    DbfTable dbf1;
    MeasurementTable::open(dbf1, table, DbfTable::Access::ReadOnly);
    dbf1.setFilter(QStringLiteral("MODE=%1").arg(modeNumber));
    dbf1.setFiltered(true);
    if (!sort.isEmpty()) {
        QString field = sort;
        bool descending = false;
        if (field.endsWith(QLatin1String(":desc"), Qt::CaseInsensitive)) {
            field.chop(5);
            descending = true;
        } else if (field.endsWith(QLatin1String(":asc"), Qt::CaseInsensitive)) {
            field.chop(4);
        }
        if (dbf1.fieldIndex(field) < 0)
            throw KvError(QStringLiteral("В таблице нет поля «%1» для сортировки.").arg(field));
        // Opened read-only, the index is computed in memory and nothing is written beside the table.
        dbf1.addIndex(QStringLiteral("db1"), field.toUpper(), descending);
        dbf1.selectIndex(QStringLiteral("db1"));
    }
    reports::writeModeReportPdf(dbf1, modeNumber, pdf);
    return 0;
}

} // namespace cli
