#pragma once

#include <QStyledItemDelegate>

#include <functional>

class GridModel;

// Cells of a DBGridPro: the in-place line editor with the column's limits, and the column's
// visual options when painting.
class GridDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    GridDelegate(GridModel* model, std::function<void(int column)> onEditorStarted,
                 QObject* parent = nullptr);

    // Asked before an editor opens on an editable cell; true refuses it (no editor).
    void setRefusal(std::function<bool(int column)> refuse) { m_refuse = std::move(refuse); }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

private:
    GridModel* m_model;
    std::function<void(int)> m_onEditorStarted;
    std::function<bool(int)> m_refuse;
};
