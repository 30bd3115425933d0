#include "ui/TForm1.h"

#include "core/FileLayer.h"
#include "db/MeasurementTable.h"
#include "grid/ui/DBGridPro.h"
#include "ui/Command.h"
#include "ui/ModeViews.h"

#include <QDir>
#include <QFileInfo>

namespace {

// The line under "База данных повреждена !" that says why, when the file layer knows it.
QString openFailureReason(const std::exception& failure) {
    const auto* error = dynamic_cast<const fileio::OpenError*>(&failure);
    if (!error)
        return {};
    switch (error->reason()) {
    case fileio::OpenFailure::Missing:
        return QStringLiteral("Файл не найден.");
    case fileio::OpenFailure::NoReadPermission:
        return QStringLiteral("Нет прав на чтение файла.");
    case fileio::OpenFailure::NoWritePermission:
        return QStringLiteral("Нет прав на запись в файл.");
    case fileio::OpenFailure::LockedByOther:
        return QStringLiteral("Таблица открыта другой программой.");
    case fileio::OpenFailure::LockUnsupported:
        return QStringLiteral("Не удалось заблокировать файл (сетевая папка?)");
    case fileio::OpenFailure::NotAFile:
    case fileio::OpenFailure::Other:
        return error->message(); // names the file and the system's reason
    }
    return {};
}

// What the table layer found wrong with a file it could open (another record, a header it cannot
// read), as it words it.
QString tableFailureReason(const std::exception& failure) {
    if (dynamic_cast<const fileio::FileError*>(&failure))
        return {};
    const auto* error = dynamic_cast<const KvError*>(&failure);
    return error ? error->message() : QString();
}

} // namespace

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
    } catch (const std::exception& e) {
        QString text = QStringLiteral("База данных повреждена !");
        if (const QString reason = openFailureReason(e); !reason.isEmpty())
            text += QLatin1Char('\n') + reason;
        else if (const QString why = tableFailureReason(e); !why.isEmpty())
            text += QLatin1Char('\n') + why;
        command::message(this, QMessageBox::Critical, QStringLiteral("Ошибка"), text);
        return;
    }
    en_but();
    load_layout_all();
    showTableTitle(path);
    if (m_session.isReadOnly())
        command::message(this, QMessageBox::Warning, BaseTitle,
                         QStringLiteral("Не удалось заблокировать файл (сетевая папка?)\n"
                                        "Таблица открыта только для чтения: изменить, удалить строки, "
                                        "дополнить или сохранить её нельзя."));
    for (const QString& notice : m_session.table().openNotices())
        command::message(this, QMessageBox::Warning, BaseTitle, notice);
}

void TForm1::showTableTitle(const QString& path) {
    setApplicationTitle(QFileInfo(path).completeBaseName() + QStringLiteral(" - ") + BaseTitle);
    setWindowTitle(applicationTitle());
}

void TForm1::followReadOnly() {
    for (int page = 0; page < MeasurementTable::kModeCount; ++page)
        grid(page)->setReadOnly(m_session.isReadOnly());
}

bool TForm1::refuseReadOnly() {
    if (!m_session.isReadOnly())
        return false;
    command::message(this, QMessageBox::Warning, BaseTitle, readOnlyRefusal());
    return true;
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
    if (!TableOpen() || refuseReadOnly())
        return;
    m_views->finishEdits();
    if (const QString repaired = m_session.save(); !repaired.isEmpty())
        command::message(this, QMessageBox::Information, BaseTitle, repaired);
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
