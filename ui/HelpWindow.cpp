#include "ui/HelpWindow.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QTabWidget>
#include <QTextBrowser>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

HelpWindow::HelpWindow(HelpBook book, QWidget* owner) : QWidget(owner, Qt::Window), m_book(std::move(book)) {
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("Кварнел-ЛД5 — справка"));
    // Fits the screen also at large scaling, where 1040 × 700 logical pixels may not.
    QSize size(1040, 700);
    if (const QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableGeometry().size() * 0.9);
    resize(size);

    auto* bar = new QHBoxLayout;
    auto toolButton = [&](const char* name, const QString& text, const QKeySequence& key) {
        auto* b = new QToolButton(this);
        b->setObjectName(QString::fromLatin1(name));
        b->setText(text);
        b->setShortcut(key);
        b->setToolButtonStyle(Qt::ToolButtonTextOnly);
        b->setAutoRaise(true);
        bar->addWidget(b);
        return b;
    };
    Back = toolButton("Back", QStringLiteral("◀ Назад"), QKeySequence(Qt::ALT | Qt::Key_Left));
    Forward = toolButton("Forward", QStringLiteral("Вперёд ▶"), QKeySequence(Qt::ALT | Qt::Key_Right));
    Home = toolButton("Home", QStringLiteral("Содержание"), QKeySequence(Qt::ALT | Qt::Key_Home));
    bar->addStretch();

    m_tabs = new QTabWidget(this);
    Contents = new QTreeWidget(m_tabs);
    Contents->setObjectName(QStringLiteral("Contents"));
    Contents->setHeaderHidden(true);
    m_tabs->addTab(Contents, QStringLiteral("Содержание"));

    auto* searchPage = new QWidget(m_tabs);
    auto* searchLayout = new QVBoxLayout(searchPage);
    auto* searchLine = new QHBoxLayout;
    SearchText = new QLineEdit(searchPage);
    SearchText->setObjectName(QStringLiteral("SearchText"));
    SearchText->setPlaceholderText(QStringLiteral("Слово или слова"));
    SearchText->setClearButtonEnabled(true);
    auto* find = new QPushButton(QStringLiteral("Найти"), searchPage);
    find->setObjectName(QStringLiteral("Find"));
    searchLine->addWidget(SearchText);
    searchLine->addWidget(find);
    SearchResults = new QListWidget(searchPage);
    SearchResults->setObjectName(QStringLiteral("SearchResults"));
    SearchResults->setWordWrap(true);
    searchLayout->addLayout(searchLine);
    searchLayout->addWidget(SearchResults);
    m_tabs->addTab(searchPage, QStringLiteral("Поиск"));

    Page = new QTextBrowser(this);
    Page->setObjectName(QStringLiteral("Page"));
    Page->setOpenLinks(true);
    Page->setOpenExternalLinks(false);

    auto* split = new QSplitter(this);
    split->addWidget(m_tabs);
    split->addWidget(Page);
    split->setStretchFactor(1, 1);
    split->setSizes({size.width() * 3 / 10, size.width() * 7 / 10});

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(bar);
    layout->addWidget(split, 1);

    connect(Back, &QToolButton::clicked, Page, &QTextBrowser::backward);
    connect(Forward, &QToolButton::clicked, Page, &QTextBrowser::forward);
    connect(Home, &QToolButton::clicked, this, [this] { showPage(m_book.home()); });
    connect(Page, &QTextBrowser::backwardAvailable, Back, &QToolButton::setEnabled);
    connect(Page, &QTextBrowser::forwardAvailable, Forward, &QToolButton::setEnabled);
    connect(Page, &QTextBrowser::sourceChanged, this, &HelpWindow::pageChanged);
    connect(Contents, &QTreeWidget::itemActivated, this, &HelpWindow::followContents);
    connect(Contents, &QTreeWidget::itemClicked, this, &HelpWindow::followContents);
    connect(m_tabs, &QTabWidget::currentChanged, this, [this](int tab) {
        if (tab == 1)
            SearchText->setFocus();
    });
    connect(SearchText, &QLineEdit::returnPressed, this, [this] { search(SearchText->text()); });
    connect(find, &QPushButton::clicked, this, [this] { search(SearchText->text()); });
    connect(SearchResults, &QListWidget::currentRowChanged, this, [this](int row) {
        if (QListWidgetItem* item = SearchResults->item(row))
            showPage(item->data(Qt::UserRole).toUrl());
    });

    Back->setEnabled(false);
    Forward->setEnabled(false);
    fillContents();
    showPage(m_book.home());
}

void HelpWindow::fillContents() {
    auto* home = new QTreeWidgetItem(Contents, {m_book.homeTitle()});
    home->setData(0, Qt::UserRole, m_book.home());
    for (const HelpBook::Page& page : m_book.pages()) {
        auto* item = new QTreeWidgetItem(Contents, {page.title});
        item->setData(0, Qt::UserRole, page.url);
        item->setToolTip(0, page.title);
        for (const HelpBook::Section& section : page.sections) {
            auto* child = new QTreeWidgetItem(item, {section.title});
            child->setData(0, Qt::UserRole, section.url);
            child->setToolTip(0, section.title);
        }
    }
}

void HelpWindow::followContents(QTreeWidgetItem* item) {
    if (item)
        showPage(item->data(0, Qt::UserRole).toUrl());
}

void HelpWindow::showPage(const QUrl& url) {
    if (url.isEmpty())
        return;
    Page->setSource(url);
    markWords();
}

QUrl HelpWindow::currentPage() const {
    return Page->source();
}

void HelpWindow::pageChanged(const QUrl& url) {
    // The contents follow the page shown, also when a link inside a page was followed.
    QUrl page = url;
    page.setFragment(QString());
    for (int i = 0; i < Contents->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = Contents->topLevelItem(i);
        if (item->data(0, Qt::UserRole).toUrl() == page) {
            const QSignalBlocker quiet(Contents);
            Contents->setCurrentItem(item);
            break;
        }
    }
    markWords();
}

void HelpWindow::search(const QString& query) {
    if (SearchText->text() != query)
        SearchText->setText(query);
    m_tabs->setCurrentIndex(1);
    m_words = HelpBook::searchWords(query);
    const QSignalBlocker quiet(SearchResults);
    SearchResults->clear();
    if (m_words.isEmpty()) {
        markWords();
        return;
    }
    const QList<HelpBook::Hit> hits = m_book.search(query);
    if (hits.isEmpty()) {
        auto* none = new QListWidgetItem(QStringLiteral("Ничего не найдено."), SearchResults);
        none->setFlags(Qt::NoItemFlags);
        return;
    }
    for (const HelpBook::Hit& hit : hits) {
        const HelpBook::Page& page = m_book.pages().at(hit.page);
        auto* item = new QListWidgetItem(page.title + QStringLiteral("\n") + hit.excerpt, SearchResults);
        item->setData(Qt::UserRole, page.url);
        item->setToolTip(page.title);
    }
    SearchResults->setCurrentRow(0);
    showPage(hits.first().page >= 0 ? m_book.pages().at(hits.first().page).url : m_book.home());
}

void HelpWindow::markWords() {
    QList<QTextEdit::ExtraSelection> marks;
    QTextCursor first;
    for (const QString& word : std::as_const(m_words)) {
        QTextCursor c(Page->document());
        while (true) {
            c = Page->document()->find(word, c);
            if (c.isNull())
                break;
            QTextEdit::ExtraSelection mark;
            mark.cursor = c;
            mark.format.setBackground(QColor(255, 230, 120));
            marks.append(mark);
            if (first.isNull() || c.position() < first.position())
                first = c;
        }
    }
    Page->setExtraSelections(marks);
    if (!first.isNull() && Page->source().fragment().isEmpty()) {
        QTextCursor at(first);
        at.clearSelection();
        Page->setTextCursor(at);
        Page->ensureCursorVisible();
    }
}
