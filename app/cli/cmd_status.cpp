#include "app/cli/Cli.h"

#include "core/Error.h"
#include "db/DbfTable.h"
#include "db/MeasurementTable.h"
#include "points/CatalogueFile.h"
#include "points/Overview.h"
#include "points/OverviewRows.h"
#include "points/OverviewText.h"

#include <QDate>
#include <QRegularExpression>
#include <QTextStream>

#include <cstdio>
#include <limits>

namespace cli {
namespace {

[[noreturn]] void usage() {
    throw KvError(
        QStringLiteral("Использование: kvarnel-ld5 status ТАБЛИЦА.dbf… --points ТОЧКИ.dbf [--mode N] "
                       "[--today ДД.ММ.ГГГГ]"));
}

QDate parseToday(const QString& text) {
    static const QRegularExpression form(QStringLiteral("^(\\d{2})\\.(\\d{2})\\.(\\d{4})$"));
    const auto m = form.match(text);
    const QDate day =
        m.hasMatch() ? QDate(m.captured(3).toInt(), m.captured(2).toInt(), m.captured(1).toInt()) : QDate();
    if (!day.isValid())
        throw KvError(QStringLiteral("Дата --today задаётся как ДД.ММ.ГГГГ, а не «%1».").arg(text));
    return day;
}

void appendLine(QByteArray& out, const QStringList& fields) {
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i)
            out.append('\t');
        appendEscaped(out, fields[i]);
    }
    out.append('\n');
}

} // namespace

int status(const QStringList& args) {
    const Arguments a = parseArguments(
        args, {QStringLiteral("--points"), QStringLiteral("--mode"), QStringLiteral("--today")},
        std::numeric_limits<qsizetype>::max(), usage);
    if (a.positional.isEmpty() || a.value(QStringLiteral("--points")).isEmpty())
        usage();
    points::OverviewOptions options;
    if (a.values.contains(QStringLiteral("--mode")))
        options.mode = MeasurementTable::parseMode(a.value(QStringLiteral("--mode")));
    options.today = a.values.contains(QStringLiteral("--today"))
                        ? parseToday(a.value(QStringLiteral("--today")))
                        : QDate::currentDate();

    const std::vector<points::PointEntry> catalogue =
        points::readCatalogue(a.value(QStringLiteral("--points")));
    std::vector<points::MeasurementRow> rows;
    for (qsizetype i = 0; i < a.positional.size(); ++i) {
        DbfTable table;
        MeasurementTable::open(table, a.positional[i], DbfTable::Access::ReadOnly);
        points::appendRows(table, int(i), rows);
    }
    const points::Overview overview = points::computeOverview(catalogue, rows, options);

    QTextStream err(stderr);
    for (const points::PointStatus& p : overview.points)
        if (p.state == points::State::CatalogueError)
            err << QStringLiteral("Точка «%1»: %2").arg(p.name, p.error) << '\n';
    if (overview.undated > 0)
        err << QStringLiteral("Не учтено записей без правильных даты и времени: %1").arg(overview.undated)
            << '\n';
    err.flush();

    QByteArray out;
    for (const points::PointStatus& p : overview.points)
        appendLine(out, points::pointFields(p, u".", false));
    appendLine(out, {points::kUnassigned, QString::number(overview.unassigned)});
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
    if (std::fflush(stdout) != 0)
        throw KvError(QStringLiteral("Не удалось вывести состояние."));
    return 0;
}

} // namespace cli
