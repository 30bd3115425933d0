#pragma once

#include "points/Catalogue.h"

#include <QDate>
#include <QHash>
#include <QString>
#include <QStringView>

#include <cmath>
#include <optional>
#include <vector>

// The condition of the plant: for each point of the catalogue its measurements, its last value,
// zone and state, the change from its baseline and whether it is overdue; the worst state of each
// machine and shop; the records that belong to no point.
namespace points {

// DATE (dd.mm.yyyy) and TIME (hh:mm:ss) as seconds since the start of the Julian day count;
// -1 when the texts name no moment. dateText and timeText spell a moment as the fields do.
qint64 momentOf(QStringView date, QStringView time);
QString dateText(qint64 moment);
QString timeText(qint64 moment);

// One record of a measurement table as the overview needs it. The window fills these from the
// open table, the command line and the folder reading from tables of their own (OverviewRows.h).
// A record without a V_SR value never counts, so a reader may leave such records out.
struct MeasurementRow {
    int table = 0;             // the order of its table among those read together
    int recNo = 0;             // 1-based physical record number in that table
    qint64 moment = -1;        // momentOf(DATE, TIME)
    int mode = -1;             // MODE; -1 when blank
    qint64 n = -1;             // N; -1 when blank
    double vsr = std::nan(""); // V_SR, mm/s; NaN when blank
    QString note;              // COMMENT; equal notes may share one text (NoteTexts)
};

// Hands out one shared copy of each distinct note, so that the records of a route, which repeat
// the names of its points, hold each name once in memory.
class NoteTexts {
public:
    QString shared(const QString& note);

private:
    QHash<QString, QString> m_texts;
};

// In the order the roll-up ranks them, the worst last; CatalogueError is outside that order.
enum class State { NoMeasurements, Normal, Warning, Alarm, CatalogueError };
QString stateText(State s); // "нет замеров", "норма", "предупреждение", "авария", "ошибка"

struct PointStatus {
    QString name;
    int entry = -1; // in the catalogue
    State state = State::NoMeasurements;
    QString error; // "ошибка в каталоге: …" with State::CatalogueError
    int count = 0; // counted records
    // The rest is set only when count > 0.
    QString lastDate, lastTime;
    double lastValue = 0; // V_SR of the last counted record, mm/s
    int lastTable = -1, lastRecNo = 0;
    // The rest is set only when count > 0 and the point has no error.
    Zone zone = ZoneA;
    double baseline = 0;          // mm/s: BASE, or the first counted value
    double alert = 0, danger = 0; // mm/s, as the states use them
    double changePercent = 0;     // (last − baseline) / B_C × 100
    bool significant = false;     // |last − baseline| > 0.25 × B_C
    bool overdue = false;         // DAYS set and more than DAYS days since the last record
    std::optional<Levels> levels; // the point's levels; empty with an error
};

// A machine, a shop or any other level of the names: the worst state of the points under it
// (errors left out) and overdue when any of them is.
struct LevelStatus {
    QString path;  // "Цех 1/Насос Н-3"
    int depth = 0; // 0 for the first level
    State state = State::NoMeasurements;
    bool overdue = false;
    int points = 0;
};

struct OverviewOptions {
    std::optional<int> mode; // count only the records of this mode
    QDate today;             // for overdue; the caller passes the current date
};

struct Overview {
    std::vector<PointStatus> points; // in catalogue order
    std::vector<LevelStatus> levels; // each level where its first point comes, parents first
    int unassigned = 0;              // records with a value that belong to no point
    int undated = 0;                 // records of a point left out: their DATE or TIME names no moment
    int duplicates = 0;              // records left out because an earlier table holds the same measurement
};

// The rules: only records with a V_SR value (of the mode, when one is given) count; they are
// taken in date-time order, equal moments by the order of the tables, then record number; the
// baseline and every other figure come from counted records; a value equal to a level or zone
// limit belongs to the upper zone and the higher state; the same measurement (DATE, TIME, MODE,
// N, V_SR and note equal) in two tables counts once, in the first of them.
Overview computeOverview(const std::vector<PointEntry>& catalogue, const std::vector<MeasurementRow>& rows,
                         const OverviewOptions& options);

QString yesNo(bool b); // "да", "нет"

} // namespace points
