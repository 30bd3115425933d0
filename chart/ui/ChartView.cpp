#include "chart/ui/ChartView.h"

#include <QMouseEvent>
#include <QPainter>
#include <QRubberBand>
#include <QWheelEvent>

#include <cmath>

ChartView::ChartView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("ChartView"));
    setMinimumSize(400, 260);
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_band = new QRubberBand(QRubberBand::Rectangle, this);
}

void ChartView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    m_chart.paint(painter, area());
}

void ChartView::wheelEvent(QWheelEvent* event) {
    const double notches = event->angleDelta().y() / 120.0;
    if (notches == 0)
        return;
    m_chart.zoomAt(event->position(), area(), std::pow(kWheelStep, notches),
                   event->modifiers().testFlag(Qt::ControlModifier));
    update();
    emit rangeChanged();
    event->accept();
}

void ChartView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    m_pressed = true;
    m_origin = event->position().toPoint();
    m_band->setGeometry(QRect(m_origin, QSize()));
}

void ChartView::mouseMoveEvent(QMouseEvent* event) {
    if (!m_pressed)
        return;
    const QRect band = QRect(m_origin, event->position().toPoint()).normalized();
    if (band.width() > 4 || band.height() > 4) {
        m_band->setGeometry(band);
        m_band->show();
    }
}

void ChartView::mouseReleaseEvent(QMouseEvent* event) {
    if (!m_pressed || event->button() != Qt::LeftButton)
        return;
    m_pressed = false;
    if (m_band->isVisible()) {
        m_band->hide();
        m_chart.zoomTo(QRectF(m_band->geometry()), area());
        update();
        emit rangeChanged();
        return;
    }
    const int index = m_chart.pointAt(event->position(), area());
    if (index >= 0)
        emit pointClicked(index);
}
