#include "db/DbfIndex.h"

#include "core/FileLayer.h"
#include "db/DbfCodec.h"

#include <QFileInfo>

#include <algorithm>
#include <array>
#include <cstring>

namespace dbf {
namespace {

constexpr char kMagic[8] = {'K', 'V', 'L', 'D', 'M', 'D', 'X', 0x1A};
constexpr std::uint32_t kLayoutVersion = 1;
constexpr qint64 kMaxFileSize = 1 << 20;

std::uint32_t crc32(const char* data, qsizetype size) {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    std::uint32_t c = 0xFFFFFFFFu;
    for (qsizetype i = 0; i < size; ++i)
        c = table[(c ^ std::uint8_t(data[i])) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

void put(QByteArray& out, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.append(char((v >> (8 * i)) & 0xFF));
}

class Reader {
public:
    Reader(const QByteArray& b, qsizetype end) : m_b(b), m_end(end) {}
    bool get(std::uint32_t& v, int bytes) {
        if (m_at + bytes > m_end)
            return false;
        v = 0;
        for (int i = 0; i < bytes; ++i)
            v |= std::uint32_t(std::uint8_t(m_b[m_at + i])) << (8 * i);
        m_at += bytes;
        return true;
    }
    bool text(QByteArray& out) {
        std::uint32_t n = 0;
        if (!get(n, 2) || m_at + n > m_end)
            return false;
        out = m_b.mid(m_at, n);
        m_at += n;
        return true;
    }
    bool atEnd() const { return m_at == m_end; }

private:
    const QByteArray& m_b;
    qsizetype m_end;
    qsizetype m_at = sizeof kMagic;
};

int fieldNumber(const Layout& layout, const QString& name) {
    for (size_t i = 0; i < layout.fields.size(); ++i)
        if (layout.fields[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

} // namespace

QString indexFilePath(const QString& tablePath) {
    QFileInfo info(tablePath);
    return info.absolutePath() + QLatin1Char('/') + info.completeBaseName() + QStringLiteral(".mdx");
}

QByteArray encodeIndexFile(const Layout& layout, const std::vector<IndexDef>& defs) {
    QByteArray out(kMagic, sizeof kMagic);
    put(out, kLayoutVersion, 4);
    put(out, std::uint32_t(defs.size()), 4);
    for (const IndexDef& d : defs) {
        const DbfField& f = layout.fields.at(size_t(fieldNumber(layout, d.field)));
        QByteArray name = d.name.toUtf8();
        QByteArray field = f.name.toLatin1();
        put(out, std::uint32_t(name.size()), 2);
        out.append(name);
        put(out, std::uint32_t(field.size()), 2);
        out.append(field);
        out.append(char(d.descending ? 1 : 0));
        out.append(f.type);
        out.append(char(f.length));
        out.append(char(f.decimals));
    }
    put(out, crc32(out.constData(), out.size()), 4);
    return out;
}

IndexFileState readIndexFile(const QString& path, const Layout& layout, std::vector<IndexDef>& out) {
    out.clear();
    if (fileio::kindOf(path) == fileio::PathKind::Missing)
        return IndexFileState::Missing;
    QByteArray b;
    try {
        // Never an open that waits: a pipe of that name is refused like any other non-file.
        const fileio::File file = fileio::File::openReadOnly(path);
        const qint64 size = file.size();
        if (size > kMaxFileSize)
            return IndexFileState::Damaged;
        b.resize(size);
        file.readAt(0, b.data(), size);
    } catch (const KvError&) {
        return IndexFileState::Damaged;
    }
    if (b.size() < qsizetype(sizeof kMagic) + 12 || std::memcmp(b.constData(), kMagic, sizeof kMagic) != 0)
        return IndexFileState::Damaged;
    const qsizetype end = b.size() - 4;
    Reader body(b, end);
    std::uint32_t version = 0, count = 0;
    const std::uint32_t stored =
        std::uint32_t(std::uint8_t(b[end])) | std::uint32_t(std::uint8_t(b[end + 1])) << 8 |
        std::uint32_t(std::uint8_t(b[end + 2])) << 16 | std::uint32_t(std::uint8_t(b[end + 3])) << 24;
    if (stored != crc32(b.constData(), end))
        return IndexFileState::Damaged;
    if (!body.get(version, 4) || version != kLayoutVersion || !body.get(count, 4) || count > 1000)
        return IndexFileState::Damaged;
    std::vector<IndexDef> defs;
    for (std::uint32_t i = 0; i < count; ++i) {
        QByteArray name, field;
        std::uint32_t descending = 0, type = 0, length = 0, decimals = 0;
        if (!body.text(name) || !body.text(field) || !body.get(descending, 1) || !body.get(type, 1) ||
            !body.get(length, 1) || !body.get(decimals, 1) || descending > 1 || name.isEmpty())
            return IndexFileState::Damaged;
        int n = fieldNumber(layout, QString::fromLatin1(field));
        if (n < 0)
            return IndexFileState::Damaged;
        const DbfField& f = layout.fields[size_t(n)];
        if (std::uint32_t(std::uint8_t(f.type)) != type || std::uint32_t(f.length) != length ||
            std::uint32_t(f.decimals) != decimals)
            return IndexFileState::Damaged;
        defs.push_back({QString::fromUtf8(name), f.name, descending == 1});
    }
    if (!body.atEnd())
        return IndexFileState::Damaged;
    out = std::move(defs);
    return IndexFileState::Ok;
}

} // namespace dbf
