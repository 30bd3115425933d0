#pragma once

#include "report/PreparedReport.h"

#include <QPageLayout>
#include <QPageRanges>
#include <QPointF>
#include <QSizeF>
#include <QString>

#include <vector>

class QPagedPaintDevice;

namespace report {

// The 1-based page numbers a user's page list names, in the order printed. Accepts what
// QPageRanges::fromString accepts ("1,3,5-12"); an empty text means every page. Throws KvError for
// a text it cannot read or a page the report does not have.
std::vector<int> parsePageList(const QString& text, int pageCount);

// The pages and copies to print. Copies are repeated here, the whole list at a time when collated,
// each page `copies` times in a row otherwise.
struct PrintJob {
    std::vector<int> pages; // 1-based; empty means every page
    int copies = 1;
    bool collate = true;

    std::vector<int> sequence(int pageCount) const;
};

// How a report page lies on a sheet of another size or orientation: scaled by `scale` (never
// more than 1: a larger sheet takes the page at its own size) so that it fits whole, and moved
// by `offset` (mm on the sheet) so that it stands centred.
struct PageFit {
    double scale = 1;
    QPointF offset;
};
PageFit fitPage(const QSizeF& reportPaperMm, const QSizeF& sheetMm);

// Paints the job's pages onto a paged device, each page fitted onto the device's full sheet
// (fitPage): the report's own paper prints at its size, another paper or orientation the user
// chose takes the page scaled down and centred. The device must not be painting yet.
void printReport(const PreparedReport& report, QPagedPaintDevice& device, const PrintJob& job = {});

// Writes the report as a PDF file, beside the target and renamed over it.
void writePdf(const PreparedReport& report, const QString& path, const PrintJob& job = {});

QPageLayout pageLayoutOf(const PreparedReport& report);

} // namespace report
