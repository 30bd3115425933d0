#pragma once

#include "report/ReportTemplate.h"

#include <QByteArray>
#include <QPainter>
#include <QRectF>
#include <QString>

#include <vector>

// A laid-out report: pages of drawing items in millimetres, independent of any device.
namespace report {

struct DrawItem {
    QRectF rect; // mm from the top left corner of the paper
    QString text;
    FontStyle font;
    HAlign hAlign = HAlign::Left;
    VAlign vAlign = VAlign::Top;
    bool wordWrap = false;
    bool clip = true;
    bool frame = false;

    bool operator==(const DrawItem&) const = default;
};

struct PreparedPage {
    std::vector<DrawItem> items;

    bool operator==(const PreparedPage&) const = default;
};

struct TextMatch {
    int page = -1;
    int item = -1;
    bool found() const { return page >= 0; }
};

class PreparedReport {
public:
    PageSetup page;
    std::vector<PreparedPage> pages;

    int pageCount() const { return int(pages.size()); }

    // Paints one page with its top left paper corner at `origin` (device pixels), `pixelsPerMm`
    // device pixels to the millimetre. Text sizes follow the scale on any device.
    void paintPage(QPainter& painter, int pageIndex, QPointF origin, double pixelsPerMm) const;

    // The first item after (fromPage, fromItem), in reading order and wrapping round to the start,
    // whose text contains `needle` (case-insensitive). (-1, -1) starts at the beginning.
    TextMatch find(const QString& needle, int fromPage = -1, int fromItem = -1) const;

    // Our own file format: magic, version, body, CRC-32. A damaged or foreign file gives a KvError,
    // never a crash or a half-read report.
    QByteArray serialize() const;
    static PreparedReport deserialize(const QByteArray& data);
    void saveFile(const QString& path) const; // written beside and renamed over the target
    // The name a prepared report is saved under: path itself when its file name ends with
    // ".kvr" in any case, otherwise path with ".kvr" added.
    static QString fileNameFor(const QString& path);
    static PreparedReport loadFile(const QString& path);

    bool operator==(const PreparedReport& other) const {
        return page.paper == other.page.paper && page.landscape == other.page.landscape &&
               page.paperSizeCode == other.page.paperSizeCode && page.margins == other.page.margins &&
               pages == other.pages;
    }
};

// The font of an item on a device of the given resolution at the given scale.
QFont deviceFont(const FontStyle& style, double pixelsPerMm, const QPaintDevice* device);

// Width in mm that `text` needs in `font` on one line.
double textWidthMm(const FontStyle& font, const QString& text);

} // namespace report
