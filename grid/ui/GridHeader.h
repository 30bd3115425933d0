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

signals:
    // Press and release on the same title.
    void titleClicked(int logicalIndex, Qt::KeyboardModifiers modifiers);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;

private:
    Qt::KeyboardModifiers m_modifiers;
};
