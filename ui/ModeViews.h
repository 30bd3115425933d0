#pragma once

#include "db/views/DbfDataLink.h"

#include <QObject>
#include <QString>

class DBGridPro;
class DbfTable;
class LayoutStore;
class QColor;
class QLineEdit;
class QMenu;
class QTabWidget;
class QWidget;

// The three mode views over the one table object: the pages of PageControl1, their grids and
// the data link they share. The routines take the grid they act on, as the commands do; the
// caller runs them through its command dispatcher, so failures that are not ignored here reach
// the user.
class ModeViews : public QObject {
    Q_OBJECT
public:
    ModeViews(DbfTable& table, QWidget* parent);
    ~ModeViews() override;

    QTabWidget* PageControl1;
    QWidget* TabSheet1;
    QWidget* TabSheet2;
    QWidget* TabSheet3;
    DBGridPro* DBGridPro1;
    DBGridPro* DBGridPro2;
    DBGridPro* DBGridPro3;
    // "Точка или примечание": the views show only rows whose note contains its text.
    QLineEdit* NoteFilter;

    DbfDataLink& dataLink() { return m_link; }
    DbfTable& table() const { return m_table; }

    DBGridPro* grid(int page) const; // nullptr outside 0..2
    int pageOf(const DBGridPro* grid) const;
    int activePage() const;
    DBGridPro* activeGrid() const;

    void setPopupMenu(QMenu* menu);

    // The column set-up of the start-up, for the three grids in order.
    void setUpColumns();

    void tab_filter(int mode);
    // The note condition beside the mode filter: kept by page switches, imports and reopening
    // until it is cleared.
    void setNoteFilter(const QString& text);
    void focusNoteFilter();
    // Clears the sort marks of grid; with the table open drops the selection of an index and
    // deletes the named one. Failures of the table are ignored.
    void reset_sort(DBGridPro& grid, DbfTable& table, const QString& indexName);
    // A title click changed the sort state of a column: rebuild "db1" on that column's field.
    void titleStateChange(DBGridPro& grid, int column);

    void setCurrentColumnColor(DBGridPro& grid, const QColor& color); // invalid: default colour
    void clear_colors(DBGridPro& grid);
    void align_columns(DBGridPro& grid);
    // Deletes the selected rows (the current one when none is selected) and packs the table.
    void delete_rows(DBGridPro& grid, DbfTable& table);

    void load_layout(const QString& valueName, DBGridPro& grid, LayoutStore& store);
    void save_layout(const QString& valueName, DBGridPro& grid, LayoutStore& store);
    void load_layout_all(LayoutStore& store);
    void save_layout_all(LayoutStore& store);

    // Commits open cell editors of the three grids; false when the table refused a value (the
    // grid has reported it).
    bool finishEdits();

    // Gives the pages that are not shown the size of the shown one, so that a width computed
    // for a hidden grid is the width it will have.
    void syncPageGeometry();

    static QString layoutValueName(int page); // "Table_1" ... "Table_3"
    static QString normaliseLineEnds(QString text);

private:
    DbfTable& m_table;
    DbfDataLink m_link;
};
