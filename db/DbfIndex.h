#pragma once

#include "db/DbfHeader.h"

#include <QString>

#include <vector>

// The index definitions file that earlier versions of this program kept as <base>.mdx (the
// production index itself is now a dBase IV .mdx, see MdxFile.h). It is still read, so that a
// table sorted by an earlier version opens sorted, and replaced by a real index at the next sort.
//
//   8 bytes  magic "KVLDMDX\x1A"
//   4 bytes  layout version (1), little-endian
//   4 bytes  number of indexes
//   per index: 2-byte length + UTF-8 name, 2-byte length + key field name, 1 byte descending,
//              key field type, length, decimals (the key field as the table described it)
//   4 bytes  CRC-32 of everything before it
namespace dbf {

struct IndexDef {
    QString name;
    QString field;
    bool descending = false;
};

QString indexFilePath(const QString& tablePath); // Цех1.dbf -> Цех1.mdx beside it

enum class IndexFileState { Missing, Damaged, Ok };

// Reads the definitions; Damaged covers foreign files, bad checksums, unknown versions and keys
// that do not match the table's fields.
IndexFileState readIndexFile(const QString& path, const Layout& layout, std::vector<IndexDef>& out);

// The bytes of such a file (tests and fuzz seeds make old files with it).
QByteArray encodeIndexFile(const Layout& layout, const std::vector<IndexDef>& defs);

} // namespace dbf
