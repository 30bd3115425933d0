#include "grid/ui/GridHeader.h"

#include "grid/GridColumn.h"
#include "grid/ui/GridModel.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionHeader>

GridHeader::GridHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {
    setSectionsClickable(true);
    setSectionsMovable(false);
    setSortIndicatorShown(false);
    setHighlightSections(false);
    setStretchLastSection(false);
    setSectionResizeMode(QHeaderView::Interactive);
    setDefaultAlignment(Qt::AlignCenter);
    // sectionClicked comes from inside the release handler: remember its modifiers first.
    connect(this, &QHeaderView::sectionClicked, this,
            [this](int logical) { emit titleClicked(logical, m_modifiers); });
}

void GridHeader::mousePressEvent(QMouseEvent* event) {
    m_modifiers = event->modifiers();
    QHeaderView::mousePressEvent(event);
}

void GridHeader::mouseReleaseEvent(QMouseEvent* event) {
    m_modifiers = event->modifiers();
    QHeaderView::mouseReleaseEvent(event);
}

void GridHeader::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
    if (!rect.isValid())
        return;
    QStyleOptionHeader opt;
    initStyleOption(&opt);
    initStyleOptionForIndex(&opt, logicalIndex);
    opt.rect = rect;
    opt.sortIndicator = QStyleOptionHeader::None;
    const int mark = model()
                         ? model()->headerData(logicalIndex, Qt::Horizontal, GridModel::SortMarkRole).toInt()
                         : int(tsSortedNone);

    painter->save();
    style()->drawControl(QStyle::CE_HeaderSection, &opt, painter, this);
    const int margin = style()->pixelMetric(QStyle::PM_HeaderMargin, &opt, this);
    QStyleOptionHeader label = opt;
    label.rect = rect.adjusted(margin, 0, -margin - (mark != tsSortedNone ? kMarkWidth + margin : 0), 0);
    if (label.rect.width() > 0)
        style()->drawControl(QStyle::CE_HeaderLabel, &label, painter, this);

    if (mark != tsSortedNone && rect.width() > kMarkWidth + 2 * margin) {
        // A small filled triangle: pointing up for tsSortedUp, down for tsSortedDown.
        const qreal x = rect.right() - margin - kMarkWidth;
        const qreal cy = rect.center().y() + 0.5;
        const qreal h = 4;
        QPainterPath path;
        if (mark == tsSortedUp) {
            path.moveTo(x, cy + h / 2);
            path.lineTo(x + kMarkWidth, cy + h / 2);
            path.lineTo(x + kMarkWidth / 2.0, cy - h / 2);
        } else {
            path.moveTo(x, cy - h / 2);
            path.lineTo(x + kMarkWidth, cy - h / 2);
            path.lineTo(x + kMarkWidth / 2.0, cy + h / 2);
        }
        path.closeSubpath();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->fillPath(path, palette().color(QPalette::ButtonText));
    }
    painter->restore();
}
