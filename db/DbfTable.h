#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

// A dBase IV table file (.dbf) with its dBase IV production index file (.mdx).
// Knows nothing of vibration: the measurement record lives in MeasurementTable.
//
// Failures throw KvError with a message the user can read.
//
// Navigation works on the visible records: those not marked deleted that pass the filter,
// in the order of the selected index (or physical order when none is selected).
// The filter and the name of the selected index belong to the object, not to the file: they
// survive close() and open(); an index name the newly opened file lacks means physical order.

struct DbfField {
    QString name;     // upper case, at most 10 characters
    char type = 'C';  // 'N' or 'C'
    int length = 1;   // bytes in the record
    int decimals = 0; // 'N' only
};

class DbfTable {
public:
    enum class Access {
        Exclusive, // read and write; other processes may only read; a second writer is refused
        ReadOnly   // no lock taken, nothing ever written (sorts are kept in memory)
    };
    enum class State { Inactive, Browse, Edit, Append };

    DbfTable();
    ~DbfTable();
    DbfTable(const DbfTable&) = delete;
    DbfTable& operator=(const DbfTable&) = delete;

    // Creates an empty table file, replacing an existing one; the new file is not opened.
    // languageDriver goes to header byte 29 (0xC9: Windows-1251). A failure leaves no file behind.
    static void create(const QString& path, const std::vector<DbfField>& fields,
                       std::uint8_t languageDriver = 0xC9);
    // create() and open() in one, with the rows that fill() writes in the new file before it
    // replaces the one at path. The table holds its write lock from the moment its file takes the
    // place of the old one, so no other writer can come in between. When fill() or the writing
    // fails, the old file is as it was and the table is closed.
    void createBeside(const QString& path, const std::vector<DbfField>& fields, std::uint8_t languageDriver,
                      const std::function<void()>& fill);

    // Opens the table and its production index file when byte 28 says there is one.
    // Rejects anything that is not a consistent dBase table (see the reliability notes in the
    // implementation). Reads what other writers write: padding after the header, version bytes
    // 0x83 and 0x8B without a memo field, the code pages of the dBase language drivers (an unknown
    // one as Windows-1251, with its notes read-only), whole records after the counted ones (counted
    // in; an exclusive open writes the count), padding after the records (ignored), and a file
    // shorter than its count (its whole records; see isShort()). openNotices() says what it found.
    void open(const QString& path, Access access = Access::Exclusive);
    void close(); // posts a pending edit first; harmless when not open
    bool isOpen() const;
    State state() const;
    QString path() const;
    Access access() const;

    const std::vector<DbfField>& fields() const;
    int fieldIndex(const QString& name) const; // -1 when absent; case-insensitive
    std::uint8_t languageDriver() const;

    // What the open found that the user should be told, one text each: records after the
    // header's count, a file shorter than its count, an unknown code page, an index file of ours
    // that cannot be read. Empty for a sound table of this program.
    QStringList openNotices() const;
    // The file holds fewer whole records than its header counts. Such a table is not appended to
    // (append() refuses) until repair() has put its file right.
    bool isShort() const;
    // Throws the refusal of append() when the table isShort().
    void requireWholeRecords() const;
    // For a short table: the whole records with the right count, a cut-off record after them
    // dropped, written beside the file and renamed over it (as changeBeside). Returns what it did,
    // for the user; empty when the table was not short.
    QString repair();

    // --- navigation over visible records ---
    void first();
    void last();
    void next();
    void prior();
    // next() from the last record goes past it (eof, no current record); prior() from the first
    // goes before it (bof, no current record): both loops `for (first(); !eof(); next())` and
    // `for (last(); !bof(); prior())` visit every visible record once.
    bool eof() const;          // past the last visible record (also true when none is visible)
    bool bof() const;          // before the first visible record (also true when none is visible)
    int recordCount() const;   // visible records; counting moves nothing, like the reads below
    int physicalCount() const; // records in the file, deleted ones included
    int position() const;      // 0-based position of the current record among the visible, -1 if none
    void moveTo(int position); // clamps; an empty view leaves eof() true
    int recNo() const;         // 1-based physical number of the current record, 0 if none
    bool goToRecNo(int recNo); // false when that record is not visible
    void refresh();            // re-reads the file and rebuilds the visible list, keeping recNo if possible
                               // (a reader sees what another program appended meanwhile)

    // --- values of the current record ---
    // N fields without decimals read as qint64 (int), with decimals as double; C fields as QString
    // (trailing blanks removed). A field that is all blanks reads as a null QVariant.
    QVariant value(int field) const;
    QVariant value(const QString& field) const;
    bool isNull(const QString& field) const;
    // A null QVariant (or an empty string for C) writes blanks. Refuses, with an error naming the
    // field, a number that does not fit its width and a text outside the table's code page or
    // longer than the field; a refused value leaves the field as it was. A fraction is refused in
    // a field without decimals. N fields take integers, doubles and number texts ("2.5").
    // In state Browse, setValue starts edit() on the current record itself.
    void setValue(int field, const QVariant& value);
    void setValue(const QString& field, const QVariant& value);

    // --- reads that touch nothing ---
    // Any record by its 1-based physical number, and the visible records by their 0-based position
    // in the current order, read from the records in memory. None of them moves the cursor, posts a
    // pending edit or append, or changes what position(), recNo(), eof() or bof() report, so the
    // views may paint and the export, the reports and the chart may read at any moment; all of
    // them run on the one user-interface thread, like every other call of the table.
    // Values come as value() gives them. A number or position out of range reads as a null QVariant
    // (recNoAt as 0); a field out of range and a table that is not open throw, as value() does.
    // The record under edit reads as its edit buffer holds it, which is what value() of the current
    // record, the grid and the cell editor show; it keeps the place in the view (filter, order) of
    // its stored values until it is posted. A record being appended has no number yet: it is neither
    // among the records nor among the visible ones until it is posted. Deleted records can be read
    // by number (recordDeleted tells them), never by position.
    QVariant recordValue(int recNo, int field) const;
    bool recordDeleted(int recNo) const;
    int recNoAt(int position) const; // the physical number of the visible record at position
    QVariant valueAt(int position, int field) const;

    // --- editing ---
    void append(); // a new blank record, current, state Append (written by post)
    void edit();   // state Edit on the current record
    void post();   // writes the record and, for an append, the header count at once
                   // (navigation, filter and index changes and close() post a pending edit)
    void cancel();
    void deleteRecord(); // marks the current record deleted; the next visible one becomes current
                         // (the one before it when it was the last); in state Append it
                         // only drops the record not yet posted
    bool isDeleted() const;
    void pack(); // removes deleted records; written beside and renamed over the file

    // Runs change() with every write of the table (pack() included) going to a copy of its file
    // written beside it, and renames the copy over the file once change() returns: the file is
    // never half-changed, and the table keeps its write lock from start to end, so no other writer
    // can take the file in between. When change() or the writing fails, the file is as it was,
    // the table is read from it again and the error goes on to the caller (should that reading
    // fail too, the table is closed). The index file is not part of the change.
    void changeBeside(const std::function<void()>& change);

    // --- filter: only "FIELD=number" (blanks allowed around the parts) ---
    void setFilter(const QString& expression); // validated when filtering is switched on
    QString filter() const;
    void setFiltered(bool on); // throws on an expression it cannot parse
    bool filtered() const;
    // A second condition beside the filter, applied while filtering is on: the text field's
    // value contains text, letter case ignored. An empty text lets every row through; a field
    // the table lacks lets nothing through. Like the filter it belongs to the object.
    void setTextFilter(const QString& field, const QString& text);
    QString textFilter() const;

    // --- indexes ---
    // Text keys order by Windows-1251 byte value; numbers by value, a blank field as zero.
    // Descending reverses the key order; equal keys always keep physical order.
    // The index "db1" is kept on disk as the one tag DB1 of the production index file <base>.mdx
    // (found in any letter case), rewritten whole before append, edit, pack or changeBeside
    // return, and opened again with the table; other indexes live in memory only. An index file
    // of another program is never written or removed: then "db1" too lives in memory only.
    // addIndex replaces an index of the same name and does not select it; on a ReadOnly open
    // indexes live in memory only.
    void addIndex(const QString& name, const QString& field, bool descending);
    void deleteIndex(const QString& name); // throws when there is no such index
    void selectIndex(const QString& name); // empty name: physical order; unknown name: throws
                                           // while open, kept for the next open when closed
    QString currentIndex() const;
    std::vector<QString> indexNames() const;
    void regenerateIndexes();
    void closeIndexFile(const QString& fileName); // drops the in-memory indexes of that .mdx
    bool hasProductionIndex() const;              // header byte 28
    bool indexFileIsForeign() const;              // an index file beside the table that is not ours
    // An index file of ours that cannot be read: the next sort of "db1" replaces it, deleting
    // "db1" removes it (also when no index "db1" was read from it).
    bool indexFileIsDamaged() const;
    // What became of a damaged index file of ours since the last call ("повреждён", rebuilt or
    // removed), for the user; empty when nothing.
    QString takeIndexNotice();
    QString indexFileName() const; // the production index file's name, as found

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
