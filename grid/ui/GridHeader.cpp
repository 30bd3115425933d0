#include "grid/ui/GridHeader.h"

#include "grid/GridColumn.h"
#include "grid/ui/GridModel.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionHeader>
#include <QToolTip>

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

QString GridHeader::fittedTitle(const QString& title, const QFontMetrics& metrics, int width) {
    QStringList lines = title.split(u'\n');
    for (QString& line : lines)
        if (metrics.horizontalAdvance(line) > width)
            line = metrics.elidedText(line, Qt::ElideRight, std::max(0, width));
    return lines.join(u'\n');
}

QString GridHeader::title(int logicalIndex) const {
    return model() ? model()->headerData(logicalIndex, Qt::Horizontal, Qt::DisplayRole).toString()
                   : QString();
}

int GridHeader::sortMark(int logicalIndex) const {
    return model() ? model()->headerData(logicalIndex, Qt::Horizontal, GridModel::SortMarkRole).toInt()
                   : int(tsSortedNone);
}

int GridHeader::labelWidth(int logicalIndex, int sectionWidth) const {
    QStyleOptionHeader opt;
    initStyleOption(&opt);
    const int margin = style()->pixelMetric(QStyle::PM_HeaderMargin, &opt, this);
    const int mark = sortMark(logicalIndex) != tsSortedNone ? kMarkWidth + margin : 0;
    return sectionWidth - 2 * margin - mark;
}

QString GridHeader::shownTitle(int logicalIndex) const {
    return fittedTitle(title(logicalIndex), fontMetrics(),
                       labelWidth(logicalIndex, sectionSize(logicalIndex)));
}

QString GridHeader::toolTipFor(int logicalIndex) const {
    if (logicalIndex < 0 || isSectionHidden(logicalIndex))
        return {};
    const QString whole = title(logicalIndex);
    return shownTitle(logicalIndex) == whole ? QString() : whole;
}

bool GridHeader::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QString tip = toolTipFor(logicalIndexAt(help->pos()));
        if (tip.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), tip, viewport());
        return true;
    }
    return QHeaderView::viewportEvent(event);
}

void GridHeader::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
    if (!rect.isValid())
        return;
    QStyleOptionHeader opt;
    initStyleOption(&opt);
    initStyleOptionForIndex(&opt, logicalIndex);
    opt.rect = rect;
    opt.sortIndicator = QStyleOptionHeader::None;
    const int mark = sortMark(logicalIndex);

    painter->save();
    style()->drawControl(QStyle::CE_HeaderSection, &opt, painter, this);
    const int margin = style()->pixelMetric(QStyle::PM_HeaderMargin, &opt, this);
    QStyleOptionHeader label = opt;
    label.rect = rect.adjusted(margin, 0, -margin - (mark != tsSortedNone ? kMarkWidth + margin : 0), 0);
    // A centred text wider than its room would be cut at both ends; a fitted one never is.
    label.text = fittedTitle(opt.text, painter->fontMetrics(), label.rect.width());
    if (label.rect.width() > 0)
        style()->drawControl(QStyle::CE_HeaderLabel, &label, painter, this);

    if (mark != tsSortedNone && rect.width() > kMarkWidth + 2 * margin) {
        // A small filled triangle: pointing down for the descending state, up for the other.
        const qreal x = rect.right() - margin - kMarkWidth;
        const qreal cy = rect.center().y() + 0.5;
        const qreal h = 4;
        QPainterPath path;
        if (mark != m_descendingState) {
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
