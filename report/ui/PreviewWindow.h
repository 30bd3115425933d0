#pragma once

#include "report/PreparedReport.h"

#include <QDialog>
#include <QWidget>

#include <functional>

class QComboBox;
class QLabel;
class QLineEdit;
class QScrollArea;
class QSpinBox;
class QAction;

namespace report {

// One page of a prepared report drawn at a scale, with an optional highlighted item.
class PageView : public QWidget {
    Q_OBJECT
public:
    explicit PageView(QWidget* parent = nullptr);
    void setReport(const PreparedReport* report);
    void setPage(int page);
    void setPixelsPerMm(double ppm);
    void setHighlight(int item); // -1: none
    int highlight() const { return m_highlight; }
    double pixelsPerMm() const { return m_ppm; }
    QSize sizeHint() const override;
    // Where the item lies in this widget, for scrolling to a match.
    QRect itemRect(int item) const;

    static constexpr int border = 12;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const PreparedReport* m_report = nullptr;
    int m_page = 0;
    double m_ppm = 3.78;
    int m_highlight = -1;
};

// The preview window: zoom, page navigation, text search, print, save and load, close.
class PreviewWindow : public QDialog {
    Q_OBJECT
public:
    enum class Zoom { FitWidth, WholePage, Percent };

    explicit PreviewWindow(PreparedReport report, QWidget* parent = nullptr);

    const PreparedReport& report() const { return m_report; }
    void setReport(PreparedReport report);

    int currentPage() const { return m_page; } // 0-based
    void showPage(int page);                   // clamps
    void firstPage() { showPage(0); }
    void previousPage() { showPage(m_page - 1); }
    void nextPage() { showPage(m_page + 1); }
    void lastPage() { showPage(m_report.pageCount() - 1); }

    void setZoom(Zoom zoom, int percent = 100);
    Zoom zoom() const { return m_zoom; }
    double pixelsPerMm() const;

    // find searches from the start of the report, findNext after the current match (or from the
    // page shown); both show the page of the match and highlight it. False, with a note in the
    // window, when the text is nowhere.
    bool find(const QString& text);
    bool findNext();
    TextMatch currentMatch() const { return m_match; }

    void print();  // the print dialog for this report
    void saveAs(); // asks for a file name
    void open();   // asks for a file name; a damaged file is reported and the report kept

    // The folder the save and open dialogs start in, shared with the caller's own file dialogs:
    // empty for the working folder; the folder of a chosen file is written back. Owned by the
    // caller, which outlives the window.
    QString* folder = nullptr;
    // Replaces the real file dialogs (tests answer them without a window): (title, start folder)
    // -> the chosen path, empty for none.
    std::function<QString(const QString&, const QString&)> chooseFile;
    void loadFile(const QString& path); // throws KvError

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QString askFile(bool save); // the chosen path, empty for none
    void updateScale();
    void updateControls();
    void zoomChosen(int index);
    bool showMatch(TextMatch match);

    PreparedReport m_report;
    int m_page = 0;
    Zoom m_zoom = Zoom::WholePage;
    int m_percent = 100;
    TextMatch m_match;
    QString m_needle;

    QScrollArea* m_scroll;
    PageView* m_view;
    QSpinBox* m_pageBox;
    QLabel* m_pageTotal;
    QComboBox* m_zoomBox;
    QLineEdit* m_findEdit;
    QLabel* m_status;
    QAction* m_first;
    QAction* m_prev;
    QAction* m_next;
    QAction* m_last;
};

// Shows the report modally in the preview window.
void showPreview(QWidget* parent, PreparedReport report, QString* folder = nullptr);

} // namespace report
