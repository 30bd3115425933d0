#pragma once

#include "db/DbfTable.h"
#include "db/MeasurementSchema.h"

#include <QString>

#include <functional>
#include <vector>

// The measurement record: one row of the table that holds the records of all three modes.
namespace MeasurementTable {

// The 17 fields of MeasurementSchema in record order, as the table file describes them.
const std::vector<DbfField>& fields();

// Creates an empty measurement table file at path, replacing an existing one (not opened).
void createFile(const QString& path);
// A new measurement table at path, open in table, with the rows fill() writes into it before it
// replaces the file at path (DbfTable::createBeside).
void createBeside(DbfTable& table, const QString& path, const std::function<void()>& fill);

// Opens path into table and checks that it holds exactly this record (names, types, lengths,
// decimals); throws KvError naming the first difference otherwise, leaving the table closed.
void open(DbfTable& table, const QString& path, DbfTable::Access access = DbfTable::Access::Exclusive);

// The first way in which a field list differs from the measurement record, for the user
// ("поле A: N(19,9), ожидалось N(18,9)"); empty when it is the record.
QString recordDifference(const std::vector<DbfField>& fields);

// True when the open table has exactly the fields of the measurement record.
bool hasMeasurementRecord(const DbfTable& table);

// The modes: 0 "Оперативный", 1 "Ждущий", 2 "Наблюдения".
constexpr int kModeCount = MeasurementSchema::kModeCount;

// The filter that shows the rows of one mode: "MODE=" followed by the mode in decimal.
QString modeFilter(int mode);

// The mode a user typed ("0", "1" or "2"); throws KvError with the one text for anything else.
int parseMode(const QString& text);

// The name of the index a sorted view (or a sorted report) selects.
inline const QString kSortIndex = QStringLiteral("db1");

// A sort order as the command line takes it: FIELD, FIELD:asc or FIELD:desc (any case).
struct SortOrder {
    QString field; // upper case
    bool descending = false;
};
// Throws KvError when the text names no field of the table.
SortOrder parseSort(const QString& text, const DbfTable& table);

} // namespace MeasurementTable
