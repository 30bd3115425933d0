#include "app/cli/Cli.h"

#include "core/Error.h"
#include "core/FileLayer.h"
#include "db/DbfTable.h"
#include "db/MeasurementTable.h"

#include <QDir>
#include <QFileInfo>

namespace cli {
namespace {

[[noreturn]] void usage() {
    throw KvError(
        QStringLiteral("Использование: kvarnel-ld5 index ТАБЛИЦА.dbf ПОЛЕ[:desc] | --drop [--repair]"));
}

} // namespace

// Makes or removes the sort index "db1" as a title click and "Убрать сортировку" do.
int index(const QStringList& args) {
    QStringList rest = args;
    const bool drop = rest.removeAll(QStringLiteral("--drop")) == 1;
    const bool repair = rest.removeAll(QStringLiteral("--repair")) == 1;
    const Arguments a = parseArguments(rest, {}, 2, usage);
    if (a.positional.size() != (drop ? 1 : 2))
        usage();

    DbfTable table;
    openToChange(table, a.positional[0], repair, false);
    // Another program's index file is never written or removed, so there is nothing to do here.
    if (table.indexFileIsForeign())
        throw KvError(QStringLiteral("Файл индексов «%1» принадлежит другой программе и оставлен как был.")
                          .arg(table.indexFileName()));
    // A folder or a pipe with the index file's name is never written or removed either.
    fileio::requireFileOrNothing(QFileInfo(a.positional[0]).absoluteDir().filePath(table.indexFileName()));
    if (drop) {
        if (!table.indexNames().empty() || table.indexFileIsDamaged()) {
            table.selectIndex(QString());
            table.deleteIndex(MeasurementTable::kSortIndex);
        }
    } else {
        const MeasurementTable::SortOrder order = MeasurementTable::parseSort(a.positional[1], table);
        table.addIndex(MeasurementTable::kSortIndex, order.field, order.descending);
        table.selectIndex(MeasurementTable::kSortIndex);
        table.regenerateIndexes();
    }
    tellNotices({table.takeIndexNotice()});
    table.close();
    return 0;
}

} // namespace cli
