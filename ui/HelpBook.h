#pragma once

#include <QList>
#include <QString>
#include <QUrl>

// The program's manual as the help window shows it: the pages in the order of the contents page,
// each with its headings, and a search over their text. Window-free; reads the HTML pages from
// a folder (the manual's resources in the program, any folder in tests).
class HelpBook {
public:
    struct Section {
        QString title;
        QUrl url; // the page with the heading's anchor
    };
    struct Page {
        QString title;
        QUrl url;
        QList<Section> sections;
        QString text; // the page as plain text, for the search
    };
    struct Hit {
        int page = 0;    // index into pages()
        int count = 0;   // how often the words occur on the page
        QString excerpt; // the first line that holds the first word
    };

    // The book of the program's built-in manual.
    static HelpBook builtIn();

    // Reads the contents page `indexFile` of `folder`; its links to other pages of the folder (after
    // the element with id "contents", where there is one) give the pages and their order. A page
    // that cannot be read is left out.
    static HelpBook read(const QString& folder, const QString& indexFile = QStringLiteral("index.html"));

    const QList<Page>& pages() const { return m_pages; }
    QUrl home() const { return m_home; }
    QString homeTitle() const { return m_homeTitle; }

    // Pages that hold every word of `query` (case ignored), those with the most occurrences first.
    QList<Hit> search(const QString& query) const;
    // The words of a query that count: words of one or two letters ("не", "в") only when the query
    // has no longer word, since they occur inside almost every word.
    static QStringList searchWords(const QString& query);

    // Helpers for reading our own HTML; public because the link check of the tests uses them too.
    static QString titleOf(const QString& html);
    static QList<Section> headingsOf(const QString& html, const QUrl& page);
    static QStringList linksOf(const QString& html);
    static QStringList anchorsOf(const QString& html);
    static QString plainText(const QString& html);

private:
    QList<Page> m_pages;
    QUrl m_home;
    QString m_homeTitle;
};
