#include "report/ui/PreviewWindow.h"

#include "core/Error.h"
#include "core/FileLayer.h"
#include "report/ui/PrintDialog.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QToolBar>
#include <QVBoxLayout>

namespace report {

PageView::PageView(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PageView::setReport(const PreparedReport* report) {
    m_report = report;
    m_highlight = -1;
    updateGeometry();
    resize(sizeHint());
    update();
}

void PageView::setPage(int page) {
    m_page = page;
    m_highlight = -1;
    update();
}

void PageView::setPixelsPerMm(double ppm) {
    m_ppm = ppm;
    updateGeometry();
    resize(sizeHint());
    update();
}

void PageView::setHighlight(int item) {
    m_highlight = item;
    update();
}

QSize PageView::sizeHint() const {
    const QSizeF paper = m_report ? m_report->page.paper : QSizeF(297, 210);
    return QSize(int(paper.width() * m_ppm) + 2 * border, int(paper.height() * m_ppm) + 2 * border);
}

QRect PageView::itemRect(int item) const {
    if (!m_report || m_page >= m_report->pageCount() || item < 0 ||
        item >= int(m_report->pages[m_page].items.size()))
        return {};
    const QRectF r = m_report->pages[m_page].items[item].rect;
    return QRectF(border + r.x() * m_ppm, border + r.y() * m_ppm, r.width() * m_ppm, r.height() * m_ppm)
        .toAlignedRect();
}

void PageView::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    p.fillRect(event->rect(), QColor(128, 128, 128));
    if (!m_report)
        return;
    const QSizeF paper = m_report->page.paper;
    const QRectF sheet(border, border, paper.width() * m_ppm, paper.height() * m_ppm);
    p.fillRect(sheet.translated(3, 3), QColor(64, 64, 64));
    p.fillRect(sheet, Qt::white);
    if (m_highlight >= 0)
        p.fillRect(itemRect(m_highlight), QColor(255, 230, 0));
    m_report->paintPage(p, m_page, sheet.topLeft(), m_ppm);
}

PreviewWindow::PreviewWindow(PreparedReport report, QWidget* parent)
    : QDialog(parent), m_report(std::move(report)) {
    setWindowTitle(QStringLiteral("Предварительный просмотр"));
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setSizeGripEnabled(true);

    auto* bar = new QToolBar(this);
    bar->setToolButtonStyle(Qt::ToolButtonTextOnly);

    auto addAction = [&](const QString& text, const QString& tip, const QKeySequence& key, auto slot) {
        QAction* a = bar->addAction(text);
        a->setToolTip(tip);
        if (!key.isEmpty()) {
            a->setShortcut(key);
            a->setShortcutContext(Qt::WindowShortcut);
        }
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    m_first = addAction(QStringLiteral("Первая"), QStringLiteral("Первая страница"),
                        QKeySequence(Qt::CTRL | Qt::Key_Home), [this] { firstPage(); });
    m_prev = addAction(QStringLiteral("Назад"), QStringLiteral("Предыдущая страница"),
                       QKeySequence(Qt::Key_PageUp), [this] { previousPage(); });
    m_pageBox = new QSpinBox(bar);
    m_pageBox->setToolTip(QStringLiteral("Номер страницы"));
    m_pageBox->setKeyboardTracking(false);
    bar->addWidget(new QLabel(QStringLiteral(" Стр. "), bar));
    bar->addWidget(m_pageBox);
    m_pageTotal = new QLabel(bar);
    bar->addWidget(m_pageTotal);
    connect(m_pageBox, &QSpinBox::valueChanged, this, [this](int v) { showPage(v - 1); });
    m_next = addAction(QStringLiteral("Вперёд"), QStringLiteral("Следующая страница"),
                       QKeySequence(Qt::Key_PageDown), [this] { nextPage(); });
    m_last = addAction(QStringLiteral("Последняя"), QStringLiteral("Последняя страница"),
                       QKeySequence(Qt::CTRL | Qt::Key_End), [this] { lastPage(); });
    bar->addSeparator();

    m_zoomBox = new QComboBox(bar);
    m_zoomBox->setToolTip(QStringLiteral("Масштаб"));
    m_zoomBox->addItem(QStringLiteral("По ширине"), -1);
    m_zoomBox->addItem(QStringLiteral("Страница целиком"), 0);
    for (int pct : {25, 50, 75, 100, 150, 200, 300})
        m_zoomBox->addItem(QStringLiteral("%1%").arg(pct), pct);
    m_zoomBox->setCurrentIndex(1);
    connect(m_zoomBox, &QComboBox::activated, this, &PreviewWindow::zoomChosen);
    bar->addWidget(m_zoomBox);
    bar->addSeparator();

    m_findEdit = new QLineEdit(bar);
    m_findEdit->setPlaceholderText(QStringLiteral("Текст для поиска"));
    m_findEdit->setMaximumWidth(200);
    bar->addWidget(m_findEdit);
    connect(m_findEdit, &QLineEdit::returnPressed, this, [this] {
        if (m_findEdit->text() == m_needle && m_match.found())
            findNext();
        else
            find(m_findEdit->text());
    });
    addAction(QStringLiteral("Найти"), QStringLiteral("Найти текст с начала отчёта"), QKeySequence::Find,
              [this] {
                  if (m_findEdit->text().isEmpty())
                      m_findEdit->setFocus();
                  else
                      find(m_findEdit->text());
              });
    addAction(QStringLiteral("Найти далее"), QStringLiteral("Найти следующее место"), QKeySequence::FindNext,
              [this] { findNext(); });
    bar->addSeparator();
    addAction(QStringLiteral("Печать..."), QStringLiteral("Напечатать отчёт"), QKeySequence::Print,
              [this] { print(); });
    addAction(QStringLiteral("Сохранить..."), QStringLiteral("Сохранить подготовленный отчёт в файл"),
              QKeySequence::Save, [this] { saveAs(); });
    addAction(QStringLiteral("Открыть..."), QStringLiteral("Загрузить сохранённый отчёт"), QKeySequence::Open,
              [this] { open(); });
    addAction(QStringLiteral("Закрыть"), QStringLiteral("Закрыть окно просмотра"), {}, [this] { reject(); });

    m_scroll = new QScrollArea(this);
    m_scroll->setAlignment(Qt::AlignCenter);
    m_scroll->setBackgroundRole(QPalette::Dark);
    m_view = new PageView;
    m_view->setReport(&m_report);
    m_scroll->setWidget(m_view);
    m_scroll->viewport()->installEventFilter(this);

    m_status = new QLabel(this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(bar);
    layout->addWidget(m_scroll, 1);
    layout->addWidget(m_status);

    resize(1000, 720);
    updateControls();
    updateScale();
}

void PreviewWindow::setReport(PreparedReport report) {
    m_report = std::move(report);
    m_match = {};
    m_page = 0;
    m_view->setReport(&m_report);
    m_view->setPage(0);
    updateControls();
    updateScale();
}

void PreviewWindow::showPage(int page) {
    page = std::clamp(page, 0, std::max(0, m_report.pageCount() - 1));
    if (page != m_page) {
        m_page = page;
        m_view->setPage(page);
        if (m_match.page == page)
            m_view->setHighlight(m_match.item);
        m_scroll->verticalScrollBar()->setValue(0);
    }
    updateControls();
}

void PreviewWindow::updateControls() {
    const int count = m_report.pageCount();
    const QSignalBlocker block(m_pageBox);
    m_pageBox->setRange(count > 0 ? 1 : 0, std::max(count, 0));
    m_pageBox->setValue(m_page + 1);
    m_pageTotal->setText(QStringLiteral(" из %1 ").arg(count));
    m_first->setEnabled(m_page > 0);
    m_prev->setEnabled(m_page > 0);
    m_next->setEnabled(m_page + 1 < count);
    m_last->setEnabled(m_page + 1 < count);
}

double PreviewWindow::pixelsPerMm() const {
    return m_view->pixelsPerMm();
}

void PreviewWindow::setZoom(Zoom zoom, int percent) {
    m_zoom = zoom;
    m_percent = std::clamp(percent, 10, 1000);
    const QSignalBlocker block(m_zoomBox);
    int index = zoom == Zoom::FitWidth ? 0 : zoom == Zoom::WholePage ? 1 : m_zoomBox->findData(m_percent);
    if (index < 0) {
        m_zoomBox->addItem(QStringLiteral("%1%").arg(m_percent), m_percent);
        index = m_zoomBox->count() - 1;
    }
    m_zoomBox->setCurrentIndex(index);
    updateScale();
}

void PreviewWindow::zoomChosen(int index) {
    const int data = m_zoomBox->itemData(index).toInt();
    if (data < 0)
        setZoom(Zoom::FitWidth);
    else if (data == 0)
        setZoom(Zoom::WholePage);
    else
        setZoom(Zoom::Percent, data);
}

void PreviewWindow::updateScale() {
    const QSizeF paper = m_report.page.paper;
    const QSize room = m_scroll->viewport()->size() - QSize(2 * PageView::border, 2 * PageView::border);
    double ppm = logicalDpiX() / 25.4;
    switch (m_zoom) {
    case Zoom::FitWidth:
        // Leave room for the vertical scroll bar the taller page will need.
        ppm = (room.width() - m_scroll->verticalScrollBar()->sizeHint().width()) / paper.width();
        break;
    case Zoom::WholePage:
        ppm = std::min(room.width() / paper.width(), room.height() / paper.height());
        break;
    case Zoom::Percent:
        ppm = ppm * m_percent / 100.0;
        break;
    }
    m_view->setPixelsPerMm(std::max(0.2, ppm));
}

bool PreviewWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_scroll->viewport() && event->type() == QEvent::Resize && m_zoom != Zoom::Percent)
        updateScale();
    return QDialog::eventFilter(watched, event);
}

bool PreviewWindow::find(const QString& text) {
    m_needle = text;
    if (m_findEdit->text() != text)
        m_findEdit->setText(text);
    return showMatch(m_report.find(text));
}

bool PreviewWindow::findNext() {
    if (m_findEdit->text() != m_needle || m_needle.isEmpty())
        return find(m_findEdit->text());
    // After a match, go on from it; otherwise from the top of the page shown.
    return showMatch(m_match.found() ? m_report.find(m_needle, m_match.page, m_match.item)
                                     : m_report.find(m_needle, m_page, -1));
}

bool PreviewWindow::showMatch(TextMatch match) {
    m_match = match;
    if (!match.found()) {
        m_status->setText(QStringLiteral("Текст «%1» не найден.").arg(m_needle));
        m_view->setHighlight(-1);
        return false;
    }
    m_status->clear();
    showPage(match.page);
    m_view->setHighlight(match.item);
    const QPoint centre = m_view->itemRect(match.item).center();
    m_scroll->ensureVisible(centre.x(), centre.y(), 50, 50);
    return true;
}

void PreviewWindow::print() {
    try {
        printWithDialog(this, m_report, m_page + 1);
    } catch (const KvError& e) {
        QMessageBox::critical(this, QStringLiteral("Error"), e.message());
    }
}

QString PreviewWindow::askFile(bool save) {
    const QString title = save ? QStringLiteral("Сохранить отчёт") : QStringLiteral("Открыть отчёт");
    const QString start = folder ? *folder : QString();
    QString path;
    if (chooseFile)
        path = chooseFile(title, start);
    else if (save)
        path = QFileDialog::getSaveFileName(this, title, start, QStringLiteral("Отчёт Кварнел-ЛД5 (*.kvr)"));
    else
        path = QFileDialog::getOpenFileName(this, title, start,
                                            QStringLiteral("Отчёт Кварнел-ЛД5 (*.kvr);;Все файлы (*)"));
    if (!path.isEmpty() && folder)
        *folder = QDir::toNativeSeparators(QFileInfo(path).absolutePath());
    return path;
}

void PreviewWindow::saveAs() {
    QString path = askFile(true);
    if (path.isEmpty())
        return;
    path = PreparedReport::fileNameFor(path);
    try {
        m_report.saveFile(path);
    } catch (const KvError& e) {
        QMessageBox::critical(this, QStringLiteral("Error"), e.message());
    }
    for (const QString& notice : fileio::takeNotices())
        QMessageBox::information(this, QStringLiteral("Кварнел-ЛД5"), notice);
}

void PreviewWindow::open() {
    const QString path = askFile(false);
    if (path.isEmpty())
        return;
    try {
        loadFile(path);
    } catch (const KvError& e) {
        QMessageBox::critical(this, QStringLiteral("Error"), e.message());
    }
}

void PreviewWindow::loadFile(const QString& path) {
    setReport(PreparedReport::loadFile(path));
}

void showPreview(QWidget* parent, PreparedReport report, QString* folder) {
    PreviewWindow window(std::move(report), parent);
    window.folder = folder;
    window.setWindowState(window.windowState() | Qt::WindowMaximized);
    window.exec();
}

} // namespace report
