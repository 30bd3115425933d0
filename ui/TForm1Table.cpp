#include "ui/TForm1.h"

#include "ui/Command.h"
#include "ui/ModeViews.h"

#include <QDir>
#include <QFileInfo>

// The table's open, save and close steps are the session's; the window adds its questions, the
// views' column layouts and its titles, and follows the session's signals (connected in the
// constructor): a table opened, re-read or changed resets what the views show, and a table gone
// leaves the window as showNoTable() makes it.

void TForm1::showNoTable() {
    m_views->dataLink().reset();
    dis_but();
    setApplicationTitle(BaseTitle);
    setWindowTitle(applicationTitle());
}

void TForm1::Open_DB(const QString& path) {
    if (TableOpen())
        Close_DB();
    try {
        m_session.open(path);
    } catch (const std::exception&) {
        command::message(this, QMessageBox::Critical, QStringLiteral("Ошибка"),
                         QStringLiteral("База данных повреждена !"));
        return;
    }
    en_but();
    load_layout_all();
    setApplicationTitle(QFileInfo(path).completeBaseName() + QStringLiteral(" - ") + BaseTitle);
    setWindowTitle(applicationTitle());
}

void TForm1::Close_DB() {
    // An editor still open holds a typed value that closing the table posts.
    m_views->finishEdits();
    if (TableModified() && command::message(this, QMessageBox::Question, BaseTitle,
                                            QStringLiteral("Сохранить изменения в таблицах ?"),
                                            QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes)
        Save_DB();
    save_layout_all();
    m_session.close();
}

void TForm1::Save_DB() {
    if (!TableOpen())
        return;
    m_views->finishEdits();
    m_session.save();
}

void TForm1::N3Click() {
    if (!OpenDialog1.choose(this, QStringLiteral("Базы данных|*.dbf"), QStringLiteral(".dbf")))
        return;
    const QString file = OpenDialog1.fileName;
    if (TableOpen())
        Close_DB();
    DefaultDir = QDir::toNativeSeparators(QFileInfo(file).absolutePath());
    Open_DB(file);
}

void TForm1::N15Click() {
    Save_DB();
}

void TForm1::N16Click() {
    Close_DB();
}
