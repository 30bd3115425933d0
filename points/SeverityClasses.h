#pragma once

#include <QChar>
#include <QString>

#include <optional>
#include <vector>

// Vibration severity zones of velocity RMS (mm/s) for machines measured on non-rotating parts:
// A (new machines), B (unrestricted long-term operation), C (limited operation), D (damage).
// The chart draws them and the catalogue of measurement points takes its limits from them.
namespace points {

struct ZoneLimits {
    double ab = 0; // A/B boundary
    double bc = 0; // B/C
    double cd = 0; // C/D
    bool operator==(const ZoneLimits&) const = default;
    bool valid() const; // finite, positive and rising
};

struct SeverityClass {
    QString id;   // as the command line and the catalogue take it: I, II, III, IV, 1r, 1f, 2r, 2f
    QString name; // as the window offers it
    ZoneLimits limits;
};

const std::vector<SeverityClass>& severityClasses();
// The class of that id (letter case counts); nullptr for any other text.
const SeverityClass* severityClass(const QString& id);

// "I" … "2f" or "custom:x,y,z"; empty for anything else or limits that are not rising.
std::optional<ZoneLimits> parseZones(const QString& text);

enum Zone { ZoneA = 0, ZoneB, ZoneC, ZoneD };
// A value exactly on a boundary belongs to the upper zone.
Zone zoneOf(double value, const ZoneLimits& limits);
QChar zoneLetter(int zone); // 'A' … 'D'; '-' for anything else

} // namespace points
