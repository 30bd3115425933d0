#include "output/reports/ModeReports.h"

#include "output/reports/DbfDataSet.h"
#include "output/reports/ReportTemplates.h"
#include "report/PreviewWindow.h"
#include "report/PrintDialog.h"
#include "report/ReportEngine.h"
#include "report/ReportPrinter.h"

namespace reports {

report::PreparedReport prepareModeReport(DbfTable& table, int mode) {
    const report::ReportTemplate tpl = templateForMode(mode);
    DbfDataSet frDBDataSet1(table);
    return report::prepareReport(tpl, frDBDataSet1);
}

void previewModeReport(QWidget* parent, DbfTable& table, int mode) {
    report::showPreview(parent, prepareModeReport(table, mode));
}

bool printModeReport(QWidget* parent, DbfTable& table, int mode) {
    const report::PreparedReport prepared = prepareModeReport(table, mode);
    return report::printWithDialog(parent, prepared, 1);
}

int writeModeReportPdf(DbfTable& table, int mode, const QString& pdfPath) {
    const report::PreparedReport prepared = prepareModeReport(table, mode);
    report::writePdf(prepared, pdfPath);
    return prepared.pageCount();
}

} // namespace reports
