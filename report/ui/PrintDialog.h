#pragma once

#include "report/PreparedReport.h"
#include "report/ReportPrinter.h"

#include <QPrintDialog>
#include <QWidget>

class QLineEdit;
class QLabel;

namespace report {

// Our own page-list field. The platform dialog's "Pages" field of this Qt build refuses every
// list once a CUPS printer exists, so the list is read here with QPageRanges::fromString.
class PageListField : public QWidget {
    Q_OBJECT
public:
    explicit PageListField(QWidget* parent = nullptr);
    QString text() const;
    void setText(const QString& text);
    QLineEdit* edit() const { return m_edit; }

private:
    QLineEdit* m_edit;
};

// The platform print dialog (printer, copies, collation, range) with our page-list field in a
// tab of its own. An unreadable list keeps the dialog open with a message.
class ReportPrintDialog : public QPrintDialog {
    Q_OBJECT
public:
    ReportPrintDialog(QPrinter* printer, int pageCount, int currentPage, QWidget* parent = nullptr);

    PageListField* pageListField() const { return m_pageList; }
    // What to print after the dialog was accepted. Throws KvError for an unreadable page list.
    PrintJob job() const;

    void accept() override;

private:
    PageListField* m_pageList;
    int m_pageCount;
    int m_currentPage; // 1-based
};

// Paints the job onto the printer's paper as it is set (the report's own unless the user chose
// another), each page fitted on.
void printReport(const PreparedReport& report, QPrinter& printer, const PrintJob& job);

// Shows the print dialog and prints the chosen pages. False when the user cancels.
bool printWithDialog(QWidget* parent, const PreparedReport& report, int currentPage);

} // namespace report
