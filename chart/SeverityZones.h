#pragma once

#include "chart/TrendSeries.h"

#include <QString>

#include <array>
#include <optional>
#include <vector>

// Vibration severity zones of velocity RMS (mm/s) for machines measured on non-rotating parts:
// A (new machines), B (unrestricted long-term operation), C (limited operation), D (damage).
namespace chart {

struct ZoneLimits {
    double ab = 0; // A/B boundary
    double bc = 0; // B/C
    double cd = 0; // C/D
    bool operator==(const ZoneLimits&) const = default;
    bool valid() const; // finite, positive and rising
};

struct SeverityClass {
    QString id;   // as the command line takes it: I, II, III, IV, 1r, 1f, 2r, 2f
    QString name; // as the window offers it
    ZoneLimits limits;
};

const std::vector<SeverityClass>& severityClasses();

// "I" … "2f" or "custom:x,y,z"; empty for anything else or limits that are not rising.
std::optional<ZoneLimits> parseZones(const QString& text);

// Zones apply to velocity as root-mean-square only.
bool zonesApply(Quantity q, ValueForm form);

enum Zone { ZoneA = 0, ZoneB, ZoneC, ZoneD };
// A value exactly on a boundary belongs to the upper zone.
Zone zoneOf(double value, const ZoneLimits& limits);
QChar zoneLetter(int zone);

struct ZoneCounts {
    std::array<int, 4> count{};
    int last = -1; // zone of the last record with a value; -1 when there is none
};
// Over the points of the series that have a value.
ZoneCounts countZones(const Series& series, const ZoneLimits& limits);

} // namespace chart
