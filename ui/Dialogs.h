#pragma once

#include <QColor>
#include <QString>

#include <functional>
#include <memory>

class QWidget;

// The main window's common dialogs, held as objects with the settings their callers prepare
// before each showing. A handler replaces the real dialog (tests answer it without a window).
class FileDialog {
public:
    enum class Kind { Open, Save };
    explicit FileDialog(Kind kind) : m_kind(kind) {}

    // The folder a file was last chosen in, shared by the dialogs that remember together.
    struct FolderMemory {
        QString folder;
    };

    Kind kind() const { return m_kind; }
    QString fileName;    // in: proposed name (empty for none); out: the chosen file
    QString filter;      // "Description|*.ext" pairs joined by '|'
    int filterIndex = 1; // 1-based
    QString defaultExt;  // ".dbf" or "dbf"; appended when the typed name has no extension
    QString initialDir;  // where the dialog starts; the remembered folder once there is one
    QString title;
    std::shared_ptr<FolderMemory> memory; // none: the dialog starts in initialDir every time

    // Shows the dialog; true when a file was chosen (fileName then holds it, and its folder is
    // remembered).
    bool execute(QWidget* parent);

    // Prepares the dialog as every command does (no proposed name, this one filter, first entry,
    // this default extension); with choose() also shows it: true when a non-empty name was chosen.
    void prepare(const QString& filter, const QString& ext);
    bool choose(QWidget* parent, const QString& filter, const QString& ext);

    std::function<bool(FileDialog&)> handler;

    // "Базы данных|*.dbf" -> "Базы данных (*.dbf)", one entry per pair.
    static QStringList qtFilters(const QString& filter);

private:
    bool show(QWidget* parent);

    Kind m_kind;
};

class ColorDialog {
public:
    QColor color = Qt::white;
    bool execute(QWidget* parent);
    std::function<bool(ColorDialog&)> handler;
};
