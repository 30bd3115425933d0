#pragma once

#include "db/DbfTable.h"
#include "image/MemoryImage.h"

#include <QString>
#include <QStringList>

#include <functional>

// The import of the memory image into the measurement table (bin2tab and the table side of
// Create_DB), without any window: the window passes its view work in as hooks.
//
// Every record the image holds (MemoryImage::recordCount(), the count at offset 314 cut to the
// records loaded) becomes one row: N is its position in the image, the other fields its decoded
// values. A value that does not fit its field (T or DT above 9999, a real with more than eight
// digits before the point or not a number) is left empty and reported in the result.
//
// Neither operation leaves a half-written table: the rows are written into a file beside the
// table, which is renamed over it only when complete. On failure they throw KvError and the file
// on disk is as it was before.
namespace image {

struct ImportHooks {
    // Step 1 of bin2tab: the window clears the sort marks of its three views (reset_sort with
    // "db1"). The importer itself then selects no index and drops the index "db1" of the table.
    std::function<void()> resetSort;
    // Append only: hideViews before the first row is written; showViews afterwards, always, also
    // when the append fails (then before the exception leaves append()).
    std::function<void()> hideViews;
    std::function<void()> showViews;
};

struct ImportResult {
    int storedCount = 0; // the count the image states at offset 314
    int recordCount = 0; // records the image really held, all of them imported
    int added = 0;       // rows kept in the table
    int dropped = 0;     // append: rows not later than the table's last row
    int emptiedValues = 0;
    QStringList emptiedFields; // in the table's field order
    QString foreignIndexFile;  // append: the table's index file of another program, not updated

    bool countWasCut() const { return recordCount < storedCount; }
};

// "Добавлено записей: N", the text of the append's message box (caption "Дополнение").
QString addedMessage(const ImportResult& result);
// The further notices of an import, empty when there is nothing to say: the count was cut; values
// were left empty.
QString countCutMessage(const ImportResult& result);
QString emptiedMessage(const ImportResult& result);
QString foreignIndexMessage(const ImportResult& result);
QStringList notices(const ImportResult& result);

class Importer {
public:
    explicit Importer(DbfTable& table, ImportHooks hooks = {});

    // Create_DB's table work: a new measurement table at path, replacing a file of that name
    // (and its stale index file), with every record of image. Closes the table first if it is
    // open. On return the table is open at path in physical order, with no filter: the caller
    // applies the mode filter of the shown view (tab_filter). On failure the table stays closed
    // and an old file at path is left as it was.
    ImportResult createTable(const QString& path, const MemoryImage& image);

    // bin2tab with the append flag, on the open table (opened exclusively, see checkAppend): the
    // records of the image that are later (is_later) than the table's last row in physical order, whatever
    // its mode, are appended in image order; the others are dropped (counted in dropped, never written, which
    // leaves the table the append-then-delete of the original routine would). Rows deleted earlier are packed
    // away, and the filter text the table had is put back and switched on. The table stays open and keeps its
    // write lock all along, so no other program can take it meanwhile. The caller shows addedMessage() and
    // notices(), then saves (Save_DB). On failure the table is as it was, with its filter, and KvError says
    // why.
    ImportResult append(const MemoryImage& image);

    // What append() checks before it changes anything, for a caller that checks before the
    // download: the table is open exclusively, holds its whole records (DbfTable::isShort), and its
    // last row in physical order has a real date dd.mm.yyyy and time hh:mm:ss. Returns that key
    // (kNoRecordKey for a table without rows); throws KvError naming the row and its texts.
    // Leaves the table's filter, index and current row as they were.
    QString checkAppend();

private:
    void dropSortIndex();
    DbfTable& m_table;
    ImportHooks m_hooks;
};

} // namespace image
