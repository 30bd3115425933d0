// Production index figures on a 100 000-record measurement table: the tag DB1 built on F (N(18,9))
// and on DATE (C(10)), rebuilt after 342 appended records, and the table opened with the tag and
// its first sorted page shown; the size of the .mdx.
#include "db/DbfTable.h"
#include "db/MeasurementTable.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>

namespace {

const int kRecords =
    qEnvironmentVariableIsSet("KV_BENCH_RECORDS") ? qEnvironmentVariableIntValue("KV_BENCH_RECORDS") : 100000;
const int kAppended = 342;
const int kPage = 40;

double ms(QElapsedTimer& t) {
    const double v = double(t.nsecsElapsed()) / 1e6;
    t.restart();
    return v;
}

void appendRows(DbfTable& table, int from, int count) {
    for (int i = from; i < from + count; ++i) {
        table.append();
        table.setValue("N", 1 + i % 9999);
        table.setValue("DATE", QStringLiteral("%1.%2.%3")
                                   .arg(1 + i % 28, 2, 10, QLatin1Char('0'))
                                   .arg(1 + (i / 28) % 12, 2, 10, QLatin1Char('0'))
                                   .arg(2000 + (i / 336) % 30));
        table.setValue("TIME", QStringLiteral("12:34:56"));
        table.setValue("MODE", i % 3);
        table.setValue("F", QStringLiteral("%1.%2")
                                .arg((qint64(i) * 104729) % 99999989 - 5000000)
                                .arg((qint64(i) * 7919) % 1000000000, 9, 10, QLatin1Char('0')));
        table.post();
    }
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bench.dbf"));
    const QString mdx = dir.filePath(QStringLiteral("bench.mdx"));
    QElapsedTimer t;

    MeasurementTable::createFile(path);
    DbfTable table;
    table.open(path);
    table.changeBeside([&] { appendRows(table, 0, kRecords); });
    const qint64 dbfSize = QFileInfo(path).size();

    t.start();
    table.addIndex(QStringLiteral("db1"), QStringLiteral("F"), false);
    const double onF = ms(t);
    const qint64 sizeF = QFileInfo(mdx).size();

    table.addIndex(QStringLiteral("db1"), QStringLiteral("DATE"), true);
    const double onDate = ms(t);
    const qint64 sizeDate = QFileInfo(mdx).size();

    table.addIndex(QStringLiteral("db1"), QStringLiteral("F"), true);
    table.selectIndex(QStringLiteral("db1"));
    t.restart();
    table.changeBeside([&] { appendRows(table, kRecords, kAppended); });
    const double appendAll = ms(t);
    // The same change without an index, for the share of the rebuild.
    table.selectIndex(QString());
    table.deleteIndex(QStringLiteral("db1"));
    t.restart();
    table.changeBeside([&] { appendRows(table, kRecords + kAppended, kAppended); });
    const double appendPlain = ms(t);
    t.restart();
    table.addIndex(QStringLiteral("db1"), QStringLiteral("F"), true); // the whole tag anew
    const double rebuild = ms(t);
    table.regenerateIndexes(); // up to date: nothing to write
    const double regenerateCurrent = ms(t);
    table.close();

    DbfTable reopened;
    reopened.selectIndex(QStringLiteral("db1"));
    t.restart();
    reopened.open(path);
    double sum = 0;
    QString firstF;
    reopened.first();
    for (int i = 0; i < kPage && !reopened.eof(); ++i, reopened.next()) {
        if (i == 0)
            firstF = reopened.value("F").toString();
        sum += reopened.value("F").toDouble();
    }
    const double openPage = ms(t);
    const bool sorted = reopened.currentIndex() == QStringLiteral("db1");
    const int records = reopened.physicalCount();
    reopened.close();

    std::printf("records                               %d (+%d +%d)\n", kRecords, kAppended, kAppended);
    std::printf(".dbf                                  %8.1f MB\n", double(dbfSize) / 1048576.0);
    std::printf(
        "build tag on F (N(18,9))              %8.1f ms   (goal <= 300 ms), .mdx %.2f MB (goal <= 3 MB)\n",
        onF, double(sizeF) / 1048576.0);
    std::printf("build tag on DATE (C(10)), descending %8.1f ms   (goal <= 300 ms), .mdx %.2f MB\n", onDate,
                double(sizeDate) / 1048576.0);
    std::printf(
        "append %d beside + rebuild tag       %8.1f ms   (goal <= 300 ms; the same without a tag %.1f ms)\n",
        kAppended, appendAll, appendPlain);
    std::printf("whole tag on F again, %d records    %8.1f ms   (goal <= 300 ms)\n", kRecords + 2 * kAppended,
                rebuild);
    std::printf("regenerate, tag already current       %8.1f ms\n", regenerateCurrent);
    std::printf("open with the tag + first sorted page %8.1f ms   (goal <= 300 ms; %d records, first F %s)\n",
                openPage, records, qPrintable(firstF));
    return sorted && sum == sum ? 0 : 1;
}
