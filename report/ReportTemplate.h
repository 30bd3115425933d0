#pragma once

#include "report/DisplayFormat.h"

#include <QMarginsF>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <vector>

// A banded report template. Knows fields only by name: the rows come from a ReportDataSource.
// All lengths are millimetres; x is measured from the left edge of the paper, y from the top of
// the object's band.
namespace report {

struct FontStyle {
    QString family = QStringLiteral("Arial");
    double pointSize = 10;
    bool bold = false;
    bool italic = false;

    bool operator==(const FontStyle&) const = default;
};

enum class HAlign : quint8 { Left, Center, Right };
enum class VAlign : quint8 { Top, Center, Bottom };

struct TextObject {
    QString name;
    QRectF rect;
    // Literal text with expressions in brackets: [Source."FIELD"], [PAGE#], [TOTALPAGES].
    QString text;
    FontStyle font;
    HAlign hAlign = HAlign::Left;
    VAlign vAlign = VAlign::Top;
    bool wordWrap = false;
    bool frame = false; // thin solid black line on all four sides
    bool clip = true;   // text that does not fit is cut at the object's edge
    // The object is as wide as its text; its right edge stays where rect puts it.
    bool widthFromText = false;
    DisplayFormat format; // applied to each field value of the text
};

enum class BandType : quint8 { ReportTitle, PageHeader, MasterData, PageFooter };

struct Band {
    BandType type = BandType::MasterData;
    double height = 0;
    std::vector<TextObject> objects;
};

struct PageSetup {
    QSizeF paper{297, 210}; // as laid out, so landscape A4 is 297 wide
    bool landscape = true;
    int paperSizeCode = 9; // A4
    QMarginsF margins{6.9, 20.0, 6.9, 6.9};
};

struct ReportTemplate {
    QString name;
    PageSetup page;
    std::vector<Band> bands; // at most one band of each type

    const Band* band(BandType type) const;
};

// Thin frame width: one pixel of a 96 dpi screen.
inline constexpr double frameLineWidthMm = 25.4 / 96.0;

} // namespace report
