#include "app/cli/Cli.h"

#include "chart/ChartFile.h"
#include "chart/TrendChart.h"
#include "core/Error.h"
#include "db/DbfTable.h"
#include "db/MeasurementSchema.h"
#include "db/MeasurementTable.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <cstdio>

namespace cli {
namespace {

[[noreturn]] void usage() {
    throw KvError(
        QStringLiteral("Использование: kvarnel-ld5 chart ТАБЛИЦА.dbf --mode N --value {A,F,V,S,TR_F,TR_A} "
                       "[--rms] [--zones КЛАСС] РИСУНОК.{png,svg,pdf} [--size ШxВ]"));
}

QSize parseSize(const QString& text) {
    static const QRegularExpression form(QStringLiteral("^(\\d{1,5})[xX×](\\d{1,5})$"));
    const auto m = form.match(text);
    if (!m.hasMatch())
        throw KvError(
            QStringLiteral("Размер задаётся как ШИРИНАxВЫСОТА, например 1600x900, а не «%1».").arg(text));
    return QSize(m.captured(1).toInt(), m.captured(2).toInt());
}

} // namespace

int chart(const QStringList& args) {
    // --rms is a flag; the others take a value.
    QStringList rest = args;
    const bool rms = rest.removeAll(QStringLiteral("--rms")) > 0;
    const Arguments a = parseArguments(rest,
                                       {QStringLiteral("--mode"), QStringLiteral("--value"),
                                        QStringLiteral("--zones"), QStringLiteral("--size")},
                                       2, usage);
    if (a.positional.size() != 2 || a.value(QStringLiteral("--mode")).isEmpty() ||
        a.value(QStringLiteral("--value")).isEmpty())
        usage();
    const int mode = MeasurementTable::parseMode(a.value(QStringLiteral("--mode")));
    const auto quantity = chart::parseQuantity(a.value(QStringLiteral("--value")));
    if (!quantity)
        throw KvError(QStringLiteral("Величина --value: A, F, V, S, TR_F или TR_A, а не «%1».")
                          .arg(a.value(QStringLiteral("--value"))));
    if ((*quantity == chart::Quantity::ThresholdFrequency ||
         *quantity == chart::Quantity::ThresholdAcceleration) &&
        mode != 1)
        throw KvError(QStringLiteral("Пороги есть только у записей режима 1 («Ждущий»)."));
    // --rms names the second field of each quantity: A_SR, V_SR, TR_A_SR, and S_SR, the full
    // displacement.
    const chart::ValueForm form{rms, rms};
    std::optional<chart::ZoneLimits> zones;
    if (a.values.contains(QStringLiteral("--zones"))) {
        if (!chart::zonesApply(*quantity, form))
            throw KvError(
                QStringLiteral("Зоны вибрации строятся только для виброскорости СКЗ: --value V --rms."));
        zones = chart::parseZones(a.value(QStringLiteral("--zones")));
        if (!zones)
            throw KvError(QStringLiteral("Класс зон: I, II, III, IV, 1r, 1f, 2r, 2f или custom:x,y,z с "
                                         "возрастающими порогами, а не «%1».")
                              .arg(a.value(QStringLiteral("--zones"))));
    }
    const QString out = a.positional[1];
    if (!chart::pictureFormatOf(out))
        throw KvError(QStringLiteral("Рисунок сохраняется в файл .png, .svg или .pdf, а не «%1».").arg(out));
    const QSize size = a.values.contains(QStringLiteral("--size"))
                           ? parseSize(a.value(QStringLiteral("--size")))
                           : QSize(1600, 900);

    DbfTable table;
    openToRead(table, a.positional[0]);
    table.setFilter(MeasurementTable::modeFilter(mode));
    table.setFiltered(true);

    chart::TrendChart c;
    c.setTitle(QStringLiteral("%1 — %2").arg(QFileInfo(a.positional[0]).completeBaseName(),
                                             MeasurementSchema::modeCaption(mode)));
    c.setValueTitle(chart::axisTitle(*quantity, form));
    c.setSeries(chart::buildSeries(table, chart::fieldFor(*quantity, form)));
    if (zones)
        c.setZones(zones, a.value(QStringLiteral("--zones")));
    chart::saveChart(c, out, size);

    if (zones) {
        const chart::ZoneCounts& z = c.zoneCounts();
        std::printf("zones A=%d B=%d C=%d D=%d last=%c\n", z.count[0], z.count[1], z.count[2], z.count[3],
                    char(chart::zoneLetter(z.last).unicode()));
    }
    std::printf("points %d\n", c.series().valueCount());
    if (std::fflush(stdout) != 0)
        throw KvError(QStringLiteral("Не удалось вывести итог."));
    return 0;
}

} // namespace cli
