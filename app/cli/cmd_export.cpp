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
    const Arguments a =
        parseArguments(args, {QStringLiteral("--mode"), QStringLiteral("--firmware-date")}, 2, usage);
    if (a.positional.size() != 2 || a.value(QStringLiteral("--mode")).isEmpty())
        usage();
    const int mode = MeasurementTable::parseMode(a.value(QStringLiteral("--mode")));
    const QString out = a.positional[1];

    DbfTable dbf;
    openToRead(dbf, a.positional[0]);
    dbf.selectIndex(QString());
    dbf.setFilter(MeasurementTable::modeFilter(mode));
    dbf.setFiltered(true);
    excel_export::exportView(dbf, mode, a.value(QStringLiteral("--firmware-date")), out);
    QTextStream(stdout) << excel_export::successMessage(out) << '\n';
    return 0;
}

} // namespace cli
