#include "chart/Axes.h"

#include <QDateTime>
#include <QLocale>

#include <cmath>

namespace chart {
namespace {

constexpr double kSecond = 1000;
constexpr double kMinute = 60 * kSecond;
constexpr double kHour = 60 * kMinute;
constexpr double kDay = 24 * kHour;

QDateTime utc(double ms) {
    return QDateTime::fromMSecsSinceEpoch(qint64(ms), Qt::UTC);
}

// Fixed steps up to two weeks, then whole months, then whole years.
const double kFixedSteps[] = {kSecond,  2 * kSecond, 5 * kSecond, 10 * kSecond, 15 * kSecond, 30 * kSecond,
                              kMinute,  2 * kMinute, 5 * kMinute, 10 * kMinute, 15 * kMinute, 30 * kMinute,
                              kHour,    2 * kHour,   3 * kHour,   6 * kHour,    12 * kHour,   kDay,
                              2 * kDay, 7 * kDay,    14 * kDay};
const int kMonthSteps[] = {1, 2, 3, 6};

QString numberText(double v, double step) {
    const int decimals = std::max(0, int(std::ceil(-std::log10(step) - 1e-9)));
    return QLocale::c().toString(v, 'f', std::min(decimals, 9));
}

} // namespace

std::vector<Tick> timeTicks(double from, double to, int maxTicks) {
    std::vector<Tick> ticks;
    if (!(to > from) || maxTicks < 1)
        return ticks;
    const double span = to - from;
    for (double step : kFixedSteps) {
        if (span / step > maxTicks)
            continue;
        // Days and weeks start at midnight; shorter steps at multiples of the step after it.
        double t = std::ceil(from / step) * step;
        if (step >= kDay)
            t = std::ceil(from / kDay) * kDay;
        QDate lastDay;
        for (; t <= to; t += step) {
            const QDateTime d = utc(t);
            QString label;
            if (step < kDay) {
                label = d.toString(step < kMinute ? QStringLiteral("hh:mm:ss") : QStringLiteral("hh:mm"));
                if (d.date() != lastDay)
                    label += QLatin1Char('\n') + d.toString(QStringLiteral("dd.MM.yyyy"));
                lastDay = d.date();
            } else {
                label = d.toString(QStringLiteral("dd.MM.yyyy"));
            }
            ticks.push_back({t, label});
        }
        return ticks;
    }
    const QDate first = utc(from).date();
    for (int months : kMonthSteps) {
        if (span / (30.4 * kDay * months) > maxTicks)
            continue;
        QDate d(first.year(), 1, 1);
        while (QDateTime(d, QTime(0, 0), Qt::UTC).toMSecsSinceEpoch() < from)
            d = d.addMonths(months);
        for (; double(QDateTime(d, QTime(0, 0), Qt::UTC).toMSecsSinceEpoch()) <= to; d = d.addMonths(months))
            ticks.push_back({double(QDateTime(d, QTime(0, 0), Qt::UTC).toMSecsSinceEpoch()),
                             d.toString(QStringLiteral("MM.yyyy"))});
        return ticks;
    }
    const double years = span / (365.25 * kDay);
    int step = 1;
    while (years / step > maxTicks)
        step = step == 1 ? 2 : step == 2 ? 5 : step * 2;
    int y = (first.year() + step - 1) / step * step;
    if (y < first.year() || QDateTime(QDate(y, 1, 1), QTime(0, 0), Qt::UTC).toMSecsSinceEpoch() < from)
        y += step;
    for (;; y += step) {
        const double t = double(QDateTime(QDate(y, 1, 1), QTime(0, 0), Qt::UTC).toMSecsSinceEpoch());
        if (t > to)
            break;
        ticks.push_back({t, QString::number(y)});
    }
    return ticks;
}

std::vector<Tick> linearTicks(double from, double to, int maxTicks) {
    std::vector<Tick> ticks;
    if (!(to > from) || maxTicks < 1 || !std::isfinite(from) || !std::isfinite(to))
        return ticks;
    const double raw = (to - from) / maxTicks;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    double step = power;
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (m * power >= raw) {
            step = m * power;
            break;
        }
    for (double k = std::ceil(from / step); k * step <= to + step * 1e-9; k += 1) {
        const double v = std::abs(k) < 0.5 ? 0.0 : k * step;
        ticks.push_back({v, numberText(v, step)});
    }
    return ticks;
}

std::vector<Tick> logTicks(double from, double to, int maxTicks) {
    std::vector<Tick> ticks;
    if (!(from > 0) || !(to > from) || maxTicks < 1)
        return ticks;
    const int lo = int(std::floor(std::log10(from)));
    const int hi = int(std::ceil(std::log10(to)));
    const bool between = (hi - lo) * 3 <= maxTicks;
    int every = 1;
    while ((hi - lo) / every > maxTicks)
        ++every;
    for (int e = lo; e <= hi; ++e) {
        const double power = std::pow(10.0, e);
        for (double m : {1.0, 2.0, 5.0}) {
            if (m != 1.0 && !between)
                continue;
            if (m == 1.0 && (e - lo) % every != 0)
                continue;
            const double v = m * power;
            if (v < from * (1 - 1e-9) || v > to * (1 + 1e-9))
                continue;
            ticks.push_back({v, numberText(v, v)});
        }
    }
    // A range narrower than from one of 1, 2, 5 to the next gets round linear steps instead.
    if (ticks.size() < 2)
        return linearTicks(from, to, maxTicks);
    return ticks;
}

} // namespace chart
