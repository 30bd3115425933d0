#pragma once

#include "ui/HelpBook.h"

#include <QWidget>

class QLineEdit;
class QListWidget;
class QTabWidget;
class QTextBrowser;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

// The manual's window: contents and search on the left, the page on the right, back and forward.
// Modeless; the main window keeps one and shows it again on every "Помощь".
class HelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit HelpWindow(HelpBook book, QWidget* owner = nullptr);

    const HelpBook& book() const { return m_book; }

    void showPage(const QUrl& url);
    // Runs the search of the search tab; the hits are listed there, the first one is shown.
    void search(const QString& query);
    QUrl currentPage() const;

    QTreeWidget* Contents = nullptr;
    QLineEdit* SearchText = nullptr;
    QListWidget* SearchResults = nullptr;
    QTextBrowser* Page = nullptr;
    QToolButton* Back = nullptr;
    QToolButton* Forward = nullptr;
    QToolButton* Home = nullptr;

private:
    void fillContents();
    void markWords(); // highlights the searched words on the shown page
    void followContents(QTreeWidgetItem* item);
    void pageChanged(const QUrl& url);

    HelpBook m_book;
    QTabWidget* m_tabs = nullptr;
    QStringList m_words;
};
