#include "chart/TrendChart.h"

#include "chart/Axes.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <limits>

namespace chart {
namespace {

constexpr double kHalfHour = 30 * 60 * 1000.0;
constexpr double kMinSpan = 1000.0; // one second

const QColor kZoneColors[4] = {QColor(0xc6, 0xef, 0xc6), QColor(0xf3, 0xf6, 0xb4), QColor(0xff, 0xdc, 0xa8),
                               QColor(0xff, 0xb8, 0xb8)};
const QColor kZoneMarks[4] = {QColor(0x2e, 0x8b, 0x2e), QColor(0xa8, 0xa8, 0x00), QColor(0xe0, 0x80, 0x00),
                              QColor(0xd0, 0x20, 0x20)};
const QColor kSeriesColor(0x1f, 0x4e, 0xa8);

} // namespace

void TrendChart::setSeries(Series series) {
    m_series = std::move(series);
    m_marked = -1;
    if (m_zones)
        m_counts = countZones(m_series, *m_zones);
    resetRange();
}

void TrendChart::setLogScale(bool on) {
    m_log = on;
    resetRange();
}

void TrendChart::setZones(const std::optional<ZoneLimits>& limits, const QString& name) {
    m_zones = limits;
    m_zoneName = name;
    m_counts = limits ? countZones(m_series, *limits) : ZoneCounts{};
    resetRange();
}

TrendChart::Range TrendChart::fullRange() const {
    Range r;
    if (m_series.x.empty()) {
        r.x0 = 0; // an empty chart still has an hour to label
        r.x1 = 2 * kHalfHour;
    } else {
        r.x0 = m_series.x.front();
        r.x1 = m_series.x.back();
        if (r.x1 - r.x0 < kMinSpan) {
            r.x0 -= kHalfHour;
            r.x1 += kHalfHour;
        } else {
            const double pad = (r.x1 - r.x0) * 0.02;
            r.x0 -= pad;
            r.x1 += pad;
        }
    }
    double lo = std::numeric_limits<double>::infinity();
    double hi = -lo;
    for (double y : m_series.y)
        if (plottable(y)) {
            lo = std::min(lo, y);
            hi = std::max(hi, y);
        }
    if (m_zones) {
        lo = std::min(lo, m_zones->ab / 2);
        hi = std::max(hi, m_zones->cd * 1.2);
    }
    if (m_log) {
        if (!(lo <= hi)) {
            lo = 0.1;
            hi = 10;
        }
        r.y0 = lo / 1.6;
        r.y1 = hi * 1.6;
    } else {
        if (!(lo <= hi)) {
            lo = 0;
            hi = 1;
        }
        r.y0 = std::min(0.0, lo);
        r.y1 = hi > r.y0 ? hi + (hi - r.y0) * 0.08 : r.y0 + 1;
    }
    return r;
}

void TrendChart::setRange(const Range& range) {
    Range r = range;
    if (r.x1 < r.x0)
        std::swap(r.x0, r.x1);
    if (r.y1 < r.y0)
        std::swap(r.y0, r.y1);
    if (r.x1 - r.x0 < kMinSpan) {
        const double mid = (r.x0 + r.x1) / 2;
        r.x0 = mid - kMinSpan / 2;
        r.x1 = mid + kMinSpan / 2;
    }
    if (m_log) {
        r.y0 = std::max(r.y0, 1e-9);
        r.y1 = std::max(r.y1, r.y0 * 1.001);
    } else if (r.y1 - r.y0 < 1e-9) {
        r.y1 = r.y0 + 1e-9;
    }
    m_range = r;
}

QRectF TrendChart::plotRect(const QRectF& area) const {
    // Room for the title and legend above, two lines of time labels and the axis title below,
    // value labels and the rotated value title on the left.
    const double line = std::max(12.0, area.height() / 50);
    const double left = 7.5 * line;
    const double top = 3.2 * line;
    const double bottom = 3.6 * line;
    const double right = 1.6 * line;
    return QRectF(area.left() + left, area.top() + top, std::max(10.0, area.width() - left - right),
                  std::max(10.0, area.height() - top - bottom));
}

double TrendChart::mapX(double x, const QRectF& plot) const {
    return plot.left() + (x - m_range.x0) / (m_range.x1 - m_range.x0) * plot.width();
}

double TrendChart::mapY(double y, const QRectF& plot) const {
    const double f =
        m_log ? (std::log10(y) - std::log10(m_range.y0)) / (std::log10(m_range.y1) - std::log10(m_range.y0))
              : (y - m_range.y0) / (m_range.y1 - m_range.y0);
    return plot.bottom() - f * plot.height();
}

double TrendChart::unmapX(double px, const QRectF& plot) const {
    return m_range.x0 + (px - plot.left()) / plot.width() * (m_range.x1 - m_range.x0);
}

double TrendChart::unmapY(double py, const QRectF& plot) const {
    const double f = (plot.bottom() - py) / plot.height();
    if (m_log)
        return std::pow(10.0, std::log10(m_range.y0) + f * (std::log10(m_range.y1) - std::log10(m_range.y0)));
    return m_range.y0 + f * (m_range.y1 - m_range.y0);
}

void TrendChart::zoomAt(const QPointF& pos, const QRectF& area, double factor, bool bothAxes) {
    const QRectF plot = plotRect(area);
    Range r = m_range;
    const double cx = unmapX(std::clamp(pos.x(), plot.left(), plot.right()), plot);
    r.x0 = cx - (cx - r.x0) * factor;
    r.x1 = cx + (r.x1 - cx) * factor;
    if (bothAxes) {
        const double cy = unmapY(std::clamp(pos.y(), plot.top(), plot.bottom()), plot);
        if (m_log) {
            const double l = std::log10(cy);
            r.y0 = std::pow(10.0, l - (l - std::log10(r.y0)) * factor);
            r.y1 = std::pow(10.0, l + (std::log10(r.y1) - l) * factor);
        } else {
            r.y0 = cy - (cy - r.y0) * factor;
            r.y1 = cy + (r.y1 - cy) * factor;
        }
    }
    setRange(r);
}

void TrendChart::zoomTo(const QRectF& band, const QRectF& area) {
    const QRectF plot = plotRect(area);
    const QRectF b = band.normalized().intersected(plot);
    if (b.width() < 3 || b.height() < 3)
        return;
    setRange(
        {unmapX(b.left(), plot), unmapX(b.right(), plot), unmapY(b.bottom(), plot), unmapY(b.top(), plot)});
}

std::pair<int, int> TrendChart::visibleIndexes() const {
    const auto& x = m_series.x;
    int first = int(std::lower_bound(x.begin(), x.end(), m_range.x0) - x.begin());
    int last = int(std::upper_bound(x.begin(), x.end(), m_range.x1) - x.begin());
    return {std::max(0, first - 1), std::min(int(x.size()), last + 1)};
}

int TrendChart::visibleCount() const {
    const auto& x = m_series.x;
    return int(std::upper_bound(x.begin(), x.end(), m_range.x1) -
               std::lower_bound(x.begin(), x.end(), m_range.x0));
}

std::optional<QPointF> TrendChart::position(int index, const QRectF& area) const {
    if (index < 0 || index >= m_series.size() || !plottable(m_series.y[std::size_t(index)]))
        return std::nullopt;
    const QRectF plot = plotRect(area);
    return QPointF(mapX(m_series.x[std::size_t(index)], plot), mapY(m_series.y[std::size_t(index)], plot));
}

int TrendChart::pointAt(const QPointF& pos, const QRectF& area, double radius) const {
    const QRectF plot = plotRect(area);
    if (!plot.adjusted(-radius, -radius, radius, radius).contains(pos))
        return -1;
    const auto& x = m_series.x;
    const double from = unmapX(pos.x() - radius, plot);
    const double to = unmapX(pos.x() + radius, plot);
    int best = -1;
    double bestDistance = radius * radius;
    for (auto i = std::lower_bound(x.begin(), x.end(), from) - x.begin();
         i < m_series.size() && x[std::size_t(i)] <= to; ++i) {
        const double y = m_series.y[std::size_t(i)];
        if (!plottable(y))
            continue;
        const double dx = mapX(x[std::size_t(i)], plot) - pos.x();
        const double dy = mapY(y, plot) - pos.y();
        if (dx * dx + dy * dy <= bestDistance) {
            bestDistance = dx * dx + dy * dy;
            best = int(i);
        }
    }
    return best;
}

void TrendChart::paint(QPainter& p, const QRectF& area) const {
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.fillRect(area, Qt::white);
    QFont font = p.font();
    font.setPixelSize(int(std::max(12.0, area.height() / 50) * 0.9));
    p.setFont(font);
    const QRectF plot = plotRect(area);
    paintZones(p, plot);
    paintAxes(p, area, plot);
    paintSeries(p, plot);
    paintLegend(p, area);
    p.restore();
}

void TrendChart::paintZones(QPainter& p, const QRectF& plot) const {
    if (!m_zones)
        return;
    const double bounds[5] = {m_log ? m_range.y0 : std::min(m_range.y0, 0.0), m_zones->ab, m_zones->bc,
                              m_zones->cd, std::max(m_range.y1, m_zones->cd)};
    p.save();
    p.setClipRect(plot);
    for (int z = 0; z < 4; ++z) {
        const double lo = std::max(bounds[z], m_range.y0);
        const double hi = std::min(bounds[z + 1], m_range.y1);
        if (hi <= lo)
            continue;
        const double top = mapY(hi, plot);
        const double bottom = mapY(lo, plot);
        p.fillRect(QRectF(plot.left(), top, plot.width(), bottom - top), kZoneColors[z]);
    }
    p.setPen(QPen(QColor(0x80, 0x80, 0x80), 1, Qt::DashLine));
    const QFontMetricsF fm(p.font());
    for (int b = 1; b <= 3; ++b) {
        if (bounds[b] <= m_range.y0 || bounds[b] >= m_range.y1)
            continue;
        const double y = mapY(bounds[b], plot);
        p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        const QString text =
            QStringLiteral("%1/%2 %3").arg(zoneLetter(b - 1)).arg(zoneLetter(b)).arg(bounds[b]);
        p.drawText(QPointF(plot.right() - fm.horizontalAdvance(text) - 4, y - 3), text);
    }
    for (int z = 0; z < 4; ++z) {
        const double mid =
            m_log ? std::sqrt(std::max(bounds[z], m_range.y0) * std::min(bounds[z + 1], m_range.y1))
                  : (std::max(bounds[z], m_range.y0) + std::min(bounds[z + 1], m_range.y1)) / 2;
        if (mid <= m_range.y0 || mid >= m_range.y1)
            continue;
        p.setPen(kZoneMarks[z]);
        p.drawText(QPointF(plot.left() + 6, mapY(mid, plot) + fm.ascent() / 2), QString(zoneLetter(z)));
    }
    p.restore();
}

void TrendChart::paintAxes(QPainter& p, const QRectF& area, const QRectF& plot) const {
    const QFontMetricsF fm(p.font());
    const QPen gridPen(QColor(0xd8, 0xd8, 0xd8), 0);
    const QPen textPen(Qt::black);
    const int timeCount =
        std::max(2, int(plot.width() / (fm.horizontalAdvance(QStringLiteral("00.00.0000")) * 1.6)));
    const std::vector<Tick> xt = timeTicks(m_range.x0, m_range.x1, timeCount);
    const int valueCount = std::max(2, int(plot.height() / (fm.height() * 2.5)));
    const std::vector<Tick> yt = m_log ? logTicks(m_range.y0, m_range.y1, valueCount)
                                       : linearTicks(m_range.y0, m_range.y1, valueCount);
    for (const Tick& t : xt) {
        const double x = mapX(t.at, plot);
        p.setPen(gridPen);
        p.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
        p.setPen(textPen);
        const QRectF box(x - 60, plot.bottom() + 4, 120, fm.height() * 2.2);
        p.drawText(box, Qt::AlignHCenter | Qt::AlignTop, t.label);
    }
    for (const Tick& t : yt) {
        const double y = mapY(t.at, plot);
        p.setPen(gridPen);
        p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        p.setPen(textPen);
        const QRectF box(plot.left() - 4.6 * fm.height() - 6, y - fm.height() / 2, 4.6 * fm.height(),
                         fm.height());
        p.drawText(box, Qt::AlignRight | Qt::AlignVCenter, t.label);
    }
    p.setPen(QPen(Qt::black, 0));
    p.setBrush(Qt::NoBrush);
    p.drawRect(plot);
    p.drawText(QRectF(plot.left(), plot.bottom() + fm.height() * 2.3, plot.width(), fm.height() * 1.2),
               Qt::AlignHCenter | Qt::AlignTop, QStringLiteral("Дата и время"));
    p.save();
    // Rotated a quarter turn, the title's top lies along the left edge of the picture.
    p.translate(area.left() + 2, plot.center().y());
    p.rotate(-90);
    p.drawText(QRectF(-plot.height() / 2, 0, plot.height(), fm.height() * 1.2),
               Qt::AlignHCenter | Qt::AlignTop, m_valueTitle);
    p.restore();
}

void TrendChart::paintSeries(QPainter& p, const QRectF& plot) const {
    p.save();
    p.setClipRect(plot.adjusted(-4, -4, 4, 4));
    const auto [first, last] = visibleIndexes();
    const int visible = visibleCount();
    p.setPen(QPen(kSeriesColor, 1.2));
    p.setBrush(Qt::NoBrush);

    // A run of points without a gap is one polyline; in a pixel column crowded with records the
    // first, lowest, highest and last of them stand for the rest.
    const bool crowded = visible > plot.width() * 2;
    QPolygonF line;
    struct Column {
        int px = std::numeric_limits<int>::min();
        double first = 0, low = 0, high = 0, last = 0;
    } col;
    auto flushColumn = [&] {
        if (col.px == std::numeric_limits<int>::min())
            return;
        const double x = col.px + 0.5;
        line << QPointF(x, col.first);
        if (col.low != col.first)
            line << QPointF(x, col.low);
        if (col.high != col.low)
            line << QPointF(x, col.high);
        if (col.last != col.high)
            line << QPointF(x, col.last);
        col.px = std::numeric_limits<int>::min();
    };
    auto flushLine = [&] {
        flushColumn();
        if (line.size() == 1)
            p.drawPoint(line.front());
        else if (line.size() > 1)
            p.drawPolyline(line);
        line.clear();
    };
    for (int i = first; i < last; ++i) {
        const double y = m_series.y[std::size_t(i)];
        if (!plottable(y)) {
            flushLine();
            continue;
        }
        const double px = mapX(m_series.x[std::size_t(i)], plot);
        const double py = mapY(y, plot);
        if (!crowded) {
            line << QPointF(px, py);
            continue;
        }
        const int c = int(std::floor(px));
        if (c != col.px) {
            flushColumn();
            col = {c, py, py, py, py};
        } else {
            col.low = std::max(col.low, py);
            col.high = std::min(col.high, py);
            col.last = py;
        }
    }
    flushLine();

    if (markersFor(visible, plot.width())) {
        p.setBrush(Qt::white);
        for (int i = first; i < last; ++i) {
            const double y = m_series.y[std::size_t(i)];
            if (!plottable(y))
                continue;
            const double px = mapX(m_series.x[std::size_t(i)], plot);
            if (px < plot.left() - 3 || px > plot.right() + 3)
                continue;
            p.setPen(QPen(m_zones ? kZoneMarks[zoneOf(y, *m_zones)] : kSeriesColor, 1.4));
            p.drawEllipse(QPointF(px, mapY(y, plot)), 3, 3);
        }
    }
    if (m_marked >= 0 && m_marked < m_series.size() && m_series.x[std::size_t(m_marked)] >= m_range.x0 &&
        m_series.x[std::size_t(m_marked)] <= m_range.x1) {
        const double px = mapX(m_series.x[std::size_t(m_marked)], plot);
        p.setPen(QPen(QColor(0xc0, 0x00, 0xc0), 1, Qt::DashLine));
        p.drawLine(QPointF(px, plot.top()), QPointF(px, plot.bottom()));
        const double y = m_series.y[std::size_t(m_marked)];
        if (plottable(y)) {
            p.setPen(QPen(QColor(0xc0, 0x00, 0xc0), 2));
            p.setBrush(Qt::NoBrush);
            p.drawEllipse(QPointF(px, mapY(y, plot)), 6, 6);
        }
    }
    p.restore();
}

void TrendChart::paintLegend(QPainter& p, const QRectF& area) const {
    const QFontMetricsF fm(p.font());
    const double line = std::max(12.0, area.height() / 50);
    p.setPen(Qt::black);
    QFont bold = p.font();
    bold.setBold(true);
    p.save();
    p.setFont(bold);
    p.drawText(QRectF(area.left() + line, area.top() + line * 0.3, area.width() - 2 * line, line * 1.3),
               Qt::AlignLeft | Qt::AlignVCenter, m_title);
    p.restore();

    double x = area.left() + line;
    const double y = area.top() + line * 1.7;
    p.setPen(QPen(kSeriesColor, 1.4));
    p.drawLine(QPointF(x, y + line * 0.6), QPointF(x + line * 1.6, y + line * 0.6));
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(x + line * 0.8, y + line * 0.6), 3, 3);
    x += line * 2;
    p.setPen(Qt::black);
    const QString points = QStringLiteral("%1: %2 точек").arg(m_valueTitle).arg(m_series.valueCount());
    p.drawText(QPointF(x, y + line * 0.6 + fm.ascent() / 2 - 1), points);
    x += fm.horizontalAdvance(points) + line * 1.5;
    if (!m_zones)
        return;
    if (!m_zoneName.isEmpty()) {
        const QString name = m_zoneName + QLatin1Char(':');
        p.drawText(QPointF(x, y + line * 0.6 + fm.ascent() / 2 - 1), name);
        x += fm.horizontalAdvance(name) + line * 0.6;
    }
    for (int z = 0; z < 4; ++z) {
        p.fillRect(QRectF(x, y + line * 0.1, line, line), kZoneColors[z]);
        p.setPen(kZoneMarks[z]);
        p.drawRect(QRectF(x, y + line * 0.1, line, line));
        x += line * 1.3;
        p.setPen(Qt::black);
        const QString text = QStringLiteral("%1 %2").arg(zoneLetter(z)).arg(m_counts.count[std::size_t(z)]);
        p.drawText(QPointF(x, y + line * 0.6 + fm.ascent() / 2 - 1), text);
        x += fm.horizontalAdvance(text) + line * 0.9;
    }
    const QString last = QStringLiteral("последний: %1").arg(zoneLetter(m_counts.last));
    p.drawText(QPointF(x + line * 0.4, y + line * 0.6 + fm.ascent() / 2 - 1), last);
}

} // namespace chart
