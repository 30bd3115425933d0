// Times the Excel export of a view of 65535 and of 6553 records, and, for comparison, the same
// rows turned into .xls by LibreOffice (from CSV) and by python3-xlwt.
#include "tests/output/MeasurementDbf.h"

#include "core/Cp1251.h"
#include "db/DbfTable.h"
#include "output/export/ExcelExport.h"
#include "output/xls/CompoundFile.h"
#include "output/xls/TvteExcelWriter.h"
#include "output/xls/TvteXLSWorkbook.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>

#include <charconv>
#include <cstdio>
#include <ctime>

namespace {

std::vector<MeasurementRow> rows(int n) {
    std::vector<MeasurementRow> out(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        MeasurementRow& r = out[std::size_t(i)];
        r.n = i % 1500 + 1;
        r.date = QByteArray::number(10 + i % 18) + ".0" + QByteArray::number(1 + i % 9) + ".2009";
        r.time = "1" + QByteArray::number(i % 10) + ":3" + QByteArray::number(i % 10) + ":0" +
                 QByteArray::number(i % 10);
        r.a = 0.25 * (i % 400 + 1);
        r.f = 10.0 + i % 990;
        r.v = *r.a / *r.f * 159.15494;
        r.s = *r.v / *r.f * 0.15915494;
        if (i % 5 == 0)
            r.comment = "\xCF\xF0\xE8\xEC\xE5\xF7\xE0\xED\xE8\xE5 " + QByteArray::number(i); // "Примечание"
    }
    return out;
}

QByteArray csv(const std::vector<MeasurementRow>& rows) {
    QByteArray out = "N,Дата,Время,A,F,V,S,Примечание\n";
    char buf[64];
    auto number = [&](double v) {
        auto r = std::to_chars(buf, buf + sizeof buf, v);
        out.append(buf, int(r.ptr - buf));
    };
    for (const MeasurementRow& r : rows) {
        number(r.n);
        out += ',' + r.date + ',' + r.time + ',';
        number(*r.a);
        out += ',';
        number(*r.f);
        out += ',';
        number(*r.v);
        out += ',';
        number(*r.s);
        out += ',';
        if (!r.comment.isEmpty())
            out += cp1251::decode(r.comment).toUtf8();
        out += '\n';
    }
    return out;
}

double exportSeconds(const QString& table, const QString& out, double* fillSeconds, double* cpuSeconds) {
    DbfTable dbf;
    dbf.open(table, DbfTable::Access::ReadOnly);
    dbf.setFilter(QStringLiteral("MODE=0"));
    dbf.setFiltered(true);
    QElapsedTimer t;
    t.start();
    const std::clock_t cpu = std::clock();
    excel_export::exportView(dbf, 0, QString(), out);
    const double total = double(t.nsecsElapsed()) / 1e9;
    *cpuSeconds = double(std::clock() - cpu) / CLOCKS_PER_SEC;
    dbf.first();
    t.restart();
    TvteXLSWorkbook book;
    excel_export::fillWorkbook(book, dbf, 0, QString());
    *fillSeconds = double(t.nsecsElapsed()) / 1e9;
    return total;
}

double runSeconds(const QString& program, const QStringList& args, bool* ok) {
    QElapsedTimer t;
    t.start();
    QProcess p;
    p.start(program, args);
    *ok = p.waitForFinished(600000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    return double(t.nsecsElapsed()) / 1e9;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const int sizes[2] = {65535, 6553};
    double seconds[2] = {};
    for (int i = 0; i < 2; ++i) {
        const QString table = dir.filePath(QStringLiteral("t%1.dbf").arg(sizes[i]));
        const auto data = rows(sizes[i]);
        if (!measurement_dbf::write(table, data))
            return 1;
        {
            QFile f(dir.filePath(QStringLiteral("t%1.csv").arg(sizes[i])));
            f.open(QIODevice::WriteOnly);
            f.write(csv(data));
        }
        double fill = 0, cpu = 0;
        exportSeconds(table, dir.filePath(QStringLiteral("warm.xls")), &fill, &cpu); // page cache, allocator
        seconds[i] = exportSeconds(table, dir.filePath(QStringLiteral("t%1.xls").arg(sizes[i])), &fill, &cpu);
        std::printf(
            "export of %5d records: %.3f s wall, %.3f s CPU (reading the table into the model %.3f s), "
            "%lld bytes\n",
            sizes[i], seconds[i], cpu, fill,
            QFile(dir.filePath(QStringLiteral("t%1.xls").arg(sizes[i]))).size());
    }
    std::printf("ratio 65535 / 6553: %.2f (10.0 is linear)\n", seconds[0] / seconds[1]);
    if (app.arguments().contains(QStringLiteral("--export-only")))
        return 0;

    const QString profile = QUrl::fromLocalFile(dir.filePath(QStringLiteral("lo-profile"))).toString();
    const QString script = QStringLiteral(KV_BENCH_SOURCE_DIR "/xlwt_rows.py");
    for (int i = 1; i >= 0; --i) {
        const QString csvPath = dir.filePath(QStringLiteral("t%1.csv").arg(sizes[i]));
        bool ok = false;
        const double lo = runSeconds(
            QStringLiteral("soffice"),
            {QStringLiteral("-env:UserInstallation=") + profile, QStringLiteral("--headless"),
             QStringLiteral("--infilter=CSV:44,34,76"), QStringLiteral("--convert-to"), QStringLiteral("xls"),
             QStringLiteral("--outdir"), dir.filePath(QStringLiteral("lo")), csvPath},
            &ok);
        std::printf("LibreOffice headless CSV -> xls, %5d rows: %.3f s%s%s\n", sizes[i], lo,
                    i == 1 ? " (first run, creates its profile)" : "", ok ? "" : " FAILED");
        const double xlwt =
            runSeconds(QStringLiteral("/usr/bin/python3"),
                       {script, csvPath, dir.filePath(QStringLiteral("xlwt%1.xls").arg(sizes[i]))}, &ok);
        std::printf("python3-xlwt CSV -> xls, %5d rows: %.3f s%s\n", sizes[i], xlwt, ok ? "" : " FAILED");
    }
    return 0;
}
