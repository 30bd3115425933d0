#pragma once

#include "db/DbfTable.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

// The header of a dBase IV table: 32 fixed bytes, one 32-byte descriptor per field, 0x0D, and
// whatever padding other writers put after it up to the header length of bytes 8–9.
namespace dbf {

constexpr std::uint8_t kVersion = 0x03; // dBase IV, no memo file: what this program writes
// Also read: 0x83 (dBase III with memo) and 0x8B (dBase IV with memo), which other writers keep
// even when the record has no memo field.
bool readableVersion(std::uint8_t version);
constexpr int kFixedSize = 32;
constexpr int kDescriptorSize = 32;
constexpr char kEndOfHeader = 0x0D;
constexpr char kEndOfFile = 0x1A;
constexpr char kLiveMark = ' ';
constexpr char kDeletedMark = '*';
constexpr int kCountOffset = 4;
constexpr int kIndexFlagOffset = 28;
constexpr int kDriverOffset = 29;

struct Layout {
    std::vector<DbfField> fields;
    std::vector<int> offsets; // of each field within the record; the deletion mark is byte 0
    int headerLength = 0;
    int recordLength = 0;
};

// Checks a field list for a new table (names, types, lengths) and lays it out; throws KvError.
Layout layoutFor(std::vector<DbfField> fields);

// The whole header, dated today.
QByteArray buildHeader(const Layout& layout, std::uint32_t count, std::uint8_t indexFlag,
                       std::uint8_t driver);

// Today as the header spells it: year - 1900, month, day.
void stampDate(char* threeBytes);

struct Header {
    Layout layout;
    std::uint32_t count = 0; // as the file says
    std::uint8_t indexFlag = 0;
    std::uint8_t driver = 0;
    QByteArray bytes; // the whole header as read, padding included
};

// Reads the fixed part (the first 32 bytes of `head` must be there) and returns the header
// length it claims, or throws when even that is impossible.
int claimedHeaderLength(const QByteArray& head, qint64 fileSize, const QString& fileName);

// Parses a complete header of claimedHeaderLength() bytes; throws KvError naming what is wrong
// (a memo field among them: its text lives in a file of its own, which this program does not read).
Header parseHeader(const QByteArray& head, const QString& fileName);

// A byte as two upper-case hexadecimal digits, as messages name header bytes: "C9".
QString hexByte(std::uint8_t byte);

// Throws the error for a file that is no consistent table.
[[noreturn]] void notATable(const QString& fileName, const QString& reason);

} // namespace dbf
