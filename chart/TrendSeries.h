#pragma once

#include "db/MeasurementSchema.h"

#include <QString>

#include <optional>
#include <vector>

class DbfTable;

// The series of a view over time: the visible records of the table (its mode filter holds) in
// date-time order, whatever index the grid has selected.
namespace chart {

// Each quantity is the first member of its value pair in the measurement schema.
enum class Quantity {
    Acceleration = int(MeasurementSchema::Field::A),
    Frequency = int(MeasurementSchema::Field::F),
    Velocity = int(MeasurementSchema::Field::V),
    Displacement = int(MeasurementSchema::Field::S),
    ThresholdFrequency = int(MeasurementSchema::Field::TR_F),
    ThresholdAcceleration = int(MeasurementSchema::Field::TR_A)
};

// Which member of each value pair the view shows (the data format of the view).
struct ValueForm {
    bool rms = false;  // root-mean-square instead of amplitude (A, V, TR_A)
    bool full = false; // full displacement instead of single amplitude (S)
    bool operator==(const ValueForm&) const = default;
};

// The quantities a mode offers: the thresholds only on "Ждущий" (mode 1).
std::vector<Quantity> quantitiesFor(int mode);
QString quantityName(Quantity q);              // "Виброскорость"
QString fieldFor(Quantity q, ValueForm form);  // "V_SR"
QString axisTitle(Quantity q, ValueForm form); // "Виброскорость V, СКЗ, мм/с"
// The command line's names: A, F, V, S, TR_F, TR_A (any case).
std::optional<Quantity> parseQuantity(const QString& text);

struct Series {
    QString field;
    std::vector<double> x;  // milliseconds since 1970 of DATE + TIME, read as UTC
    std::vector<double> y;  // NaN where the record has no value
    std::vector<int> recNo; // 1-based physical record number of each point
    int undated = 0;        // visible records left out: their DATE or TIME is no valid moment

    int size() const { return int(x.size()); }
    int valueCount() const;            // points that have a value
    int indexOfRecNo(int recNo) const; // -1 when absent
};

// DATE (dd.mm.yyyy) and TIME (hh:mm:ss) as a moment; empty for texts that name none.
std::optional<double> momentOf(const QString& date, const QString& time);

// Reads the field of every visible record of the open table, without moving its cursor or
// posting an edit in progress (whose edited values it reads). Ties of date and time keep the
// physical order.
Series buildSeries(const DbfTable& table, const QString& field);

} // namespace chart
