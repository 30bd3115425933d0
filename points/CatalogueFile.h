#pragma once

#include "db/DbfTable.h"
#include "points/Catalogue.h"

#include <QString>

#include <functional>
#include <vector>

// The catalogue on disk: a dBase IV table in Windows-1251 with the fields NAME C(50), CLASS C(8),
// A_B, B_C, C_D, BASE, ALERT, DANGER N(8,3) and DAYS N(4,0), in this order. Another program may
// have saved it with other widths; it is read as long as the names and types are these, and
// written in the widths it has.
namespace points {

class CatalogueModel;

const std::vector<DbfField>& catalogueFields();

// A new, empty catalogue at path (written beside, then renamed over an old file there).
void createCatalogue(const QString& path);

// True when the open table has the catalogue's fields (names and types, in order).
bool hasCatalogueFields(const DbfTable& table);

// The entries of an open catalogue in record order. Throws KvError when its fields are others
// or when a name is there twice.
std::vector<PointEntry> readEntries(DbfTable& table);

// The catalogue at path, read without a lock (other programs may hold it for writing). Throws
// KvError when the file is missing or no dBase table, has other fields, or holds a name twice.
std::vector<PointEntry> readCatalogue(const QString& path);

// Replaces the records of the open catalogue, which must be writable, by entries: the whole file
// is written beside and renamed over the old one, which is kept when anything fails (a value that
// does not fit a field another program made narrower, a full disk).
void writeEntries(DbfTable& table, const std::vector<PointEntry>& entries);

// The catalogue while the window edits it: the file is held with the table layer's write lock,
// read again before each change and written whole by each (writeEntries).
class CatalogueEditor {
public:
    // Opens the catalogue for writing; throws KvError as readCatalogue does, and fileio::OpenError
    // when it cannot be held (another writer, no lock on this file system: the caller then reads
    // it with readCatalogue and says it is read-only).
    void open(const QString& path);
    void close();
    bool isOpen() const { return m_table.isOpen(); }
    QString path() const { return m_table.path(); }

    // As read at open() or after the last change.
    const std::vector<PointEntry>& entries() const { return m_entries; }

    // Reads the file again, lets change() edit a model of what it holds, and writes the result.
    // When change() throws (a refusal) or the writing fails, the file and entries() are as they
    // were and the error goes on to the caller.
    void change(const std::function<void(CatalogueModel&)>& change);

    // Reads the file again (what change() does first).
    void reread();

    // The table itself, for a step that writes the catalogue together with other files.
    DbfTable& table() { return m_table; }
    void setEntries(std::vector<PointEntry> entries) { m_entries = std::move(entries); }

private:
    DbfTable m_table;
    std::vector<PointEntry> m_entries;
};

} // namespace points
