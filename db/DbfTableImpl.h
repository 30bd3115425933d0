#pragma once

#include "core/FileLayer.h"
#include "db/DbfCodec.h"
#include "db/DbfHeader.h"
#include "db/DbfIndex.h"
#include "db/DbfTable.h"
#include "db/MdxFile.h"

#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

// The state behind DbfTable. The whole record area is held in memory (a 100 000-record table is
// 26 MB) and every change is written through to the file at once; the visible list (record
// numbers that pass the filter, in index order) is rebuilt lazily after a change.
struct DbfTable::Impl {
    // Settings of the object: they survive close() and open().
    QString filterText;
    bool filterOn = false;
    QString textFilterField;
    QString textFilterText;
    QString indexName;

    // The open table.
    bool open = false;
    QString path;
    Access access = Access::Exclusive;
    fileio::File file;
    // While a change is written beside the file (changeBeside, createBeside): the new file, which
    // every write goes to; file, when open, keeps the old one locked until the rename.
    std::unique_ptr<fileio::Replacement> beside;
    dbf::Layout layout;
    std::uint8_t driver = 0xC9;
    std::optional<dbf::CodePage> codePage;
    std::uint8_t indexFlag = 0;
    std::vector<char> data; // count * recordLength bytes
    int count = 0;
    std::vector<dbf::IndexDef> indexes;

    // The production index file: where it is (any letter case), what it is, and the order of the
    // tag DB1 (all records, 0-based), which the index "db1" keeps there while the file is ours.
    QString indexPath;
    dbf::mdx::Kind indexKind = dbf::mdx::Kind::Missing;
    bool indexNotAFile = false; // a folder or a pipe has the index file's name: no index at all
    std::vector<int> tagOrder;
    bool tagOrderValid = false;
    bool tagPending = false;      // the records changed since the file was written
    bool unkeptTag = false;       // ours, on a key this table does not keep: removed when the records change
    std::vector<char> fieldFlags; // byte 31 of each field descriptor
    // What a damaged index file of ours became since the caller last asked (takeIndexNotice).
    enum class IndexNotice { None, Removed, Rebuilt } indexNotice = IndexNotice::None;

    // The header as read, padding and all: a packed file keeps it, with its own count.
    QByteArray header;
    // The code page of byte 29 is unknown: text is read as Windows-1251 and no note is written.
    bool textReadOnly = false;
    // The file holds fewer records than its header counts: the whole ones are read, and nothing
    // is appended until repair() has written them with the right count.
    struct Shortfall {
        std::uint32_t claimed = 0; // the header's count
        int partial = 0;           // bytes of a cut-off record after the whole ones
    };
    std::optional<Shortfall> shortfall;
    QStringList notices; // what the open found, for the user

    // The cursor.
    std::vector<int> visible; // 0-based physical numbers
    bool dirty = true;        // visible must be rebuilt before use
    bool relocate = false;    // visible was rebuilt: pos must be found again from cur
    int pos = -1;             // in visible; -1 before the first, visible.size() past the last
    int cur = -1;             // physical number of the current record, -1 when none

    // A record being edited or appended.
    State state = State::Inactive;
    std::vector<char> buffer;
    int editRecord = -1;

    const char* record(int r) const { return data.data() + qint64(r) * layout.recordLength; }
    const char* currentRecord() const; // the edit buffer while editing; nullptr when none
    // Record r as the reads see it: the edit buffer for the record under edit.
    const char* readRecord(int r) const;
    // A field of rec (nullptr: none, a null value); throws for a field out of range.
    QVariant fieldValue(const char* rec, int field) const;
    qint64 recordOffset(int r) const { return layout.headerLength + qint64(r) * layout.recordLength; }
    QString fileName() const;

    void requireOpen() const;
    void requireWritable() const;
    int fieldNumber(const QString& name) const; // throws for a missing field

    void reset();                   // forgets the open table, keeping the settings of the object
    void noteIndexNotAFile() const; // tells the user, once per open, that the table has no index
    fileio::File& out() { return beside ? beside->file() : file; } // where writes go
    // Reads the table from source, which must be the file writes go to.
    void load(const fileio::File& source, const QString& path, Access access);
    void writeHeaderBytes(int offset, const char* bytes, int size); // also dates the header
    void writeCount();
    void writeIndexFlag(std::uint8_t flag);

    const dbf::IndexDef* selectedIndex() const;
    const dbf::IndexDef* tagDef() const; // the index the production file holds as its tag
    bool ownsIndexFile() const;          // ours to write: open for writing, and not another program's
    const std::vector<int>& currentTagOrder();
    void recordsChanged(); // the tag order is gone; the file is written now or at commit
    void writeTag();       // writes the whole file from the records and sets the flags
    void removeTagFile();  // removes it and clears the flags
    void writeFieldFlags(int taggedField);
    // Rebuilds visible when dirty and nothing else: the reads use it, so they leave the cursor as
    // it is. Finding the current record in the new list is the cursor's own step, ensure().
    const std::vector<int>& visibleList();
    void ensure(); // visibleList(), then finds the current record again after a rebuild
    void rebuild();
    void setPos(int p);
    void postPending();
};

namespace dbf {
// The notice of an index file of ours that cannot be read.
QString damagedIndexNotice(const QString& indexFile);

struct FilterTerm {
    QString field;
    double number = 0;
};
// Parses exactly "FIELD=number" with blanks allowed around the parts; throws KvError otherwise.
FilterTerm parseFilter(const QString& expression);
} // namespace dbf
