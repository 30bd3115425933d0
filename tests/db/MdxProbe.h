#pragma once

// A reader of one-tag dBase IV .mdx files for the tests, written from the published layout and
// sharing no code with the program's writer: it walks the tree from the root, checks what every
// reader relies on and hands back the leaf entries in walk order.

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

namespace probe {

inline std::uint32_t u32(const QByteArray& b, qsizetype at) {
    return std::uint32_t(std::uint8_t(b[at])) | std::uint32_t(std::uint8_t(b[at + 1])) << 8 |
           std::uint32_t(std::uint8_t(b[at + 2])) << 16 | std::uint32_t(std::uint8_t(b[at + 3])) << 24;
}
inline int u16(const QByteArray& b, qsizetype at) {
    return std::uint8_t(b[at]) | std::uint8_t(b[at + 1]) << 8;
}

struct Entry {
    std::uint32_t record;
    QByteArray key;
};

struct Tag {
    QString error; // empty when the file is sound
    QString name, expression;
    bool descending = false;
    char type = 0;
    int keyLength = 0, itemLength = 0, maxKeys = 0;
    int depth = 0;                      // levels of the tree, leaves included
    int nodes = 0;                      // nodes reached from the root
    std::vector<std::vector<int>> fill; // entries of each node, per level from the root down
    std::vector<Entry> entries;
};

class Reader {
public:
    explicit Reader(const QByteArray& b) : m_b(b) {}

    Tag read() {
        Tag t;
        const QByteArray& b = m_b;
        if (b.size() < 3072 || b.size() % 1024 != 0)
            return fail(t, QStringLiteral("size %1").arg(b.size()));
        if (std::uint8_t(b[0]) != 2 || u16(b, 20) != 2 || u16(b, 22) != 1024 || b[24] != 1 || b[26] != 0x20)
            return fail(t, QStringLiteral("file header"));
        if (u16(b, 28) != 1)
            return fail(t, QStringLiteral("tags in use %1").arg(u16(b, 28)));
        if (u32(b, 32) != std::uint32_t(b.size() / 512))
            return fail(t, QStringLiteral("page count"));
        const qsizetype entry = 544;
        t.name = QString::fromLatin1(b.mid(entry + 4, 11).constData());
        const std::uint32_t headerPage = u32(b, entry);
        if (headerPage != 4 || std::uint8_t(b[entry + 15]) != 0x10)
            return fail(t, QStringLiteral("tag table"));
        for (qsizetype at = entry + 32; at < 2048; ++at)
            if (b[at] != 0)
                return fail(t, QStringLiteral("tag table beyond entry 0"));
        const qsizetype h = qsizetype(headerPage) * 512;
        const int format = std::uint8_t(b[h + 8]);
        if (format != 0x10 && format != 0x18)
            return fail(t, QStringLiteral("key format %1").arg(format));
        t.descending = format == 0x18;
        t.type = b[h + 9];
        if (t.type != b[entry + 20])
            return fail(t, QStringLiteral("key type differs between tag table and tag header"));
        t.keyLength = u16(b, h + 12);
        t.maxKeys = u16(b, h + 14);
        t.itemLength = u16(b, h + 18);
        if (t.itemLength != 4 + (t.keyLength + 3) / 4 * 4 || t.maxKeys != (1024 - 12) / t.itemLength)
            return fail(t, QStringLiteral("item length or max keys"));
        if (t.type == 'N' && t.keyLength != 12)
            return fail(t, QStringLiteral("numeric key length"));
        t.expression = QString::fromLatin1(b.mid(h + 24, 220).constData());
        if (b[h + 245] != 0 || b[h + 480] != 1)
            return fail(t, QStringLiteral("filter or single-field flag"));

        m_item = t.itemLength;
        m_keyLength = t.keyLength;
        m_max = t.maxKeys;
        m_seen.assign(size_t(b.size() / 1024), false);
        const std::uint32_t root = u32(b, h);
        if (!node(t, root, 0, true))
            return t;
        // Every node of the file is in the tree, and the header counts them.
        if (b.size() != 2048 + 1024 * qsizetype(1 + t.nodes))
            return fail(t,
                        QStringLiteral("file holds %1 nodes, tree %2").arg(b.size() / 1024 - 3).arg(t.nodes));
        if (u32(b, h + 4) != std::uint32_t(2 * t.nodes))
            return fail(t, QStringLiteral("tag pages"));
        if (t.entries.empty() != (b[h + 246] == 0))
            return fail(t, QStringLiteral("keys-present flag"));
        if (u32(b, h + 248) != m_firstLeaf || u32(b, h + 252) != m_lastLeaf)
            return fail(t, QStringLiteral("first or last leaf page"));
        return t;
    }

private:
    static Tag fail(Tag& t, const QString& why) {
        t.error = why;
        return t;
    }

    // Walks the subtree at page; returns its last key in lastKey.
    bool node(Tag& t, std::uint32_t page, int level, bool isRoot, QByteArray* lastKey = nullptr) {
        const QByteArray& b = m_b;
        if (page < 6 || page % 2 != 0 || qsizetype(page) * 512 + 1024 > b.size() || m_seen[page / 2]) {
            t.error = QStringLiteral("bad or repeated page %1").arg(page);
            return false;
        }
        m_seen[page / 2] = true;
        ++t.nodes;
        const qsizetype at = qsizetype(page) * 512;
        const std::uint32_t n = u32(b, at);
        if (n > std::uint32_t(m_max)) {
            t.error = QStringLiteral("node %1 holds %2 entries").arg(page).arg(n);
            return false;
        }
        if (int(t.fill.size()) <= level)
            t.fill.resize(size_t(level) + 1);
        t.fill[size_t(level)].push_back(int(n));
        const qsizetype tail = at + 8 + qsizetype(n) * m_item;
        for (qsizetype i = tail + 4; i < at + 1024; ++i)
            if (b[i] != 0) {
                t.error = QStringLiteral("bytes after the entries of node %1").arg(page);
                return false;
            }
        const std::uint32_t trailing = u32(b, tail);
        if (trailing == 0) {
            if (t.depth == 0)
                t.depth = level + 1;
            if (t.depth != level + 1) {
                t.error = QStringLiteral("leaves at different depths");
                return false;
            }
            if (n == 0 && !isRoot) {
                t.error = QStringLiteral("empty leaf");
                return false;
            }
            if (m_firstLeaf == 0)
                m_firstLeaf = page;
            m_lastLeaf = page;
            for (std::uint32_t i = 0; i < n; ++i) {
                const qsizetype e = at + 8 + qsizetype(i) * m_item;
                t.entries.push_back({u32(b, e), b.mid(e + 4, m_keyLength)});
            }
            if (lastKey && n > 0)
                *lastKey = t.entries.back().key;
            return true;
        }
        for (std::uint32_t i = 0; i <= n; ++i) {
            const qsizetype e = at + 8 + qsizetype(i) * m_item;
            QByteArray childLast;
            if (!node(t, u32(b, e), level + 1, false, &childLast))
                return false;
            // A branch key is the last key of its child's subtree.
            if (i < n && b.mid(e + 4, m_keyLength) != childLast) {
                t.error =
                    QStringLiteral("branch key %1 of node %2 is not its child's last key").arg(i).arg(page);
                return false;
            }
            if (lastKey)
                *lastKey = childLast;
        }
        return true;
    }

    const QByteArray& m_b;
    int m_item = 0, m_keyLength = 0, m_max = 0;
    std::vector<bool> m_seen;
    std::uint32_t m_firstLeaf = 0, m_lastLeaf = 0;
};

inline Tag readTag(const QByteArray& bytes) {
    return Reader(bytes).read();
}

// The value of a 12-byte numeric key as plain decimal text ("-1234.5678", "0"), from the layout:
// exponent in byte 0, sign in bit 7 of byte 1, digits in BCD from byte 2.
inline QString decodeNumeric(const QByteArray& k) {
    QString digits;
    for (int i = 2; i < 12; ++i) {
        digits += QChar('0' + ((std::uint8_t(k[i]) >> 4) & 0xF));
        digits += QChar('0' + (std::uint8_t(k[i]) & 0xF));
    }
    while (digits.endsWith(QLatin1Char('0')))
        digits.chop(1);
    if (digits.isEmpty())
        return QStringLiteral("0");
    const int e = int(std::uint8_t(k[0])) - 0x34;
    QString text;
    if (e <= 0)
        text = QStringLiteral("0.") + QString(-e, QLatin1Char('0')) + digits;
    else if (digits.size() <= e)
        text = digits + QString(e - digits.size(), QLatin1Char('0'));
    else
        text = digits.left(e) + QLatin1Char('.') + digits.mid(e);
    return (std::uint8_t(k[1]) & 0x80) ? QLatin1Char('-') + text : text;
}

// The same canonical text from a field's characters: no blanks, no leading or trailing zeros.
inline QString canonical(QString s) {
    s = s.trimmed();
    if (s.isEmpty())
        return QStringLiteral("0");
    bool negative = s.startsWith(QLatin1Char('-'));
    if (negative || s.startsWith(QLatin1Char('+')))
        s.remove(0, 1);
    QString whole = s.section(QLatin1Char('.'), 0, 0), fraction = s.section(QLatin1Char('.'), 1);
    while (whole.startsWith(QLatin1Char('0')))
        whole.remove(0, 1);
    while (fraction.endsWith(QLatin1Char('0')))
        fraction.chop(1);
    if (whole.isEmpty() && fraction.isEmpty())
        return QStringLiteral("0");
    QString text = (whole.isEmpty() ? QStringLiteral("0") : whole) +
                   (fraction.isEmpty() ? QString() : QLatin1Char('.') + fraction);
    return negative ? QLatin1Char('-') + text : text;
}

// Compares two canonical decimal texts by value.
inline int compareDecimal(const QString& a, const QString& b) {
    const bool na = a.startsWith(QLatin1Char('-')), nb = b.startsWith(QLatin1Char('-'));
    if (na != nb)
        return na ? -1 : 1;
    const QString x = na ? a.mid(1) : a, y = nb ? b.mid(1) : b;
    const QString xi = x.section(QLatin1Char('.'), 0, 0), yi = y.section(QLatin1Char('.'), 0, 0);
    int c = 0;
    if (xi.size() != yi.size())
        c = xi.size() < yi.size() ? -1 : 1;
    else {
        QString xf = x.section(QLatin1Char('.'), 1), yf = y.section(QLatin1Char('.'), 1);
        const qsizetype n = std::max(xf.size(), yf.size());
        xf = xf.leftJustified(n, QLatin1Char('0'));
        yf = yf.leftJustified(n, QLatin1Char('0'));
        c = (xi + xf).compare(yi + yf);
        c = c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    return na ? -c : c;
}

} // namespace probe
