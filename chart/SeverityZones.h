#pragma once

#include "chart/TrendSeries.h"
#include "points/SeverityClasses.h"

#include <array>
#include <vector>

// The severity zones of velocity RMS over a series; the classes and their limits are the
// catalogue's (points/SeverityClasses.h), named here as the chart has always named them.
namespace chart {

using points::parseZones;
using points::SeverityClass;
using points::severityClasses;
using points::Zone;
using points::zoneLetter;
using points::ZoneLimits;
using points::zoneOf;
using enum points::Zone;

// Zones apply to velocity as root-mean-square only.
bool zonesApply(Quantity q, ValueForm form);

struct ZoneCounts {
    std::array<int, 4> count{};
    int last = -1; // zone of the last record with a value; -1 when there is none
};
// Over the points of the series that have a value.
ZoneCounts countZones(const Series& series, const ZoneLimits& limits);

} // namespace chart
