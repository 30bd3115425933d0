#include "app/cli/Cli.h"

#include "core/Error.h"
#include "core/FileLayer.h"
#include "db/DbfTable.h"
#include "db/MeasurementTable.h"
#include "image/Importer.h"
#include "image/MemoryImage.h"

#include <QTextStream>

namespace cli {

// kvarnel-ld5 import IMAGE.bin TABLE.dbf [--append [--repair]]: "Загрузить bin-файл" without the
// window, or with --append, "Дополнить" fed from a .bin instead of a download; --repair first puts
// right a table shorter than its header counts, as "Сохранить" does.
int import(const QStringList& args) {
    bool append = false;
    bool repair = false;
    QStringList files;
    for (const QString& arg : args) {
        if (arg == QLatin1String("--append"))
            append = true;
        else if (arg == QLatin1String("--repair"))
            repair = true;
        else if (arg.startsWith(QLatin1String("--")))
            throw KvError(QStringLiteral("Неизвестный параметр «%1».").arg(arg));
        else
            files << arg;
    }
    if (files.size() != 2 || (repair && !append))
        throw KvError(
            QStringLiteral("Использование: kvarnel-ld5 import IMAGE.bin TABLE.dbf [--append [--repair]]"));

    image::MemoryImage memory;
    memory.loadFile(files[0]);

    DbfTable table;
    image::Importer importer(table);
    image::ImportResult result;
    QString indexNotice;
    if (append) {
        openToChange(table, files[1], repair, true);
        result = importer.append(memory);
        indexNotice = table.takeIndexNotice();
    } else {
        result = importer.createTable(files[1], memory);
    }
    table.close();

    if (append)
        QTextStream(stdout) << image::addedMessage(result) << '\n';
    QTextStream err(stderr);
    for (const QString& notice : image::notices(result))
        err << notice << '\n';
    if (!indexNotice.isEmpty())
        err << indexNotice << '\n';
    return 0;
}

} // namespace cli
