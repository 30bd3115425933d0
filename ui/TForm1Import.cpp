#include "ui/TForm1.h"

#include "ui/Command.h"
#include "ui/ModeViews.h"
#include "ui/TForm2.h"

#include <QTabWidget>

namespace {

void showNotices(TForm1& w, const image::ImportResult& result, const QString& caption) {
    for (const QString& text : image::notices(result))
        command::message(&w, QMessageBox::Warning, caption, text);
}

} // namespace

image::ImportHooks TForm1::importHooks() {
    image::ImportHooks hooks;
    hooks.resetSort = [this] { reset_sort_all(); };
    // The user sees the window without its views while rows are appended. Nothing depends on it:
    // the views read the table without its cursor, so painting them would post nothing.
    hooks.hideViews = [this] { PageControl1->hide(); };
    hooks.showViews = [this] { PageControl1->show(); };
    return hooks;
}

bool TForm1::download() {
    if (!Form2)
        return false;
    Form2->setPortLister(PortLister);
    Form2->setPortChoice(Settings.readString(QStringLiteral("Port")));
    // The task bar shows this window's caption: it carries the progress while the dialog is open.
    const QString caption = windowTitle();
    const QMetaObject::Connection follow =
        connect(Form2, &TForm2::titleShown, this, [this](const QString& title) { setWindowTitle(title); });
    const int result = Form2->exec();
    disconnect(follow);
    setWindowTitle(caption);
    // The identification is kept even when the dump that follows it fails.
    FirmwareDate = Form2->firmwareDate();
    if (result != QDialog::Accepted)
        return false;
    Image.load(Form2->imageBytes());
    return true;
}

void TForm1::prepareTableSaveDialog() {
    SaveDialog1.prepare(QStringLiteral("Файлы данных|*.dbf"), QStringLiteral(".dbf"));
}

void TForm1::Create_DB() {
    const QString path = SaveDialog1.fileName;
    image::ImportResult result;
    m_session.replace(
        [&](DbfTable& table) { result = image::Importer(table, importHooks()).createTable(path, Image); });
    en_but(); // applies the mode filter of the page shown
    // A new table is an open table: its titles are those Open_DB gives.
    showTableTitle(path);
    showNotices(*this, result, BaseTitle);
}

void TForm1::N2Click() {
    if (TableOpen())
        Close_DB();
    prepareTableSaveDialog();
    if (!SaveDialog1.execute(this) || SaveDialog1.fileName.isEmpty())
        return;
    if (!download())
        return;
    Create_DB();
}

void TForm1::N14Click() {
    if (!TableOpen()) {
        if (!OpenDialog1.choose(this, QStringLiteral("Базы данных|*.dbf"), QStringLiteral(".dbf")))
            return;
        Open_DB(OpenDialog1.fileName);
    }
    if (!TableOpen() || refuseReadOnly())
        return;
    // A table that cannot be appended to says so before the instrument is kept busy.
    image::Importer(Dbf1).checkAppend();
    if (!download())
        return;

    views().finishEdits();
    image::ImportResult result;
    // On failure the importer has reopened the table as it was, or could not: the session follows.
    m_session.change([&](DbfTable& table) { result = image::Importer(table, importHooks()).append(Image); });
    command::message(this, QMessageBox::Information, QStringLiteral("Дополнение"),
                     image::addedMessage(result));
    showNotices(*this, result, QStringLiteral("Дополнение"));
    Save_DB();
}

void TForm1::bin1Click() {
    if (TableOpen())
        Close_DB();
    if (!OpenDialog1.choose(this, QStringLiteral("Двоичные файлы|*.bin"), QStringLiteral(".bin")))
        return;
    Image.loadFile(OpenDialog1.fileName);
    prepareTableSaveDialog();
    if (!SaveDialog1.execute(this) || SaveDialog1.fileName.isEmpty())
        return;
    Create_DB();
}
