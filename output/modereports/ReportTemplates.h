#pragma once

#include "report/ReportTemplate.h"

// The three printed tables of measurements, one per mode view, on landscape A4. Their cells read
// the table through the data source named "Dbf1" and always print the amplitude values A, V, S
// and TR_A, whatever the grids show.
namespace reports {

report::ReportTemplate frReport1(); // "Оперативный режим"
report::ReportTemplate frReport2(); // "Ждущий режим"
report::ReportTemplate frReport3(); // "Режим наблюдения"

// The template of mode 0, 1 or 2; KvError for any other mode.
report::ReportTemplate templateForMode(int mode);

} // namespace reports
