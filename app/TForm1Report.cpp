#include "app/TForm1.h"

#include "db/views/ModeViews.h"
#include "output/reports/ModeReports.h"

// Both run over the rows the active view shows, in its current sort order.

void TForm1::N4Click() {
    if (!TableOpen || !Dbf1.isOpen())
        return;
    views().finishEdits();
    reports::previewModeReport(this, Dbf1, activePage());
}

void TForm1::ToolButton4Click() {
    if (!TableOpen || !Dbf1.isOpen())
        return;
    views().finishEdits();
    reports::printModeReport(this, Dbf1, activePage());
}
