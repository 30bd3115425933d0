#pragma once

#include "chart/SeverityZones.h"
#include "chart/TrendSeries.h"

#include <QPointF>
#include <QRectF>
#include <QString>

#include <cmath>
#include <optional>
#include <utility>

class QPainter;

// The trend chart of one series: time on the horizontal axis, the value linear or logarithmic on
// the vertical one, optional severity zones behind it. It draws itself on any painter (screen,
// image, SVG, PDF, printer) into a given area; the mouse functions take positions in that area.
// Drawing stays fast for long series: where more records fall in a pixel column than can be
// told apart, the column is drawn as the span of its values, so an outlier is never lost.
namespace chart {

class TrendChart {
public:
    struct Range {
        double x0 = 0, x1 = 1; // milliseconds since 1970 (UTC)
        double y0 = 0, y1 = 1;
        bool operator==(const Range&) const = default;
    };

    void setSeries(Series series); // shows the whole series
    const Series& series() const { return m_series; }

    void setTitle(const QString& title) { m_title = title; }
    QString title() const { return m_title; }
    void setValueTitle(const QString& title) { m_valueTitle = title; }
    QString valueTitle() const { return m_valueTitle; }

    void setLogScale(bool on); // shows the whole series again
    bool logScale() const { return m_log; }

    // Zones behind the series, with their counts in the legend; empty: none.
    void setZones(const std::optional<ZoneLimits>& limits, const QString& name = {});
    const std::optional<ZoneLimits>& zones() const { return m_zones; }
    const ZoneCounts& zoneCounts() const { return m_counts; }

    // The point of the grid's current record, drawn marked; -1: none.
    void setMarked(int index) { m_marked = index; }
    int marked() const { return m_marked; }

    Range fullRange() const;
    Range range() const { return m_range; }
    void setRange(const Range& range);
    void resetRange() { m_range = fullRange(); }
    bool zoomed() const { return !(m_range == fullRange()); }

    // The rectangle of the plot inside area.
    QRectF plotRect(const QRectF& area) const;
    // factor < 1 zooms in, keeping the value under pos where it is; the time axis only unless
    // bothAxes.
    void zoomAt(const QPointF& pos, const QRectF& area, double factor, bool bothAxes);
    // Shows what the rectangle (in area's coordinates) covers of the plot.
    void zoomTo(const QRectF& band, const QRectF& area);
    // The index of the point with a value nearest to pos within radius pixels; -1 when none.
    int pointAt(const QPointF& pos, const QRectF& area, double radius = 6) const;
    // Where a point is drawn; empty for a gap or a value the scale cannot show.
    std::optional<QPointF> position(int index, const QRectF& area) const;

    void paint(QPainter& painter, const QRectF& area) const;

    // How many records are shown in the current range; their points are drawn as markers only
    // when there are few enough of them for the width.
    int visibleCount() const;
    static bool markersFor(int visible, double plotWidth) { return visible <= plotWidth / 4; }

private:
    bool plottable(double y) const { return !std::isnan(y) && (!m_log || y > 0); }
    double mapX(double x, const QRectF& plot) const;
    double mapY(double y, const QRectF& plot) const;
    double unmapX(double px, const QRectF& plot) const;
    double unmapY(double py, const QRectF& plot) const;
    std::pair<int, int> visibleIndexes() const; // [first, last) with one point beyond each end
    void paintZones(QPainter& p, const QRectF& plot) const;
    void paintAxes(QPainter& p, const QRectF& area, const QRectF& plot) const;
    void paintSeries(QPainter& p, const QRectF& plot) const;
    void paintLegend(QPainter& p, const QRectF& area) const;

    Series m_series;
    QString m_title;
    QString m_valueTitle;
    QString m_zoneName;
    bool m_log = false;
    std::optional<ZoneLimits> m_zones;
    ZoneCounts m_counts;
    int m_marked = -1;
    Range m_range;
};

} // namespace chart
