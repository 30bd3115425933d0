#include "ui/Dialogs.h"

#include <QColorDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

QStringList FileDialog::qtFilters(const QString& filter) {
    QStringList parts = filter.split(QLatin1Char('|'));
    QStringList result;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        result << parts[i] + QStringLiteral(" (") +
                      QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' ')) + QLatin1Char(')');
    return result;
}

void FileDialog::prepare(const QString& filter_, const QString& ext) {
    fileName.clear();
    filter = filter_;
    filterIndex = 1;
    defaultExt = ext;
}

bool FileDialog::choose(QWidget* parent, const QString& filter_, const QString& ext) {
    prepare(filter_, ext);
    return execute(parent) && !fileName.isEmpty();
}

bool FileDialog::execute(QWidget* parent) {
    if (memory && !memory->folder.isEmpty())
        initialDir = memory->folder;
    const bool chosen = show(parent);
    if (chosen && memory)
        memory->folder = QDir::toNativeSeparators(QFileInfo(fileName).absolutePath());
    return chosen;
}

bool FileDialog::show(QWidget* parent) {
    if (handler)
        return handler(*this) && !fileName.isEmpty();

    QFileDialog dialog(parent, title, initialDir);
    dialog.setAcceptMode(m_kind == Kind::Open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    dialog.setFileMode(m_kind == Kind::Open ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    // Replacing an existing file is the caller's business, as with the platform dialogs it stands for.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    const QStringList filters = qtFilters(filter);
    dialog.setNameFilters(filters);
    if (filterIndex >= 1 && filterIndex <= filters.size())
        dialog.selectNameFilter(filters[filterIndex - 1]);
    QString ext = defaultExt;
    if (ext.startsWith(QLatin1Char('.')))
        ext.remove(0, 1);
    dialog.setDefaultSuffix(ext);
    if (!fileName.isEmpty())
        dialog.selectFile(fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    fileName = dialog.selectedFiles().constFirst();
    return !fileName.isEmpty();
}

bool ColorDialog::execute(QWidget* parent) {
    if (handler)
        return handler(*this);
    QColor chosen = QColorDialog::getColor(color, parent);
    if (!chosen.isValid())
        return false;
    color = chosen;
    return true;
}
