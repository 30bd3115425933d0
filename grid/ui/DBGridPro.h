#pragma once

#include "grid/GridColumn.h"

#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

class GridDataLink;
class QMenu;
class QTableView;

// A data-aware grid: a table view over a GridDataLink with a collection of columns bound to
// fields by name. Knows nothing of what the fields mean.
//
// Fixed behaviour: rows are selected whole, several at once (click, Ctrl-click, Shift-click);
// rows are never inserted or appended; columns can be resized by dragging the title edges,
// not moved; selected rows are drawn filled; grid lines are silver; typing, F2 or a double
// click starts the in-place editor of an editable cell, Tab never does (in an editor it posts
// the value and moves to the next cell); the editor holds one line, so line breaks and tabs in
// typed or pasted text become single spaces; a title click posts an open editor before the sort
// state changes; a title too wide for its column is cut at its end with "…" and shown whole as
// its tooltip.
//
// Defaults that suit a data view: automatic fitting on, at most one sorted column
// (noMultiTitleStates), two title lines.
//
// Column indexes everywhere are positions in columns() (hidden columns included), which are
// also the model's column numbers.
class DBGridPro : public QWidget {
    Q_OBJECT
public:
    explicit DBGridPro(QWidget* parent = nullptr);
    ~DBGridPro() override;

    // --- data ---
    // Not owned; may be shared by several grids; nullptr detaches. The link must outlive
    // the grid or be detached first.
    void setDataLink(GridDataLink* link);
    GridDataLink* dataLink() const;
    int rowCount() const; // rows shown (0 without an active link)

    // --- columns ---
    void setColumns(std::vector<GridColumn> columns);
    const std::vector<GridColumn>& columns() const;
    int columnCount() const;
    const GridColumn& column(int index) const;       // index must be valid
    int columnIndex(const QString& fieldName) const; // case-insensitive; -1 when absent
    void setColumn(int index, GridColumn column);    // replaces all properties at once

    // Setters ignore an invalid index. None of them reports anything.
    void setColumnTitle(int index, const QString& title);
    void setColumnWidth(int index, int designWidth);
    void setColumnVisible(int index, bool visible);
    void setColumnColor(int index, const QColor& color); // invalid QColor: default colour
    void setColumnReadOnly(int index, bool readOnly);
    void setColumnDisplayFormat(int index, const QString& pattern);
    void setColumnFont(int index, const std::optional<QFont>& font);
    void setColumnMaxLength(int index, int maxLength);
    void setColumnCharFilter(int index, std::function<bool(QChar)> acceptChar);
    void setSortState(int index, TitleState state); // from the program: not reported
    void clearSortStates();                         // every column to tsSortedNone, not reported
    void clearColors();                             // every column, hidden ones too, to default

    // Width of a column as drawn now (after fitting); 0 when hidden.
    int displayedWidth(int index) const;

    // --- options ---
    // On: the visible columns are drawn scaled in proportion to their design widths so that
    // they fill the grid's width (no horizontal scroll bar); a column the user resizes keeps
    // the new width and the others share the rest. Off: drawn at their design widths.
    void setAutoFit(bool on);
    bool autoFit() const;
    void setNoMultiTitleStates(bool on); // gboNoMultiTitleStates
    bool noMultiTitleStates() const;
    void setTitleLines(int lines); // 1 or 2 (default 2)
    // The sort state that stands for a descending order: its mark points down, the other
    // sorted state's mark up (default tsSortedDown).
    void setDescendingSortState(TitleState state);
    // On: no cell takes an editor; an attempt to edit a cell that could be edited otherwise is
    // reported by editRefused instead.
    void setReadOnly(bool on);
    bool isReadOnly() const;

    // --- cursor and selection ---
    int currentRow() const;    // -1 when there are no rows
    int currentColumn() const; // the column of the cell cursor; -1 when none
    void setCurrentCell(int row, int column);
    // Rows of the selection in ascending order; when no row is explicitly selected, the
    // current row; empty when the grid shows no rows.
    std::vector<int> selectedRows() const;
    void selectRows(const std::vector<int>& rows); // replaces the selection
    void clearSelection();

    // --- operations ---
    // Commits an open editor (if any), then deletes the rows of selectedRows() through the
    // link from the last to the first with display updates suspended, and clears the
    // selection. Returns the number of rows deleted. A KvError from the link passes through
    // (the rows deleted before it stay deleted).
    int deleteSelected();
    // Commits the value of an open cell editor to the link (posts it) and closes the editor.
    // Returns false when the link refused the value (reported through the error handler).
    bool finishEdit();
    void cancelEdit();
    bool isEditing() const;
    // Re-reads the data through the link and puts the cursor back on the row and column it
    // had, or the nearest row that still exists.
    void reread();

    // --- stored layout (see ColumnLayoutText) ---
    QString layoutText() const;
    // Applies a stored text onto the columns matched by field name; never throws. Returns
    // the number of columns matched.
    int applyLayoutText(const QString& text);

    // --- hooks ---
    // Called with the message when the link refuses an edited value or fails to move its
    // current row. Without a handler the grid shows a critical message box captioned "Error".
    void setErrorHandler(std::function<void(const QString& message)> handler);
    // Shown at the mouse on a right click (not owned). The clicked cell becomes current.
    void setPopupMenu(QMenu* menu);

    // The inner table view, for painting checks and tests. Do not change its model,
    // selection mode or header settings.
    QTableView* view() const;

signals:
    // Emitted from inside the view's event handling, where Qt lets no exception pass: a
    // connected slot must not throw, and one that can fail reports its error itself.

    // A title click (press and release on the same title) changed the sort state of
    // column; the new state is column(column).sortState. Reported once per change, after
    // the states of all columns are updated; program changes are never reported.
    void titleStateChange(int column);
    // An in-place editor opened on a cell of column (row: currentRow()).
    void initEdit(int column);
    // The grid is read-only and the user tried to edit a cell of column.
    void editRefused(int column);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
    friend class GridView;
    friend class GridModel;
    friend class GridDelegate;
    friend class GridHeader;
};
