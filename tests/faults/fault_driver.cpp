// The table operations the command line lacks, for the fault tests to interrupt:
//   kv_fault_driver delete-pack TABLE.dbf STEP   deletes every STEP-th record, then packs
//   kv_fault_driver pack TABLE.dbf               packs away the records marked deleted
// Prints the error message and exits 1 on failure, as the command line does.
#include "core/Error.h"
#include "db/DbfTable.h"
#include "db/MeasurementTable.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    const bool deletePack = args.size() == 3 && args[0] == QLatin1String("delete-pack");
    const bool pack = args.size() == 2 && args[0] == QLatin1String("pack");
    if (!deletePack && !pack) {
        QTextStream(stderr) << "usage: kv_fault_driver delete-pack TABLE.dbf STEP | pack TABLE.dbf\n";
        return 2;
    }
    try {
        DbfTable table;
        MeasurementTable::open(table, args[1]);
        if (deletePack) {
            const int step = std::max(1, args[2].toInt());
            int k = 0;
            for (table.first(); !table.eof();) {
                if (k++ % step == 0)
                    table.deleteRecord(); // the next record becomes current
                else
                    table.next();
            }
        }
        table.pack();
        table.close();
    } catch (const KvError& e) {
        QTextStream(stderr) << e.message() << '\n';
        return 1;
    }
    return 0;
}
