#include "ui/TForm1.h"

#include "output/export/ExcelExport.h"
#include "ui/Command.h"
#include "ui/ModeViews.h"

void TForm1::Excel1Click() {
    if (!TableOpen() || !Dbf1.isOpen())
        return;
    if (!SaveDialog1.choose(this, QStringLiteral("Книга Excel|*.xls"), QStringLiteral(".xls")))
        return;
    const QString file = SaveDialog1.fileName;

    // The rows go out in natural record order, and the views no longer show a sort afterwards.
    views().finishEdits();
    reset_sort_all();
    try {
        excel_export::exportView(Dbf1, activePage(), FirmwareDate, file);
    } catch (...) {
        views().dataLink().reread();
        throw;
    }
    views().dataLink().reread();
    command::message(this, QMessageBox::Information, excel_export::successCaption(),
                     excel_export::successMessage(file));
}
