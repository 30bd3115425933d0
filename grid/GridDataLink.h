#pragma once

#include <QObject>
#include <QString>
#include <QVariant>

// What a grid needs of the data it shows: rows by position, fields by index.
//
// The grid never copies the data: its model asks value(row, field) only for the cells being
// painted, so a link over a table of 100 000 rows must answer each call without walking the
// table (a position lookup, not a scan).
//
// Rows are the visible records in the current order, numbered 0 .. rowCount() - 1. Several
// grids may show one link at once; each listens to the notifications below.
//
// Threading: the user-interface thread only.
class GridDataLink : public QObject {
    Q_OBJECT
public:
    enum class FieldType { Unknown, Number, Text };

    explicit GridDataLink(QObject* parent = nullptr) : QObject(parent) {}
    ~GridDataLink() override = default;

    // False while there is no data (table closed): the grid then shows no rows at all.
    virtual bool isActive() const = 0;
    virtual int rowCount() const = 0;

    // Field lookup by name, case-insensitive; -1 when the data has no such field. The grid
    // resolves each column's field once per dataReset(), so this may be slow-ish.
    virtual int fieldIndex(const QString& name) const = 0;
    virtual FieldType fieldType(int field) const = 0;

    // Value of a field at a row; a null QVariant means the field holds no value (shown as an
    // empty cell). Numbers as qint64 or double, texts as QString. Must not move currentRow().
    // Out-of-range rows or fields answer a null QVariant.
    virtual QVariant value(int row, int field) const = 0;

    // Writes one field of the record at row and posts it at once. A null QVariant clears the
    // field. Throws KvError (with the message the user reads) when the value is refused; the
    // grid catches it, reports it through its error handler and keeps the old value shown.
    // The link emits valuesChanged(row, row) or dataReset() when the stored value differs
    // from what the grid sent (rounding, trimming).
    virtual void setValue(int row, int field, const QVariant& value) = 0;

    // The current record of the data, which the grid follows and sets. setCurrentRow must
    // not emit dataReset(). -1 when there are no rows.
    virtual int currentRow() const = 0;
    virtual void setCurrentRow(int row) = 0;

    // Deletes (marks deleted) the record at row. The grid calls it for several rows from the
    // last to the first, so lower positions stay valid whether or not the rows behind shift.
    // May throw KvError; the grid lets it pass to the caller of DBGridPro::deleteSelected.
    virtual void deleteRow(int row) = 0;

    // Re-reads the data (filter, order, values), keeping the current record if it is still
    // visible, or a row near its old position otherwise; then emits dataReset().
    virtual void reread() = 0;

signals:
    // The rows changed wholesale: opened, closed, filtered, sorted, re-read, rows deleted.
    // Every grid showing the link rebuilds its model and moves to currentRow().
    void dataReset();
    // Values of rows first..last changed in place (row count and order unchanged).
    void valuesChanged(int firstRow, int lastRow);
};
