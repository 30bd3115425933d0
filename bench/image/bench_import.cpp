// Times of the import: a new table from a full image, and a full image appended to a large table.
#include "db/DbfTable.h"
#include "db/MeasurementTable.h"
#include "image/Importer.h"
#include "image/MemoryImage.h"
#include "tests/support/TestImages.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

#include <unistd.h>

using namespace image;

namespace {

constexpr int kHeader = 577;
constexpr int kRecord = 265;

MemoryImage fullImage(const QDateTime& start) {
    MemoryImage memory;
    memory.load(testimages::buildImage(testimages::sequence(315, start, 30)));
    return memory;
}

// A table of rows records, made by repeating the rows of an imported image byte for byte.
void writeLargeTable(const QString& path, int rows, const QDateTime& start) {
    DbfTable table;
    Importer(table).createTable(path, fullImage(start));
    table.close();
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    const QByteArray small = file.readAll();
    file.close();
    const QByteArray records = small.mid(kHeader, 315 * kRecord);
    QByteArray big = small.left(kHeader);
    big.reserve(kHeader + qsizetype(rows) * kRecord + 1);
    for (int i = 0; i < rows; ++i)
        big.append(records.constData() + (i % 315) * kRecord, kRecord);
    big.append('\x1A');
    const quint32 count = quint32(rows);
    std::memcpy(big.data() + 4, &count, 4); // little-endian host
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    file.write(big);
    file.flush();
    // A table the user opens has long been on the disk; its pages are not waiting to be written.
    ::fsync(file.handle());
    file.close();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QDateTime start(QDate(2010, 3, 1), QTime(8, 0));
    const MemoryImage memory = fullImage(start);

    std::vector<double> create, createCpu;
    for (int run = 0; run < 15; ++run) {
        DbfTable table;
        QElapsedTimer t;
        const std::clock_t cpu = std::clock();
        t.start();
        Importer(table).createTable(dir.filePath("create.dbf"), memory);
        create.push_back(t.nsecsElapsed() / 1e6);
        createCpu.push_back(double(std::clock() - cpu) * 1000 / CLOCKS_PER_SEC);
    }
    // The wall time includes waiting for the disk (the table layer syncs the file on closing).
    std::printf("create from a full image (315 records): median %.2f ms, best %.2f ms of %zu runs "
                "(processor time: median %.2f ms)\n",
                median(create), *std::min_element(create.begin(), create.end()), create.size(),
                median(createCpu));

    const QString big = dir.filePath("big.dbf");
    writeLargeTable(big, 100000, start);
    const MemoryImage later = fullImage(start.addDays(30));
    std::vector<double> keep, drop;
    for (int run = 0; run < 5; ++run) {
        writeLargeTable(big, 100000, start);
        DbfTable table;
        MeasurementTable::open(table, big);
        QElapsedTimer t;
        t.start();
        const ImportResult r = Importer(table).append(later);
        keep.push_back(t.nsecsElapsed() / 1e6);
        if (r.added != 315 || table.physicalCount() != 100315)
            std::printf("unexpected result: %d added, %d rows\n", r.added, table.physicalCount());
        t.restart();
        const ImportResult again = Importer(table).append(later);
        drop.push_back(t.nsecsElapsed() / 1e6);
        if (again.added != 0)
            std::printf("unexpected result: %d added again\n", again.added);
    }
    std::printf(
        "append a full image to 100 000 records, all kept: median %.1f ms, best %.1f ms of %zu runs\n",
        median(keep), *std::min_element(keep.begin(), keep.end()), keep.size());
    std::printf(
        "append a full image to 100 315 records, all dropped: median %.1f ms, best %.1f ms of %zu runs\n",
        median(drop), *std::min_element(drop.begin(), drop.end()), drop.size());
    return 0;
}
