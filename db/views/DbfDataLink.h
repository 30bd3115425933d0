#pragma once

#include "grid/GridDataLink.h"

class DbfTable;

// The data link of the views: rows are the visible records of the table object in its current
// order. Cells are read by position without the table's cursor, so painting moves nothing and
// leaves an edit or append in progress pending; the record under edit shows its edited values.
class DbfDataLink : public GridDataLink {
    Q_OBJECT
public:
    explicit DbfDataLink(DbfTable& table, QObject* parent = nullptr);

    DbfTable& table() const { return m_table; }

    bool isActive() const override;
    int rowCount() const override;
    int fieldIndex(const QString& name) const override;
    FieldType fieldType(int field) const override;
    QVariant value(int row, int field) const override;
    void setValue(int row, int field, const QVariant& value) override;
    int currentRow() const override;
    void setCurrentRow(int row) override;
    void deleteRow(int row) override;
    void reread() override;

    // The table was opened, closed or changed behind the link: the grids rebuild.
    void reset();

    // A value as the grid's editor gives it (text read as decimal::read reads typed numbers) in
    // the form the field takes; throws KvError for a text that is no number in a numeric field.
    static QVariant fieldValue(char fieldType, const QVariant& value);

private:
    DbfTable& m_table;
};
