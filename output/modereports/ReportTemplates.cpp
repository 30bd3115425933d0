#include "output/modereports/ReportTemplates.h"

#include "core/Error.h"
#include "db/MeasurementSchema.h"

#include <QStringList>

#include <cmath>

namespace reports {
namespace {

using report::Band;
using report::BandType;
using report::DisplayFormat;
using report::FontStyle;
using report::HAlign;
using report::ReportTemplate;
using report::TextObject;
using report::VAlign;

constexpr double titleHeight = 17.7;
constexpr double headerHeight = 11.1;
constexpr double dataHeight = 5.5;
constexpr double footerHeight = 5.5;
// The page line ends on the right margin, 290.0 mm from the paper's left edge.
constexpr double pageLineRight = 290.0;
// The table begins on the left margin.
constexpr double pageLeft = 6.9;

FontStyle arial(double size, bool bold) {
    FontStyle f;
    f.family = QStringLiteral("Arial");
    f.pointSize = size;
    f.bold = bold;
    return f;
}

// One table column: its heading cell above its data cell, same left edge and width.
struct Column {
    double left;
    double width;
    QString heading;
    QString field;
    DisplayFormat format;
    double headingSize = 12; // Arial bold
};

TextObject tableCell(const Column& c, double height, const QString& text, FontStyle font) {
    TextObject o;
    o.name = c.field;
    o.rect = QRectF(c.left, 0, c.width, height);
    o.text = text;
    o.font = font;
    o.hAlign = HAlign::Center;
    o.vAlign = VAlign::Center;
    o.wordWrap = true;
    o.frame = true;
    o.clip = true;
    return o;
}

DisplayFormat text() {
    return DisplayFormat::text();
}
DisplayFormat picture(const char* p) {
    return DisplayFormat::picture(QString::fromLatin1(p));
}

ReportTemplate build(const QString& name, const QString& modeTitle, const std::vector<Column>& columns) {
    ReportTemplate t;
    t.name = name;
    // Page setup is PageSetup's default: A4 landscape, margins 6.9 / 20.0 / 6.9 / 6.9 mm.

    Band title{BandType::ReportTitle, titleHeight, {}};
    TextObject product;
    product.name = QStringLiteral("product");
    product.rect = QRectF(6.9, 0, 56.8, titleHeight);
    product.text = QStringLiteral("Кварнел-ЛД5");
    product.font = arial(16, true);
    product.hAlign = HAlign::Left;
    product.vAlign = VAlign::Top;
    title.objects.push_back(product);
    TextObject mode;
    mode.name = QStringLiteral("mode");
    mode.rect = QRectF(115.9, 0, 64.9, titleHeight);
    mode.text = modeTitle;
    mode.font = arial(14, true);
    mode.hAlign = HAlign::Center;
    mode.vAlign = VAlign::Center;
    title.objects.push_back(mode);

    Band header{BandType::PageHeader, headerHeight, {}};
    Band data{BandType::MasterData, dataHeight, {}};
    for (const Column& c : columns) {
        header.objects.push_back(tableCell(c, headerHeight, c.heading, arial(c.headingSize, true)));
        TextObject cell =
            tableCell(c, dataHeight, QStringLiteral("[Dbf1.\"%1\"]").arg(c.field), arial(10, false));
        cell.format = c.format;
        data.objects.push_back(cell);
    }

    Band footer{BandType::PageFooter, footerHeight, {}};
    TextObject pageLine;
    pageLine.name = QStringLiteral("page");
    pageLine.rect = QRectF(pageLineRight - 40, 0, 40, footerHeight);
    pageLine.text = QStringLiteral("Стр. [PAGE#] из [TOTALPAGES]");
    pageLine.font = arial(10, false);
    pageLine.hAlign = HAlign::Right;
    pageLine.vAlign = VAlign::Center;
    pageLine.widthFromText = true;
    footer.objects.push_back(pageLine);

    t.bands = {title, header, data, footer};
    return t;
}

using MeasurementSchema::Field;

DisplayFormat formatOf(Field f, int mode) {
    switch (f) {
    case Field::A:
        return mode == 2 ? DisplayFormat::fixed(3) : picture("00.000");
    case Field::F:
        return mode == 2 ? picture("00.000") : picture("000.000");
    case Field::V:
    case Field::S:
        return picture("00.000");
    case Field::TR_F:
    case Field::TR_A:
        return picture("000.0");
    default:
        return text();
    }
}

// The headings of the thresholds, the duration and the interval print smaller to fit their cells.
double headingSizeOf(Field f) {
    switch (f) {
    case Field::TR_F:
    case Field::TR_A:
    case Field::T:
    case Field::DT:
        return 10;
    default:
        return 12;
    }
}

// The printed columns of a mode side by side from the left margin, in the order of its view.
std::vector<Column> columnsOf(int mode) {
    std::vector<Column> columns;
    double left = pageLeft;
    for (const MeasurementSchema::ModeColumn& mc : MeasurementSchema::modeColumns(mode)) {
        if (!MeasurementSchema::shownIn(mc.field, MeasurementSchema::Place::Report))
            continue;
        const MeasurementSchema::FieldDef& d = MeasurementSchema::field(mc.field);
        // Positions are whole tenths of a millimetre; the sum of the widths is rounded back to them.
        const double at = std::round(left * 10) / 10;
        columns.push_back(
            {at, mc.reportWidth, d.texts.reportHeading, d.name, formatOf(d.id, mode), headingSizeOf(d.id)});
        left = at + mc.reportWidth;
    }
    return columns;
}

} // namespace

ReportTemplate frReport1() {
    return build(QStringLiteral("frReport1"), QStringLiteral("Оперативный режим"), columnsOf(0));
}

ReportTemplate frReport2() {
    return build(QStringLiteral("frReport2"), QStringLiteral("Ждущий режим"), columnsOf(1));
}

ReportTemplate frReport3() {
    return build(QStringLiteral("frReport3"), QStringLiteral("Режим наблюдения"), columnsOf(2));
}

ReportTemplate templateForMode(int mode) {
    switch (mode) {
    case 0:
        return frReport1();
    case 1:
        return frReport2();
    case 2:
        return frReport3();
    }
    throw KvError(QStringLiteral("Нет отчёта для режима %1: режимы 0, 1 и 2.").arg(mode));
}

} // namespace reports
