#pragma once

#include "points/SeverityClasses.h"

#include <QHash>
#include <QString>
#include <QStringView>

#include <optional>
#include <vector>

// The catalogue of a plant: its measurement points, each named by its path ("Цех 1/Насос Н-3/П1
// верт.", levels separated by "/"), with the zone limits, the baseline, the alarm levels and the
// measurement interval of the point. The name is also the note of the point's records.
namespace points {

// The settings value that remembers the catalogue of the window (an absolute path).
inline const QString kPointsFileSetting = QStringLiteral("Points_file");

constexpr int kMaxNameLength = 50; // NAME is C(50), and so is the note it goes into
constexpr QChar kLevelSeparator = u'/';
constexpr QChar kNoteSeparator = u';';

// One record of the catalogue as it is stored; an empty optional is a blank field.
struct PointEntry {
    QString name;
    QString cls; // CLASS: an id of severityClasses(), or empty for the point's own limits
    std::optional<double> ab, bc, cd; // A_B, B_C, C_D, mm/s
    std::optional<double> base;       // BASE: empty, the first counted measurement
    std::optional<double> alert;      // ALERT: empty, min(base + 0.25 × B_C, 1.25 × B_C)
    std::optional<double> danger;     // DANGER: empty, C_D
    std::optional<qint64> days;       // DAYS: empty or 0, not scheduled
    bool operator==(const PointEntry&) const = default;
};

// What is wrong with a name or the levels of a point, as a phrase ("в имени точки есть «;»");
// empty when nothing is. typedRefusal() words it for a value the user typed, catalogueError()
// for a point that another program wrote so.
std::optional<QString> nameProblem(const QString& name);
std::optional<QString> levelsProblem(const PointEntry& entry);
std::optional<QString> entryProblem(const PointEntry& entry); // the name first, then the levels
QString typedRefusal(const QString& problem);                 // "В имени точки есть «;»."
QString catalogueError(const QString& problem); // "ошибка в каталоге: в имени …"

// Velocities are compared as whole nanometres per second: the tables hold them with at most nine
// decimals, so a value that the file spells equal to a limit is equal to it here too.
using Velocity = qint64;
constexpr Velocity kPerMmS = 1'000'000'000;
// Empty for NaN, infinities and sizes from 10^9 mm/s up, which no instrument measures.
std::optional<Velocity> velocityOf(double mmPerS);
double mmPerS(Velocity v);

// The levels a valid point works with.
struct Levels {
    ZoneLimits limits; // stored, or the class's when all three are blank
    Velocity ab = 0, bc = 0, cd = 0;
    std::optional<Velocity> base;  // stored; empty: the first counted measurement
    std::optional<Velocity> alert; // stored; empty: from the baseline, see alertTimesFour
    Velocity danger = 0;           // stored, or C_D
    int days = 0;                  // 0: not scheduled

    // Four times the alert level for that baseline: the stored ALERT, or
    // min(base + 0.25 × B_C, 1.25 × B_C), kept exact as a multiple of a quarter nanometre.
    Velocity alertTimesFour(Velocity baseline) const;
};
// The levels of an entry without problems (entryProblem() empty); throws KvError for others.
Levels levelsOf(const PointEntry& entry);

// The name part of a note: the note with trailing blanks cut, up to its first ";". A record
// belongs to the point whose name this is: its note equals the name or begins with name + ";".
QStringView noteKey(QStringView note);
bool belongsTo(QStringView note, const QString& name);

// The points of a catalogue by name, for telling which point a note belongs to.
class PointIndex {
public:
    PointIndex() = default;
    explicit PointIndex(const std::vector<PointEntry>& entries);
    // The index of the entry the note belongs to; -1 when none.
    int pointOf(QStringView note) const;

private:
    QHash<QString, int> m_byName;
    // Names that hold ";" (errors of another program): a note can still equal one of them.
    std::vector<std::pair<QString, int>> m_odd;
};

// The parent levels of a name, shortest first: "Цех 1", "Цех 1/Насос Н-3" for
// "Цех 1/Насос Н-3/П1 верт.".
std::vector<QString> parentLevels(const QString& name);
// True when name is the level itself or a name below it.
bool isUnderLevel(const QString& name, const QString& level);

} // namespace points
