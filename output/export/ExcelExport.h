#pragma once

#include <QString>

class DbfTable;
class TvteXLSWorkbook;

// "Экспорт в Excel": the records of the active mode view, one sheet with a header row.
// The window runs the save dialog and clears the sort of the three views first (so the table
// runs in natural order), then calls exportView and shows successMessage with successCaption;
// the command line does the same with a table opened read-only.
namespace excel_export {

// A sheet holds rows 0 to 65535, and row 0 is the header.
inline constexpr int maxRecords = 65535;

inline QString successCaption() {
    return QStringLiteral("Экспорт в Excel");
}
QString successMessage(const QString& fileName); // the name is shown without its folder
// The save dialog's filter in the Qt form, its index-1 entry "Книга Excel|*.xls", and suffix.
inline QString dialogFilter() {
    return QStringLiteral("Книга Excel (*.xls)");
}
inline QString defaultSuffix() {
    return QStringLiteral("xls");
}

// "Кварнел - ЛД5 " and the firmware date of the last identification, cut to 31 and trimmed, with
// the characters Excel refuses in a sheet name replaced (xlsSheetName).
QString sheetName(const QString& firmwareDate);

// Fills a new sheet of `workbook` from the visible records of `table` (its filter selects the
// view's mode), in the table's order, reading them without moving its cursor or posting an edit
// in progress (whose edited values go out). mode: 0 "Оперативный", 1 "Ждущий", 2 "Наблюдения".
void fillWorkbook(TvteXLSWorkbook& workbook, const DbfTable& table, int mode, const QString& firmwareDate);

// The whole export into fileName; afterwards the table's current record is the last record of
// the view. Throws KvError: more than maxRecords visible records (checked before anything is
// written or the table moved), or a failure of the writer; an existing file is then left as it was.
void exportView(DbfTable& table, int mode, const QString& firmwareDate, const QString& fileName);

} // namespace excel_export
