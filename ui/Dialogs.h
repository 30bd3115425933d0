#pragma once

#include <QColor>
#include <QString>

#include <functional>

class QWidget;

// The main window's common dialogs, held as objects with the settings their callers prepare
// before each showing. A handler replaces the real dialog (tests answer it without a window).
class FileDialog {
public:
    enum class Kind { Open, Save };
    explicit FileDialog(Kind kind) : m_kind(kind) {}

    Kind kind() const { return m_kind; }
    QString fileName;    // in: proposed name (empty for none); out: the chosen file
    QString filter;      // "Description|*.ext" pairs joined by '|'
    int filterIndex = 1; // 1-based
    QString defaultExt;  // ".dbf" or "dbf"; appended when the typed name has no extension
    QString initialDir;
    QString title;

    // Shows the dialog; true when a file was chosen (fileName then holds it).
    bool execute(QWidget* parent);

    // Prepares the dialog as every command does (no proposed name, this one filter, first entry,
    // this default extension); with choose() also shows it: true when a non-empty name was chosen.
    void prepare(const QString& filter, const QString& ext);
    bool choose(QWidget* parent, const QString& filter, const QString& ext);

    std::function<bool(FileDialog&)> handler;

    // "Базы данных|*.dbf" -> "Базы данных (*.dbf)", one entry per pair.
    static QStringList qtFilters(const QString& filter);

private:
    Kind m_kind;
};

class ColorDialog {
public:
    QColor color = Qt::white;
    bool execute(QWidget* parent);
    std::function<bool(ColorDialog&)> handler;
};
