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
    // The preview's own file dialogs share the window's folder memory: they start where the
    // window's would (its start folder until a file is chosen) and a file they choose moves it on.
    FileDialog::FolderMemory& memory = *SaveDialog1.memory;
    if (memory.folder.isEmpty())
        memory.folder = SaveDialog1.initialDir;
    report::showPreview(this, reports::prepareModeReport(Dbf1, activePage()), &memory.folder);
}

void TForm1::ToolButton4Click() {
    if (!TableOpen() || !Dbf1.isOpen())
        return;
    views().finishEdits();
    report::printWithDialog(this, reports::prepareModeReport(Dbf1, activePage()), 1);
}
