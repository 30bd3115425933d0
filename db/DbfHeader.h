#pragma once

#include "db/DbfTable.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

// The header of a dBase IV table: 32 fixed bytes, one 32-byte descriptor per field, 0x0D.
namespace dbf {

constexpr std::uint8_t kVersion = 0x03; // dBase IV, no memo file
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
};

// Reads the fixed part (the first 32 bytes of `head` must be there) and returns the header
// length it claims, or throws when even that is impossible.
int claimedHeaderLength(const QByteArray& head, qint64 fileSize, const QString& fileName);

// Parses a complete header of claimedHeaderLength() bytes; throws KvError naming what is wrong.
Header parseHeader(const QByteArray& head, const QString& fileName);

// Throws the error for a file that is no consistent table.
[[noreturn]] void notATable(const QString& fileName, const QString& reason);

} // namespace dbf
