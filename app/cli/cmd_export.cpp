#include "app/cli/Cli.h"

#include "core/Error.h"
#include "db/DbfTable.h"
#include "db/MeasurementTable.h"
#include "output/export/ExcelExport.h"

#include <QTextStream>

namespace cli {
namespace {

[[noreturn]] void usage() {
    throw KvError(QStringLiteral(
        "Использование: kvarnel-ld5 export ТАБЛИЦА.dbf --mode N ФАЙЛ.xls [--firmware-date ТЕКСТ]"));
}

} // namespace

// The export of the window for one mode view, in natural record order (the window clears the
// sort of its views before it exports).
int exportXls(const QStringList& args) {
    QString table, out, mode, firmwareDate;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("--mode") && i + 1 < args.size())
            mode = args[++i];
        else if (a == QLatin1String("--firmware-date") && i + 1 < args.size())
            firmwareDate = args[++i];
        else if (a.startsWith(QLatin1String("--")))
            usage();
        else if (table.isEmpty())
            table = a;
        else if (out.isEmpty())
            out = a;
        else
            usage();
    }
    if (table.isEmpty() || out.isEmpty() || mode.isEmpty())
        usage();
    bool ok = false;
    const int modeNumber = mode.toInt(&ok);
    if (!ok || modeNumber < 0 || modeNumber > 2)
        throw KvError(QStringLiteral("Режим должен быть 0, 1 или 2, а не «%1».").arg(mode));

    DbfTable dbf;
    MeasurementTable::open(dbf, table, DbfTable::Access::ReadOnly);
    dbf.selectIndex(QString());
    dbf.setFilter(QStringLiteral("MODE=%1").arg(modeNumber));
    dbf.setFiltered(true);
    excel_export::exportView(dbf, modeNumber, firmwareDate, out);
    QTextStream(stdout) << excel_export::successMessage(out) << '\n';
    return 0;
}

} // namespace cli
