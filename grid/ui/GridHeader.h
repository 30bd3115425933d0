#pragma once

#include <QHeaderView>

// Column titles of a DBGridPro: multi-line titles, the sort mark at the right edge, and
// clicks reported with the keyboard modifiers the click was made with.
class GridHeader : public QHeaderView {
    Q_OBJECT
public:
    explicit GridHeader(QWidget* parent = nullptr);

    // Width of the sort mark drawn at the right of a sorted title.
    static constexpr int kMarkWidth = 7;

    // The sort state whose mark points down (the state that stands for a descending order);
    // the other sorted state's mark points up.
    void setDescendingState(int state) { m_descendingState = state; }
    int descendingState() const { return m_descendingState; }

    // A title as it fits a label width: each line that is too wide is cut at its end with "…",
    // so a title never loses its beginning.
    static QString fittedTitle(const QString& title, const QFontMetrics& metrics, int width);
    // The title of a column as drawn now, and the whole title when the drawn one is cut (empty
    // when it fits); the latter is the title's tooltip.
    QString shownTitle(int logicalIndex) const;
    QString toolTipFor(int logicalIndex) const;

signals:
    // Press and release on the same title.
    void titleClicked(int logicalIndex, Qt::KeyboardModifiers modifiers);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
    bool viewportEvent(QEvent* event) override;

private:
    QString title(int logicalIndex) const;
    int sortMark(int logicalIndex) const;
    // The room for the title's text inside a section of the given width.
    int labelWidth(int logicalIndex, int sectionWidth) const;

    Qt::KeyboardModifiers m_modifiers;
    int m_descendingState = 2; // tsSortedDown
};
