// Table layer figures on a 100 000-record measurement table: create and append, open with the mode
// filter and the first page, count, a descending index on F, a walk through it; peak memory.
#include "db/DbfTable.h"
#include "db/MeasurementTable.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>
#include <sys/resource.h>

namespace {

const int kRecords =
    qEnvironmentVariableIsSet("KV_BENCH_RECORDS") ? qEnvironmentVariableIntValue("KV_BENCH_RECORDS") : 100000;
const int kPage = 40;

double ms(QElapsedTimer& t) {
    const double v = double(t.nsecsElapsed()) / 1e6;
    t.restart();
    return v;
}

long peakRssKb() {
    struct rusage u {};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString path =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : dir.filePath(QStringLiteral("bench.dbf"));
    QElapsedTimer t;
    t.start();

    MeasurementTable::createFile(path);
    {
        DbfTable table;
        table.open(path);
        for (int i = 0; i < kRecords; ++i) {
            const int mode = (i * 7) % 3;
            table.append();
            table.setValue("N", 1 + i % 9999);
            table.setValue("DATE", QStringLiteral("01.02.2025"));
            table.setValue("TIME", QStringLiteral("12:34:56"));
            table.setValue("MODE", mode);
            const double a = 0.001 * double((qint64(i) * 7919) % 100000);
            table.setValue("A", a);
            table.setValue("A_SR", a * 0.7071067811865476);
            table.setValue("F", 10.0 + double((qint64(i) * 104729) % 1000));
            if (mode == 2) {
                table.setValue("DT", 10);
                table.setValue("T", 60);
            } else if (mode == 1) {
                table.setValue("TR_F", 50.0);
                table.setValue("TR_A", 1.5);
            }
            table.post();
        }
        table.close();
    }
    const double create = ms(t);

    DbfTable table;
    table.setFilter(QStringLiteral("MODE=0"));
    table.setFiltered(true);
    table.open(path);
    double sum = 0;
    table.first();
    for (int i = 0; i < kPage && !table.eof(); ++i, table.next())
        sum += table.value("A").toDouble() + table.value("COMMENT").toString().size();
    const double openPage = ms(t);

    const int visible = table.recordCount();
    const double count = ms(t);

    table.addIndex(QStringLiteral("db1"), QStringLiteral("F"), true);
    table.selectIndex(QStringLiteral("db1"));
    table.first();
    const double index = ms(t);

    int walked = 0;
    double previous = 1e300;
    bool ordered = true;
    for (table.first(); !table.eof(); table.next()) {
        const double f = table.value("F").toDouble();
        ordered = ordered && f <= previous;
        previous = f;
        ++walked;
    }
    const double walk = ms(t);

    table.setFiltered(false);
    table.first();
    const double indexAll = ms(t);
    const int all = table.recordCount();

    table.setFiltered(true);
    table.close();
    t.restart();
    table.open(path);
    table.first();
    const double reopenSorted = ms(t);
    table.deleteIndex(QStringLiteral("db1"));
    table.close();

    std::printf("records                         %d\n", kRecords);
    std::printf("create + append all             %8.1f ms\n", create);
    std::printf("open + filter MODE=0 + 1st page %8.1f ms   (goal <= 200 ms)\n", openPage);
    std::printf("count of MODE=0                 %8.1f ms   (%d records)\n", count, visible);
    std::printf("descending index on F           %8.1f ms   (goal <= 300 ms)\n", index);
    std::printf("same index, filter off          %8.1f ms   (%d records)\n", indexAll, all);
    std::printf("walk the index                  %8.1f ms   (%d records, %s)\n", walk, walked,
                ordered ? "in order" : "OUT OF ORDER");
    std::printf("reopen filtered and sorted      %8.1f ms\n", reopenSorted);
    std::printf("peak RSS                        %8.1f MB   (goal <= 80 MB)\n", peakRssKb() / 1024.0);
    return ordered && walked == visible && sum >= 0 ? 0 : 1;
}
