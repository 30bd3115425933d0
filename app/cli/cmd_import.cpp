#include "app/cli/Cli.h"

#include "core/Error.h"
#include "core/FileLayer.h"
#include "db/DbfTable.h"
#include "db/MeasurementTable.h"
#include "image/Importer.h"
#include "image/MemoryImage.h"

#include <QTextStream>

namespace cli {

// kvarnel-ld5 import IMAGE.bin TABLE.dbf [--append]: "Загрузить bin-файл" without the window, or
// with --append, "Дополнить" fed from a .bin instead of a download.
int import(const QStringList& args) {
    bool append = false;
    QStringList files;
    for (const QString& arg : args) {
        if (arg == QLatin1String("--append"))
            append = true;
        else if (arg.startsWith(QLatin1String("--")))
            throw KvError(QStringLiteral("Неизвестный параметр «%1».").arg(arg));
        else
            files << arg;
    }
    if (files.size() != 2)
        throw KvError(QStringLiteral("Использование: kvarnel-ld5 import IMAGE.bin TABLE.dbf [--append]"));

    image::MemoryImage memory;
    memory.loadFile(files[0]);

    DbfTable table;
    image::Importer importer(table);
    image::ImportResult result;
    if (append) {
        try {
            MeasurementTable::open(table, files[1]);
        } catch (const fileio::OpenError& e) {
            // A table another program holds is sound: it is only busy.
            if (e.reason() == fileio::OpenFailure::LockedByOther)
                throw;
            throw KvError(QStringLiteral("База данных повреждена !\n") + e.message());
        } catch (const KvError& e) {
            throw KvError(QStringLiteral("База данных повреждена !\n") + e.message());
        }
        result = importer.append(memory);
    } else {
        result = importer.createTable(files[1], memory);
    }
    table.close();

    if (append)
        QTextStream(stdout) << image::addedMessage(result) << '\n';
    QTextStream err(stderr);
    for (const QString& notice : image::notices(result))
        err << notice << '\n';
    return 0;
}

} // namespace cli
