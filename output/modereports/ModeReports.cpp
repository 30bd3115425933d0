#include "output/modereports/ModeReports.h"

#include "output/modereports/DbfDataSet.h"
#include "output/modereports/ReportTemplates.h"
#include "report/ReportEngine.h"
#include "report/ReportPrinter.h"

namespace reports {

report::PreparedReport prepareModeReport(const DbfTable& table, int mode) {
    const report::ReportTemplate tpl = templateForMode(mode);
    DbfDataSet frDBDataSet1(table);
    return report::prepareReport(tpl, frDBDataSet1);
}

int writeModeReportPdf(const DbfTable& table, int mode, const QString& pdfPath) {
    const report::PreparedReport prepared = prepareModeReport(table, mode);
    report::writePdf(prepared, pdfPath);
    return prepared.pageCount();
}

} // namespace reports
