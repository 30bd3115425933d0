#include "report/ui/PrintDialog.h"

#include "core/Error.h"

#include <QBoxLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrinter>

namespace report {

PageListField::PageListField(QWidget* parent) : QWidget(parent) {
    setWindowTitle(QStringLiteral("Список страниц"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* label = new QLabel(QStringLiteral("Номера страниц:"), this);
    m_edit = new QLineEdit(this);
    m_edit->setObjectName(QStringLiteral("pageListEdit"));
    m_edit->setPlaceholderText(QStringLiteral("например 1,3,5-12"));
    m_edit->setToolTip(QStringLiteral("Номера и диапазоны страниц через запятую. Пустое поле: печатаются "
                                      "страницы, выбранные выше."));
    label->setBuddy(m_edit);
    layout->addWidget(label);
    layout->addWidget(m_edit, 1);
}

QString PageListField::text() const {
    return m_edit->text();
}
void PageListField::setText(const QString& text) {
    m_edit->setText(text);
}

ReportPrintDialog::ReportPrintDialog(QPrinter* printer, int pageCount, int currentPage, QWidget* parent)
    : QPrintDialog(printer, parent), m_pageList(new PageListField), m_pageCount(pageCount),
      m_currentPage(currentPage) {
    setWindowTitle(QStringLiteral("Печать отчёта"));
    setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintPageRange |
               QAbstractPrintDialog::PrintCollateCopies | QAbstractPrintDialog::PrintCurrentPage |
               QAbstractPrintDialog::PrintShowPageSize);
    setMinMax(1, std::max(1, pageCount));
    // Next to the standard range choice where the dialog is ours to arrange; in a tab of its own
    // where it is not.
    auto* range = findChild<QGroupBox*>(QStringLiteral("gbPrintRange"));
    if (auto* rows = range ? qobject_cast<QBoxLayout*>(range->layout()) : nullptr) {
        int at = rows->count();
        for (int i = 0; i < rows->count(); ++i)
            if (QLayout* row = rows->itemAt(i)->layout(); row && row->objectName() == u"pagesLayout")
                at = i + 1;
        m_pageList->setParent(range);
        rows->insertWidget(at, m_pageList);
        // The dialog's own list field is the one that refuses every list: ours takes its place.
        for (const char* name : {"pagesRadioButton", "pagesLineEdit"})
            if (QWidget* native = range->findChild<QWidget*>(QLatin1String(name)))
                native->hide();
        return;
    }
    setOptionTabs({m_pageList});
}

PrintJob ReportPrintDialog::job() const {
    PrintJob j;
    const QPrinter* p = const_cast<ReportPrintDialog*>(this)->printer();
    if (!m_pageList->text().trimmed().isEmpty()) {
        j.pages = parsePageList(m_pageList->text(), m_pageCount);
    } else {
        switch (printRange()) {
        case QAbstractPrintDialog::CurrentPage:
            j.pages = {std::clamp(m_currentPage, 1, std::max(1, m_pageCount))};
            break;
        case QAbstractPrintDialog::PageRange:
            for (const QPageRanges::Range& r : p->pageRanges().toRangeList())
                for (int page = r.from; page <= std::min(r.to, m_pageCount); ++page)
                    j.pages.push_back(page);
            if (j.pages.empty())
                throw KvError(QStringLiteral("В выбранном диапазоне нет страниц отчёта."));
            break;
        default:
            break;
        }
    }
    // A printer that makes copies itself is asked for them; otherwise we repeat the pages.
    if (!p->supportsMultipleCopies() || p->outputFormat() == QPrinter::PdfFormat) {
        j.copies = std::max(1, p->copyCount());
        j.collate = p->collateCopies();
    }
    return j;
}

void ReportPrintDialog::accept() {
    try {
        parsePageList(m_pageList->text(), m_pageCount);
    } catch (const KvError& e) {
        QMessageBox::warning(this, windowTitle(), e.message());
        m_pageList->edit()->setFocus();
        return;
    }
    QPrintDialog::accept();
}

void printReport(const PreparedReport& report, QPrinter& printer, const PrintJob& job) {
    // The paper and orientation are the printer's as the dialog left them; the page is fitted on.
    printer.setFullPage(true);
    printReport(report, static_cast<QPagedPaintDevice&>(printer), job);
}

bool printWithDialog(QWidget* parent, const PreparedReport& report, int currentPage) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setFullPage(true);
    printer.setPageLayout(pageLayoutOf(report));
    printer.setDocName(QStringLiteral("Кварнел-ЛД5"));
    ReportPrintDialog dialog(&printer, report.pageCount(), currentPage, parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    PrintJob job = dialog.job();
    // Copies we repeat ourselves must not be multiplied again by the device.
    if (job.copies > 1 || !printer.supportsMultipleCopies() || printer.outputFormat() == QPrinter::PdfFormat)
        printer.setCopyCount(1);
    printReport(report, printer, job);
    return true;
}

} // namespace report
