#pragma once

#include "db/DbfTable.h"

#include <QObject>
#include <QString>

#include <functional>

// The open measurement table of the window and its two flags: a table is open, and it was edited
// since it was opened, created or saved. Every step that opens, replaces, saves or closes the
// table goes through here, and so does the recovery after one fails: the session then holds
// exactly what is on disk and open, and tells the window by its signals.
//
// It asks nothing: questions ("save the changes?") and what the views do around a step are the
// window's.
class TableSession : public QObject {
    Q_OBJECT
public:
    explicit TableSession(QObject* parent = nullptr);
    ~TableSession() override;

    DbfTable& table() { return m_table; }
    const DbfTable& table() const { return m_table; }
    bool isOpen() const { return m_open; }
    bool isModified() const { return m_modified; }
    // The table could not be locked where it lies (a folder whose file system has no locks) and
    // was opened for reading only: nothing of it can be changed or saved.
    bool isReadOnly() const { return m_open && m_readOnly; }

    // An edit or a deletion made through the views; a read-only table has none.
    void markModified() { m_modified = m_open && !m_readOnly; }

    // Opens the measurement table at path exclusively, unedited; where the file system refuses the
    // lock itself, for reading only (isReadOnly). On failure no table is open and the error is
    // thrown (a fileio::OpenError says why when the file could not be opened).
    void open(const QString& path);

    // Closes the table, unsaved edits and all (the window asks first); closed() follows, also
    // when no table was open.
    void close();

    // Writes the table to the disk by closing and reopening it; unedited afterwards. A table
    // shorter than its header counts is first written with its whole records and the right count
    // (DbfTable::repair), and what that did is returned for the user; otherwise the result is
    // empty. When the file cannot be taken back, no table is open and the error is thrown. A
    // read-only table is refused with KvError.
    QString save();

    // Replaces whatever is open by the table `make` leaves open in table() (a new file, an
    // import), unedited. On failure no table is open and the error is thrown.
    void replace(const std::function<void(DbfTable&)>& make);

    // Runs `work` on the open table, which it may close and reopen (an append). On failure the
    // session follows the table: still open, or closed; the error is thrown either way. A
    // read-only table is refused with KvError before `work` runs.
    void change(const std::function<void(DbfTable&)>& work);

signals:
    // A table is open now (open, replace).
    void opened();
    // The open table was read anew from the disk, its rows unchanged (save).
    void reloaded();
    // The open table's rows were changed underneath the views (change).
    void rowsChanged();
    // No table is open any more (close, or a step that failed and lost the table).
    void closed();

private:
    void setClosed();

    DbfTable m_table;
    bool m_open = false;
    bool m_modified = false;
    bool m_readOnly = false;
};

// The text that refuses a change of a table opened for reading only.
QString readOnlyRefusal();
