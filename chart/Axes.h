#pragma once

#include <QString>

#include <vector>

// Where the ticks of the chart's axes go and how they are labelled.
namespace chart {

struct Tick {
    double at;     // milliseconds since 1970 (UTC) on the time axis, the value on the value axis
    QString label; // may hold two lines
};

// Ticks at round moments between from and to (milliseconds, UTC), at most maxTicks of them.
// Below a day a label is the time, with the date under it on the first tick of each day; from a
// day on the date; from a month on month and year; from a year on the year.
std::vector<Tick> timeTicks(double from, double to, int maxTicks);

// Ticks at 1, 2 or 5 times a power of ten.
std::vector<Tick> linearTicks(double from, double to, int maxTicks);
// Ticks at the powers of ten, with 2 and 5 between them when few decades are shown; from > 0.
std::vector<Tick> logTicks(double from, double to, int maxTicks);

} // namespace chart
