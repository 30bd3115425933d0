#include "report/PreparedReport.h"

#include <QFontMetricsF>
#include <QPaintDevice>

namespace report {

QFont deviceFont(const FontStyle& style, double pixelsPerMm, const QPaintDevice* device) {
    QFont f(style.family);
    f.setBold(style.bold);
    f.setItalic(style.italic);
    // A point is 25.4/72 mm; QFont point sizes are relative to the device's logical resolution.
    const double dpi = device ? device->logicalDpiY() : 96.0;
    f.setPointSizeF(std::max(0.1, style.pointSize * pixelsPerMm * 25.4 / dpi));
    f.setStyleStrategy(QFont::PreferOutline);
    return f;
}

double textWidthMm(const FontStyle& style, const QString& text) {
    // Measured large, in hundredths of a millimetre, so hinting does not distort the result.
    QFont f(style.family);
    f.setBold(style.bold);
    f.setItalic(style.italic);
    f.setPixelSize(std::max(1, int(style.pointSize * 25.4 / 72.0 * 100.0 + 0.5)));
    f.setStyleStrategy(QFont::PreferOutline);
    f.setHintingPreference(QFont::PreferNoHinting);
    return QFontMetricsF(f).horizontalAdvance(text) / 100.0;
}

namespace {

int alignmentFlags(const DrawItem& item, VAlign vAlign) {
    int flags = 0;
    switch (item.hAlign) {
    case HAlign::Left:
        flags |= Qt::AlignLeft;
        break;
    case HAlign::Center:
        flags |= Qt::AlignHCenter;
        break;
    case HAlign::Right:
        flags |= Qt::AlignRight;
        break;
    }
    switch (vAlign) {
    case VAlign::Top:
        flags |= Qt::AlignTop;
        break;
    case VAlign::Center:
        flags |= Qt::AlignVCenter;
        break;
    case VAlign::Bottom:
        flags |= Qt::AlignBottom;
        break;
    }
    if (item.wordWrap)
        flags |= Qt::TextWordWrap;
    return flags;
}

} // namespace

void PreparedReport::paintPage(QPainter& painter, int pageIndex, QPointF origin, double pixelsPerMm) const {
    if (pageIndex < 0 || pageIndex >= pageCount())
        return;
    // A small inner margin keeps text off the frame lines.
    const double padding = 0.5 * pixelsPerMm;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.setBrush(Qt::NoBrush);
    QPen framePen(Qt::black);
    framePen.setWidthF(std::max(1.0, frameLineWidthMm * pixelsPerMm));
    const QPen textPen(Qt::black);
    // A page uses a handful of fonts; building one per item would dominate the time of a long report.
    std::vector<std::pair<FontStyle, QFont>> fonts;
    auto fontFor = [&](const FontStyle& style) -> const QFont& {
        for (const auto& [s, f] : fonts)
            if (s == style)
                return f;
        fonts.emplace_back(style, deviceFont(style, pixelsPerMm, painter.device()));
        return fonts.back().second;
    };
    for (const DrawItem& item : pages[pageIndex].items) {
        const QRectF r(origin.x() + item.rect.x() * pixelsPerMm, origin.y() + item.rect.y() * pixelsPerMm,
                       item.rect.width() * pixelsPerMm, item.rect.height() * pixelsPerMm);
        if (!item.text.isEmpty()) {
            painter.setPen(textPen);
            painter.setFont(fontFor(item.font));
            const QRectF textRect = r.adjusted(padding, 0, -padding, 0);
            const QFontMetricsF metrics(painter.font(), painter.device());
            const bool multiLine = item.text.contains(u'\n');
            const double advance = multiLine ? 0.0 : metrics.horizontalAdvance(item.text);
            if (!multiLine && advance <= textRect.width() && metrics.height() <= textRect.height()) {
                // One line that fits, the usual cell: placed directly, without the layout pass of
                // the rectangle form, which dominates the time of a long report.
                double x = textRect.left();
                if (item.hAlign == HAlign::Center)
                    x += (textRect.width() - advance) / 2;
                else if (item.hAlign == HAlign::Right)
                    x = textRect.right() - advance;
                double y = textRect.top() + metrics.ascent();
                if (item.vAlign == VAlign::Center)
                    y += (textRect.height() - metrics.height()) / 2;
                else if (item.vAlign == VAlign::Bottom)
                    y = textRect.bottom() - metrics.descent();
                painter.drawText(QPointF(x, y), item.text);
            } else {
                VAlign v = item.vAlign;
                if (v != VAlign::Top && (multiLine || advance > textRect.width())) {
                    // Text taller than its object shows its beginning, not its middle lines.
                    const QRectF need = painter.fontMetrics().boundingRect(
                        textRect.toRect(), alignmentFlags(item, VAlign::Top), item.text);
                    if (need.height() > textRect.height())
                        v = VAlign::Top;
                }
                // QPainter cuts text that overflows its rectangle unless told not to.
                painter.drawText(textRect, alignmentFlags(item, v) | (item.clip ? 0 : int(Qt::TextDontClip)),
                                 item.text);
            }
        }
        if (item.frame) {
            painter.setPen(framePen);
            painter.drawRect(r);
        }
    }
    painter.restore();
}

TextMatch PreparedReport::find(const QString& needle, int fromPage, int fromItem) const {
    if (needle.isEmpty() || pages.empty())
        return {};
    // Flattened positions: start just after (fromPage, fromItem) and go once round.
    std::vector<std::pair<int, int>> order;
    for (int p = 0; p < pageCount(); ++p)
        for (int i = 0; i < int(pages[p].items.size()); ++i)
            order.emplace_back(p, i);
    if (order.empty())
        return {};
    std::size_t start = 0;
    if (fromPage >= 0) {
        for (std::size_t k = 0; k < order.size(); ++k) {
            if (order[k].first > fromPage || (order[k].first == fromPage && order[k].second > fromItem)) {
                start = k;
                break;
            }
            start = order.size(); // past the end: wrap to the beginning
        }
        if (start == order.size())
            start = 0;
    }
    for (std::size_t n = 0; n < order.size(); ++n) {
        const auto [p, i] = order[(start + n) % order.size()];
        if (pages[p].items[i].text.contains(needle, Qt::CaseInsensitive))
            return {p, i};
    }
    return {};
}

} // namespace report
