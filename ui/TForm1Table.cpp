#include "ui/TForm1.h"

#include "db/MeasurementTable.h"
#include "ui/Command.h"
#include "ui/ModeViews.h"

#include <QDir>
#include <QFileInfo>

void TForm1::createTableFile(const QString& path) {
    TableOpen = false;
    if (Dbf1.isOpen())
        Dbf1.close();
    m_views->DataSource1().reset();
    MeasurementTable::createFile(path);
    MeasurementTable::open(Dbf1, path);
    TableOpen = true;
    m_views->DataSource1().reset();
}

void TForm1::Open_DB(const QString& path) {
    if (TableOpen)
        Close_DB();
    try {
        MeasurementTable::open(Dbf1, path);
    } catch (const std::exception&) {
        m_views->DataSource1().reset();
        command::message(this, QMessageBox::Critical, QStringLiteral("Ошибка"),
                         QStringLiteral("База данных повреждена !"));
        return;
    }
    TableOpen = true;
    m_views->DataSource1().reset();
    en_but();
    load_layout_all();
    setApplicationTitle(QFileInfo(path).completeBaseName() + QStringLiteral(" - ") + BaseTitle);
    setWindowTitle(applicationTitle());
    TableModified = false;
}

void TForm1::Close_DB() {
    // An editor still open holds a typed value that closing the table posts.
    m_views->finishEdits();
    if (TableModified && command::message(this, QMessageBox::Question, BaseTitle,
                                          QStringLiteral("Сохранить изменения в таблицах ?"),
                                          QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes)
        Save_DB();
    save_layout_all();
    TableOpen = false;
    TableModified = false;
    if (Dbf1.isOpen())
        Dbf1.close();
    m_views->DataSource1().reset();
    dis_but();
    setApplicationTitle(BaseTitle);
    setWindowTitle(applicationTitle());
}

void TForm1::Save_DB() {
    if (!TableOpen)
        return;
    if (Dbf1.isOpen()) {
        m_views->finishEdits();
        const QString path = Dbf1.path();
        Dbf1.close();
        try {
            Dbf1.open(path, DbfTable::Access::Exclusive);
        } catch (...) {
            // The file could not be taken back: show the window as it is, without a table.
            TableOpen = false;
            TableModified = false;
            m_views->DataSource1().reset();
            dis_but();
            setApplicationTitle(BaseTitle);
            setWindowTitle(applicationTitle());
            throw;
        }
        m_views->DataSource1().reread();
    }
    TableModified = false;
}

void TForm1::N3Click() {
    if (!OpenDialog1.choose(this, QStringLiteral("Базы данных|*.dbf"), QStringLiteral(".dbf")))
        return;
    const QString file = OpenDialog1.fileName;
    if (TableOpen)
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
