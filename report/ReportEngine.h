#pragma once

#include "report/DataSource.h"
#include "report/PreparedReport.h"
#include "report/ReportTemplate.h"

namespace report {

// Lays out a template over its data source in two passes: the first counts the pages so that
// [TOTALPAGES] is known, the second produces them.
//
// Page 1 begins at the top margin with the report title, then the page header; each row adds one
// master data band; when the next row does not fit above the page footer, the page is closed with
// its footer (at the foot of the printable area) and a new page begins with the page header.
// A row taller than an empty page still gets a page of its own rather than stopping the report.
//
// Throws KvError when the template names a data source or field the source does not have, or when
// a value does not suit its format.
PreparedReport prepareReport(const ReportTemplate& tpl, ReportDataSource& source);

} // namespace report
