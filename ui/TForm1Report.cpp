#include "ui/TForm1.h"

#include "output/modereports/ModeReports.h"
#include "report/ui/PreviewWindow.h"
#include "report/ui/PrintDialog.h"
#include "ui/ModeViews.h"

// Both run over the rows the active view shows, in its current sort order.

void TForm1::N4Click() {
    if (!TableOpen() || !Dbf1.isOpen())
        return;
    views().finishEdits();
    report::showPreview(this, reports::prepareModeReport(Dbf1, activePage()));
}

void TForm1::ToolButton4Click() {
    if (!TableOpen() || !Dbf1.isOpen())
        return;
    views().finishEdits();
    report::printWithDialog(this, reports::prepareModeReport(Dbf1, activePage()), 1);
}
