#include "report/ReportPrinter.h"

#include "core/Error.h"
#include "core/FileLayer.h"

#include <QBuffer>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>

#include <algorithm>
#include <cmath>

namespace report {

std::vector<int> parsePageList(const QString& text, int pageCount) {
    std::vector<int> pages;
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return pages;
    const QPageRanges ranges = QPageRanges::fromString(trimmed);
    if (ranges.isEmpty())
        throw KvError(
            QStringLiteral("Не удалось прочитать список страниц «%1». Пример: 1,3,5-12").arg(trimmed));
    // Keep the order the user wrote, without printing a page twice.
    std::vector<bool> taken(std::size_t(pageCount) + 1, false);
    for (const QString& piece : trimmed.split(u',', Qt::SkipEmptyParts)) {
        const QPageRanges one = QPageRanges::fromString(piece.trimmed());
        for (const QPageRanges::Range& r : one.toRangeList()) {
            if (r.to > pageCount)
                throw KvError(
                    QStringLiteral("В отчёте нет страницы %1: в нём %2 стр.").arg(r.to).arg(pageCount));
            for (int p = r.from; p <= r.to; ++p) {
                if (!taken[std::size_t(p)]) {
                    taken[std::size_t(p)] = true;
                    pages.push_back(p);
                }
            }
        }
    }
    return pages;
}

std::vector<int> PrintJob::sequence(int pageCount) const {
    std::vector<int> list = pages;
    if (list.empty())
        for (int p = 1; p <= pageCount; ++p)
            list.push_back(p);
    std::vector<int> seq;
    const int n = std::max(1, copies);
    if (collate) {
        for (int c = 0; c < n; ++c)
            seq.insert(seq.end(), list.begin(), list.end());
    } else {
        for (int p : list)
            seq.insert(seq.end(), std::size_t(n), p);
    }
    return seq;
}

QPageLayout pageLayoutOf(const PreparedReport& report) {
    const QSizeF paper = report.page.paper;
    // The layout names the paper upright; the orientation turns it.
    const QSizeF portrait = report.page.landscape ? paper.transposed() : paper;
    QPageSize size(portrait, QPageSize::Millimeter, QString(), QPageSize::FuzzyOrientationMatch);
    return QPageLayout(size, report.page.landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                       QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
}

PageFit fitPage(const QSizeF& reportPaperMm, const QSizeF& sheetMm) {
    PageFit fit;
    if (reportPaperMm.isEmpty() || sheetMm.isEmpty())
        return fit;
    fit.scale =
        std::min({1.0, sheetMm.width() / reportPaperMm.width(), sheetMm.height() / reportPaperMm.height()});
    // Within a hundredth of a millimetre the sheet is the report's paper: no rounding drift.
    if (std::abs(sheetMm.width() - reportPaperMm.width()) < 0.01 &&
        std::abs(sheetMm.height() - reportPaperMm.height()) < 0.01)
        fit.scale = 1;
    fit.offset = QPointF((sheetMm.width() - reportPaperMm.width() * fit.scale) / 2,
                         (sheetMm.height() - reportPaperMm.height() * fit.scale) / 2);
    return fit;
}

void printReport(const PreparedReport& report, QPagedPaintDevice& device, const PrintJob& job) {
    for (int p : job.pages)
        if (p < 1 || p > report.pageCount())
            throw KvError(
                QStringLiteral("В отчёте нет страницы %1: в нём %2 стр.").arg(p).arg(report.pageCount()));
    const std::vector<int> seq = job.sequence(report.pageCount());
    QPainter painter;
    if (!painter.begin(&device))
        throw KvError(QStringLiteral("Не удалось начать печать отчёта."));
    const QPageLayout layout = device.pageLayout();
    const QRectF paint = layout.paintRectPixels(device.logicalDpiX());
    const QSizeF sheet = layout.fullRect(QPageLayout::Millimeter).size();
    const PageFit fit = fitPage(report.page.paper, sheet);
    const double devicePixelsPerMm = device.logicalDpiX() / 25.4;
    const double pixelsPerMm = devicePixelsPerMm * fit.scale;
    // The painter starts at the paint rectangle; the report is laid out from the paper's corner.
    const QPointF origin(fit.offset.x() * devicePixelsPerMm - paint.left(),
                         fit.offset.y() * devicePixelsPerMm - paint.top());
    bool firstPage = true;
    for (int p : seq) {
        if (!firstPage && !device.newPage()) {
            painter.end();
            throw KvError(QStringLiteral("Не удалось начать новую страницу при печати отчёта."));
        }
        firstPage = false;
        report.paintPage(painter, p - 1, origin, pixelsPerMm);
    }
    if (!painter.end())
        throw KvError(QStringLiteral("Печать отчёта не завершилась."));
}

void writePdf(const PreparedReport& report, const QString& path, const PrintJob& job) {
    // The document is made in memory and saved whole: a failed save leaves the old file as it was.
    QBuffer document;
    document.open(QIODevice::WriteOnly);
    {
        QPdfWriter pdf(&document);
        pdf.setResolution(600);
        pdf.setCreator(QStringLiteral("Кварнел-ЛД5"));
        pdf.setTitle(QStringLiteral("Кварнел-ЛД5"));
        pdf.setPageLayout(pageLayoutOf(report));
        printReport(report, pdf, job);
    }
    fileio::saveAtomically(path, document.data(), QStringLiteral("Не удалось записать файл «%1»: %2"));
}

} // namespace report
