#pragma once

#include "chart/TrendChart.h"

#include <QWidget>

class QRubberBand;

// The trend chart on screen: the mouse wheel zooms the time axis around the pointer (with Ctrl
// both axes), dragging a rectangle zooms into it, a click on a point reports the point.
class ChartView : public QWidget {
    Q_OBJECT
public:
    explicit ChartView(QWidget* parent = nullptr);

    chart::TrendChart& chart() { return m_chart; }
    const chart::TrendChart& chart() const { return m_chart; }
    QRectF area() const { return QRectF(rect()); }

    static constexpr double kWheelStep = 0.8; // range kept per wheel notch

signals:
    void pointClicked(int index); // an index of chart().series()
    void rangeChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    chart::TrendChart m_chart;
    QRubberBand* m_band = nullptr;
    QPoint m_origin;
    bool m_pressed = false;
};
