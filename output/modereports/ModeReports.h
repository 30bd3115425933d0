#pragma once

#include "db/DbfTable.h"
#include "report/PreparedReport.h"

#include <QString>

// The printed reports of the three mode views, over the open table Dbf1.
//
// A report covers exactly the rows the table shows now: its filter ("MODE=" and the mode, set by
// the view) and its selected index (the view's sort order), read without moving the table's cursor.
// Errors (table not open, a value that does not suit its format) are thrown as KvError.
// The main window previews and prints what prepareModeReport gives, with the mode of the active
// page (TabSheet1 → 0, TabSheet2 → 1, TabSheet3 → 2).
namespace reports {

// Lays out frReport1, frReport2 or frReport3 (mode 0, 1, 2) over the table's visible rows.
report::PreparedReport prepareModeReport(const DbfTable& table, int mode);

// For the command line: prepares the report and writes it as a PDF file (beside, then renamed).
// Returns the page count.
int writeModeReportPdf(const DbfTable& table, int mode, const QString& pdfPath);

} // namespace reports
