#pragma once

#include "db/DbfHeader.h"
#include "db/DbfIndex.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <vector>

// The dBase IV production index file <base>.mdx holding one tag over one N or C field, the form
// other dBase programs read. The tree is always written whole in one pass: leaves in tag order on
// pages 6, 8, …, the levels above them after, the root last.
namespace dbf::mdx {

constexpr int kPageSize = 512;
constexpr int kBlockSize = 1024;
constexpr int kNumericKeyLength = 12;
// The one tag this program keeps in a production index file.
inline const QString kTagName = QStringLiteral("DB1");
// The key expression of a tag in date and time order (C(16), yyyymmddhh:mm:ss), which is ours as
// well as a tag on one field.
inline const QString kDateTimeExpression =
    QStringLiteral("SUBSTR(DATE,7,4)+SUBSTR(DATE,4,2)+SUBSTR(DATE,1,2)+TIME");
// That expression, written with any blanks and letter case.
bool isDateTimeExpression(const QString& expression);

// The 12-byte BCD key of a numeric field's text (blanks around it allowed). A blank field, and
// text that is not a plain decimal number, key as zero.
std::array<char, kNumericKeyLength> numericKey(const char* text, int length);

// The key bytes of field `field` in record `record` as the tag stores them.
QByteArray keyOf(const char* record, int fieldOffset, const DbfField& field);

// Orders the 0-based record numbers `records` by the tag's key: by key value, equal keys by
// ascending record number, in both directions.
void sortRecords(std::vector<int>& records, const char* data, int recordLength, int fieldOffset,
                 const DbfField& field, bool descending);
// True when `order` is in that order.
bool inTagOrder(const std::vector<int>& order, const char* data, int recordLength, int fieldOffset,
                const DbfField& field, bool descending);

// Every record (deleted ones included) of `data`, 0-based, in tag order: by key value, equal keys
// by ascending record number, in both directions.
std::vector<int> tagOrder(const char* data, int count, int recordLength, int fieldOffset,
                          const DbfField& field, bool descending);

struct TagSource {
    QByteArray tableName; // the table's base name in its code page; the first 16 bytes are kept
    DbfField field;
    bool descending = false;
    const char* data = nullptr; // count records of recordLength bytes
    int count = 0;
    int recordLength = 0;
    int fieldOffset = 0;
    std::array<char, 3> date{}; // year − 1900, month, day
};

// The whole file for a tag whose records come in `order` (0-based, from tagOrder()).
QByteArray build(const TagSource& source, const std::vector<int>& order);

// Key length, item length (pointer and key, rounded up to 4 bytes) and keys per node of a tag on field.
int keyLength(const DbfField& field);
int itemLength(const DbfField& field);
int maxKeys(const DbfField& field);

// Ours is a file with the header this program writes and a first tag DB1 keyed on one field of
// the table or on the date-time expression.
enum class Kind {
    Missing,
    Ours,    // sound, matching the records
    Stale,   // ours and sound, but its keys are not those of the records (changed by someone else)
    Damaged, // ours, but failing the checks (pages, counts, other tag entries, the tree), or a file
             // without header and tag table; may be replaced or removed
    Legacy,  // the index definitions file of earlier versions of this program
    Foreign  // anything else: another program's index, never touched
};

struct ReadResult {
    Kind kind = Kind::Missing;
    IndexDef def;                 // Ours, Stale (for the date-time key: the field DATE)
    bool dateTime = false;        // Ours, Stale: the key is the date-time expression
    std::vector<int> order;       // Ours: 0-based record numbers in tag order
    std::vector<IndexDef> legacy; // Legacy: the definitions it holds
};

// Classifies and, for our layout, walks the file. Never throws, never loops forever: every page is
// checked to lie inside the file and is visited at most once.
ReadResult read(const QByteArray& bytes, const Layout& layout, const char* data, int count);

// The .mdx beside tablePath in whatever letter case it exists; the lower-case-extension name
// (base name kept) when there is none.
QString findFile(const QString& tablePath);

} // namespace dbf::mdx
