#pragma once

#include "grid/GridColumn.h"
#include "grid/NumberPattern.h"

#include <QAbstractTableModel>
#include <QPointer>

#include <functional>
#include <vector>

#include "grid/GridDataLink.h"

// The model of a DBGridPro: one row per row of the link, one column per grid column (hidden
// ones included). It owns the column collection and answers every cell from the link on
// demand, so nothing of the data is copied.
class GridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // Header data role: the sort state to mark in a title (tsSortedNone when not marked).
    static constexpr int SortMarkRole = Qt::UserRole + 1;

    explicit GridModel(QObject* parent = nullptr);

    // Text for a one-line cell: every run of line breaks and tabs becomes a single space.
    static QString oneLine(const QString& text);

    void setLink(GridDataLink* link);
    GridDataLink* link() const { return m_link; }
    bool linkActive() const;

    const std::vector<GridColumn>& columns() const { return m_columns; }
    void setColumns(std::vector<GridColumn> columns);
    // Replaces one column, refreshing what depends on it.
    void setColumn(int index, GridColumn column);
    bool validColumn(int index) const { return index >= 0 && index < static_cast<int>(m_columns.size()); }

    // Rebuilds everything from the link (rows, field lookup).
    void resetFromLink();

    void setErrorHandler(std::function<void(const QString&)> handler) { m_onError = std::move(handler); }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    // Whether the cell at index can take an editor now.
    bool editable(const QModelIndex& index) const;

signals:
    // The rows were rebuilt from the link (after the model reset has ended).
    void linkReset();

private:
    void resolveFields();
    void onValuesChanged(int firstRow, int lastRow);

    QPointer<GridDataLink> m_link;
    std::vector<GridColumn> m_columns;
    std::vector<NumberPattern> m_patterns;
    std::vector<int> m_fields; // link field index per column, -1 when absent
    std::function<void(const QString&)> m_onError;
};
