#include "db/MdxFile.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cstring>
#include <functional>

namespace dbf::mdx {
namespace {

constexpr int kHeaderPage = 4;
constexpr int kFirstNodePage = 6;
constexpr int kTagTableOffset = 544;
constexpr int kTagEntrySize = 32;
constexpr int kTagEntries = (2048 - kTagTableOffset) / kTagEntrySize;
constexpr int kTagHeaderOffset = kHeaderPage * kPageSize;
constexpr int kNodesOffset = kFirstNodePage * kPageSize;
constexpr int kExpressionOffset = 24;
constexpr int kExpressionEnd = 245;
constexpr std::uint8_t kFieldKey = 0x10;
constexpr std::uint8_t kDescendingFlag = 0x08;
constexpr std::uint8_t kUniqueFlag = 0x40;
constexpr int kDateTimeKeyLength = 16; // yyyymmddhh:mm:ss
constexpr char kLegacyMagic[8] = {'K', 'V', 'L', 'D', 'M', 'D', 'X', 0x1A};

std::uint32_t get32(const char* p) {
    return std::uint32_t(std::uint8_t(p[0])) | std::uint32_t(std::uint8_t(p[1])) << 8 |
           std::uint32_t(std::uint8_t(p[2])) << 16 | std::uint32_t(std::uint8_t(p[3])) << 24;
}
std::uint16_t get16(const char* p) {
    return std::uint16_t(std::uint8_t(p[0]) | std::uint8_t(p[1]) << 8);
}
void put32(char* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = char((v >> (8 * i)) & 0xFF);
}
void put16(char* p, std::uint16_t v) {
    p[0] = char(v & 0xFF);
    p[1] = char(v >> 8);
}

// A key rewritten so that memcmp orders it: numeric keys get a sign class in front and their
// exponent and digits inverted when negative; character keys stay as stored.
int sortKeyLength(const DbfField& field) {
    return field.type == 'N' ? kNumericKeyLength : field.length;
}

void sortableNumeric(const std::array<char, kNumericKeyLength>& key, char* out) {
    bool zero = true;
    for (int i = 2; i < kNumericKeyLength; ++i)
        zero = zero && key[size_t(i)] == 0;
    const bool negative = (std::uint8_t(key[1]) & 0x80) != 0;
    std::memset(out, 0, kNumericKeyLength);
    if (zero) {
        out[0] = 1;
        return;
    }
    out[0] = negative ? 0 : 2;
    out[1] = negative ? char(~key[0]) : key[0];
    for (int i = 2; i < kNumericKeyLength; ++i)
        out[i] = negative ? char(~key[size_t(i)]) : key[size_t(i)];
}

void sortableKey(const char* record, int fieldOffset, const DbfField& field, char* out) {
    if (field.type == 'N')
        sortableNumeric(numericKey(record + fieldOffset, field.length), out);
    else
        std::memcpy(out, record + fieldOffset, size_t(field.length));
}

std::vector<int> spread(int items, int groups) {
    std::vector<int> sizes(size_t(groups), items / groups);
    for (int i = 0; i < items % groups; ++i)
        ++sizes[size_t(i)];
    return sizes;
}

void putName(char* p, const QByteArray& name, int room) {
    std::memcpy(p, name.constData(), size_t(std::min<qsizetype>(name.size(), room)));
}

} // namespace

std::array<char, kNumericKeyLength> numericKey(const char* text, int length) {
    std::array<char, kNumericKeyLength> key{};
    key[0] = 0x34;
    key[1] = 0x01;
    int b = 0, e = length;
    while (b < e && text[b] == ' ')
        ++b;
    while (e > b && text[e - 1] == ' ')
        --e;
    bool negative = false;
    if (b < e && (text[b] == '-' || text[b] == '+'))
        negative = text[b++] == '-';
    // The integer and fraction digits, checked to be the whole of the text.
    const int intBegin = b;
    while (b < e && text[b] >= '0' && text[b] <= '9')
        ++b;
    const int intEnd = b;
    int fracBegin = b, fracEnd = b;
    if (b < e && (text[b] == '.' || text[b] == ',')) { // the comma of writers in the Russian locale
        fracBegin = ++b;
        while (b < e && text[b] >= '0' && text[b] <= '9')
            ++b;
        fracEnd = b;
    }
    if (b != e || (intEnd == intBegin && fracEnd == fracBegin))
        return key;
    int firstInt = intBegin;
    while (firstInt < intEnd && text[firstInt] == '0')
        ++firstInt;
    int lastFrac = fracEnd;
    while (lastFrac > fracBegin && text[lastFrac - 1] == '0')
        --lastFrac;
    const int intDigits = intEnd - firstInt;
    const int fracDigits = lastFrac - fracBegin;
    if (intDigits == 0 && fracDigits == 0)
        return key;
    int exponent = 0;
    int count = 0; // C: digits up to the last non-zero one, counted from the start or the point
    int from = 0;  // first significant digit within the joined digits
    char digits[64];
    int n = 0;
    for (int i = firstInt; i < intEnd && n < 64; ++i)
        digits[n++] = text[i];
    for (int i = fracBegin; i < lastFrac && n < 64; ++i)
        digits[n++] = text[i];
    if (intDigits > 0) {
        exponent = intDigits;
        count = intDigits + fracDigits;
    } else {
        while (from < n && digits[from] == '0')
            ++from;
        exponent = -from;
        count = fracDigits;
    }
    key[0] = char(0x34 + exponent);
    key[1] = char((negative ? 0x80 : 0) | ((count & 0x1F) << 2) | 0x01);
    for (int i = from, at = 0; i < n && at < 20; ++i, ++at) {
        const int v = digits[i] - '0';
        char& slot = key[size_t(2 + at / 2)];
        slot = char(at % 2 == 0 ? v << 4 : std::uint8_t(slot) | v);
    }
    return key;
}

int keyLength(const DbfField& field) {
    return field.type == 'N' ? kNumericKeyLength : field.length;
}
int itemLength(const DbfField& field) {
    return 4 + (keyLength(field) + 3) / 4 * 4;
}
int maxKeys(const DbfField& field) {
    return (kBlockSize - 12) / itemLength(field);
}

QByteArray keyOf(const char* record, int fieldOffset, const DbfField& field) {
    if (field.type == 'N') {
        const auto key = numericKey(record + fieldOffset, field.length);
        return QByteArray(key.data(), kNumericKeyLength);
    }
    return QByteArray(record + fieldOffset, field.length);
}

void sortRecords(std::vector<int>& records, const char* data, int recordLength, int fieldOffset,
                 const DbfField& field, bool descending) {
    const size_t width = size_t(sortKeyLength(field));
    std::vector<char> keys(records.size() * width);
    std::vector<std::pair<int, int>> pairs(records.size()); // record, its key's slot
    for (size_t i = 0; i < records.size(); ++i) {
        sortableKey(data + qint64(records[i]) * recordLength, fieldOffset, field, keys.data() + i * width);
        pairs[i] = {records[i], int(i)};
    }
    const char* k = keys.data();
    std::sort(pairs.begin(), pairs.end(), [&](const std::pair<int, int>& a, const std::pair<int, int>& b) {
        const int c = std::memcmp(k + size_t(a.second) * width, k + size_t(b.second) * width, width);
        if (c != 0)
            return descending ? c > 0 : c < 0;
        return a.first < b.first;
    });
    for (size_t i = 0; i < pairs.size(); ++i)
        records[i] = pairs[i].first;
}

std::vector<int> tagOrder(const char* data, int count, int recordLength, int fieldOffset,
                          const DbfField& field, bool descending) {
    std::vector<int> order(static_cast<size_t>(count));
    for (int r = 0; r < count; ++r)
        order[size_t(r)] = r;
    sortRecords(order, data, recordLength, fieldOffset, field, descending);
    return order;
}

bool inTagOrder(const std::vector<int>& order, const char* data, int recordLength, int fieldOffset,
                const DbfField& field, bool descending) {
    const size_t width = size_t(sortKeyLength(field));
    std::vector<char> before(width), after(width);
    for (size_t i = 1; i < order.size(); ++i) {
        sortableKey(data + qint64(order[i - 1]) * recordLength, fieldOffset, field, before.data());
        sortableKey(data + qint64(order[i]) * recordLength, fieldOffset, field, after.data());
        const int c = std::memcmp(before.data(), after.data(), width);
        if (c == 0 ? order[i - 1] > order[i] : (descending ? c < 0 : c > 0))
            return false;
    }
    return true;
}

QByteArray build(const TagSource& s, const std::vector<int>& order) {
    const DbfField& field = s.field;
    const int keyLen = keyLength(field);
    const int item = itemLength(field);
    const int most = maxKeys(field);
    const int count = int(order.size());

    // Node counts per level, leaves first.
    std::vector<int> levels{count == 0 ? 1 : (count + most - 1) / most};
    while (levels.back() > 1)
        levels.push_back((levels.back() + most) / (most + 1));
    int nodes = 0;
    for (int n : levels)
        nodes += n;
    QByteArray file(kNodesOffset + qsizetype(nodes) * kBlockSize, '\0');
    char* out = file.data();

    const auto record = [&](int r) { return s.data + qint64(r) * s.recordLength; };
    const auto writeKey = [&](char* at, int r) {
        if (field.type == 'N') {
            const auto key = numericKey(record(r) + s.fieldOffset, field.length);
            std::memcpy(at, key.data(), kNumericKeyLength);
        } else {
            std::memcpy(at, record(r) + s.fieldOffset, size_t(keyLen));
        }
    };
    const auto nodeAt = [&](int node) { return out + kNodesOffset + qsizetype(node) * kBlockSize; };
    const auto pageOf = [](int node) { return std::uint32_t(kFirstNodePage + 2 * node); };

    // Leaves, each remembering the record whose key closes it.
    std::vector<int> last;
    int node = 0;
    {
        const std::vector<int> sizes = count == 0 ? std::vector<int>{0} : spread(count, levels[0]);
        int at = 0;
        for (int size : sizes) {
            char* p = nodeAt(node++);
            put32(p, std::uint32_t(size));
            for (int i = 0; i < size; ++i) {
                char* entry = p + 8 + i * item;
                const int r = order[size_t(at + i)];
                put32(entry, std::uint32_t(r + 1));
                writeKey(entry + 4, r);
            }
            at += size;
            last.push_back(size > 0 ? order[size_t(at - 1)] : -1);
        }
    }
    int levelStart = 0;
    for (size_t level = 1; level < levels.size(); ++level) {
        const int children = levels[level - 1];
        std::vector<int> nextLast;
        int child = 0;
        for (int size : spread(children, levels[level])) {
            char* p = nodeAt(node++);
            put32(p, std::uint32_t(size - 1));
            for (int i = 0; i < size - 1; ++i) {
                char* entry = p + 8 + i * item;
                put32(entry, pageOf(levelStart + child + i));
                writeKey(entry + 4, last[size_t(child + i)]);
            }
            put32(p + 8 + (size - 1) * item, pageOf(levelStart + child + size - 1));
            nextLast.push_back(last[size_t(child + size - 1)]);
            child += size;
        }
        levelStart += children;
        last = std::move(nextLast);
    }

    // File header.
    out[0] = 0x02;
    std::memcpy(out + 1, s.date.data(), 3);
    putName(out + 4, s.tableName, 16);
    put16(out + 20, 2);
    put16(out + 22, kBlockSize);
    out[24] = 1;
    out[25] = 0x30;
    out[26] = kTagEntrySize;
    put16(out + 28, 1);
    out[30] = 0x02;
    out[31] = 0x1B;
    put32(out + 32, std::uint32_t(file.size() / kPageSize));
    std::memcpy(out + 44, s.date.data(), 3);
    out[529] = 0x01;

    // Tag table entry 0.
    char* tag = out + kTagTableOffset;
    put32(tag, kHeaderPage);
    putName(tag + 4, kTagName.toLatin1(), 11);
    tag[15] = char(kFieldKey);
    tag[19] = 0x02;
    tag[20] = field.type;

    // Tag header.
    char* h = out + kTagHeaderOffset;
    put32(h, pageOf(nodes - 1));
    put32(h + 4, std::uint32_t(2 * nodes));
    h[8] = char(kFieldKey | (s.descending ? kDescendingFlag : 0));
    h[9] = field.type;
    h[11] = 0x1B;
    put16(h + 12, std::uint16_t(keyLen));
    put16(h + 14, std::uint16_t(most));
    put16(h + 18, std::uint16_t(item));
    h[20] = 0x01;
    putName(h + kExpressionOffset, field.name.toLatin1(), 11);
    h[246] = count > 0 ? 1 : 0;
    put32(h + 248, pageOf(0));
    put32(h + 252, pageOf(levels[0] - 1));
    std::memcpy(h + 257, s.date.data(), 3);
    h[480] = 0x01;
    return file;
}

namespace {

// How the key of a tag is made from a record: one field, or the date-time expression.
struct KeyOfRecord {
    std::function<QByteArray(const char* record)> bytes;
    int length = 0;
    int item = 0;
    int most = 0;
};

class Walker {
public:
    Walker(const QByteArray& b, const KeyOfRecord& key, const char* data, int count, int recordLength)
        : m_b(b), m_key(key), m_data(data), m_count(count), m_recordLength(recordLength),
          m_visited(size_t(b.size() / kBlockSize + 1), false), m_seen(size_t(count), false) {}

    // False when the tree cannot be walked (damage); stale() tells whether it disagrees with the records.
    bool walk(std::uint32_t page, int depth) {
        if (depth > 64 || !validPage(page))
            return false;
        const size_t slot = page / 2;
        if (m_visited[slot])
            return false; // a page reached twice: a cycle or a shared child
        m_visited[slot] = true;
        const char* p = m_b.constData() + qsizetype(page) * kPageSize;
        const std::uint32_t n = get32(p);
        if (n > std::uint32_t(m_key.most))
            return false;
        const std::uint32_t item = std::uint32_t(m_key.item);
        const std::uint32_t trailing = get32(p + 8 + n * item);
        if (trailing == 0) {
            if (m_leafDepth < 0)
                m_leafDepth = depth;
            else if (m_leafDepth != depth)
                return false;
            for (std::uint32_t i = 0; i < n; ++i) {
                const char* entry = p + 8 + i * item;
                const std::uint32_t rec = get32(entry);
                if (rec == 0 || rec > std::uint32_t(m_count) || m_seen[rec - 1]) {
                    m_stale = true;
                    continue;
                }
                m_seen[rec - 1] = true;
                const int r = int(rec - 1);
                if (m_key.bytes(m_data + qint64(r) * m_recordLength) !=
                    QByteArray::fromRawData(entry + 4, m_key.length))
                    m_stale = true;
                order.push_back(r);
            }
            return true;
        }
        for (std::uint32_t i = 0; i < n; ++i)
            if (!walk(get32(p + 8 + i * item), depth + 1))
                return false;
        return walk(trailing, depth + 1);
    }
    bool stale() const { return m_stale || int(order.size()) != m_count; }
    std::vector<int> order;

private:
    bool validPage(std::uint32_t page) const {
        return page >= std::uint32_t(kFirstNodePage) && page % 2 == 0 &&
               qint64(page) * kPageSize + kBlockSize <= m_b.size();
    }
    const QByteArray& m_b;
    const KeyOfRecord& m_key;
    const char* m_data;
    int m_count;
    int m_recordLength;
    std::vector<bool> m_visited;
    std::vector<bool> m_seen;
    int m_leafDepth = -1;
    bool m_stale = false;
};

bool allZero(const char* p, qsizetype size) {
    return std::all_of(p, p + size, [](char c) { return c == 0; });
}

// The key expression without blanks, in upper case.
QString normalised(const QString& expression) {
    QString out;
    for (QChar c : expression)
        if (!c.isSpace())
            out += c.toUpper();
    return out;
}

} // namespace

bool isDateTimeExpression(const QString& expression) {
    return normalised(expression) == normalised(kDateTimeExpression);
}

ReadResult read(const QByteArray& bytes, const Layout& layout, const char* data, int count) {
    ReadResult result;
    const qsizetype size = bytes.size();
    const char* b = bytes.constData();
    if (size >= qsizetype(sizeof kLegacyMagic) && std::memcmp(b, kLegacyMagic, sizeof kLegacyMagic) == 0) {
        result.kind = Kind::Legacy;
        return result;
    }
    // Without its header and tag table no program can read an index: a file that lost them to
    // zeros (or never had them) holds nothing anyone could lose.
    if (allZero(b, std::min<qsizetype>(size, kNodesOffset - 2 * kPageSize))) {
        result.kind = Kind::Damaged;
        return result;
    }
    if (std::uint8_t(b[0]) != 0x02) {
        result.kind = Kind::Foreign;
        return result;
    }
    // A cut-off copy of a file of our layout is ours, damaged.
    if (size < kTagTableOffset + kTagEntrySize) {
        const bool looksOurs = size < 27 || (get16(b + 20) == 2 && get16(b + 22) == kBlockSize &&
                                             b[24] == 1 && b[26] == kTagEntrySize);
        result.kind = looksOurs ? Kind::Damaged : Kind::Foreign;
        return result;
    }
    // Ours: the header this program writes and a first tag DB1. Any other first tag is another
    // program's, whatever else the file holds.
    const char* tag = b + kTagTableOffset;
    char name[11] = {};
    putName(name, kTagName.toLatin1(), 11);
    if (get16(b + 20) != 2 || get16(b + 22) != kBlockSize || b[24] != 1 || b[26] != kTagEntrySize ||
        std::memcmp(tag + 4, name, 11) != 0) {
        result.kind = Kind::Foreign;
        return result;
    }
    result.kind = Kind::Damaged;
    bool otherTags = false;
    for (int i = 1; i < kTagEntries && kTagTableOffset + (i + 1) * kTagEntrySize <= size; ++i)
        otherTags = otherTags || !allZero(tag + i * kTagEntrySize, kTagEntrySize);
    if (get16(b + 28) != 1 || otherTags || size < kNodesOffset + kBlockSize || size % kBlockSize != 0 ||
        get32(b + 32) != std::uint32_t(size / kPageSize) || get32(tag) != std::uint32_t(kHeaderPage))
        return result;
    const char* h = b + kTagHeaderOffset;
    const std::uint8_t format = std::uint8_t(h[8]);
    if ((format & kUniqueFlag) != 0 || h[245] != 0) {
        result.kind = Kind::Foreign; // unique keys or a filter: made by someone on purpose
        return result;
    }
    const char* expression = h + kExpressionOffset;
    const char* nul =
        static_cast<const char*>(std::memchr(expression, '\0', kExpressionEnd - kExpressionOffset));
    if (!nul) {
        result.kind = Kind::Foreign;
        return result;
    }
    const QString keyText = QString::fromLatin1(expression, nul - expression).trimmed();
    const auto fieldNamed = [&](const QString& wanted) {
        for (size_t i = 0; i < layout.fields.size(); ++i)
            if (layout.fields[i].name.compare(wanted, Qt::CaseInsensitive) == 0)
                return int(i);
        return -1;
    };
    KeyOfRecord key;
    char keyType = 'C';
    bool formatFits = false;
    int f = -1;
    if (isDateTimeExpression(keyText)) {
        const int date = fieldNamed(QStringLiteral("DATE"));
        const int time = fieldNamed(QStringLiteral("TIME"));
        if (date < 0 || time < 0 || layout.fields[size_t(date)].type != 'C' ||
            layout.fields[size_t(date)].length < 10 || layout.fields[size_t(time)].type != 'C' ||
            layout.fields[size_t(time)].length < 8) {
            result.kind = Kind::Foreign; // a key this table's fields do not make
            return result;
        }
        const int d = layout.offsets[size_t(date)];
        const int t = layout.offsets[size_t(time)];
        key.bytes = [d, t](const char* record) {
            QByteArray k;
            k.append(record + d + 6, 4).append(record + d + 3, 2).append(record + d, 2).append(record + t, 8);
            return k;
        };
        key.length = kDateTimeKeyLength;
        key.item = 4 + (key.length + 3) / 4 * 4;
        key.most = (kBlockSize - 12) / key.item;
        formatFits = (format & ~(kFieldKey | kDescendingFlag)) == 0;
        result.dateTime = true;
        f = date;
    } else {
        f = fieldNamed(keyText);
        if (f < 0) {
            result.kind = Kind::Foreign; // a key this table's fields do not make
            return result;
        }
        const DbfField& field = layout.fields[size_t(f)];
        const int offset = layout.offsets[size_t(f)];
        key.bytes = [offset, &field](const char* record) { return keyOf(record, offset, field); };
        key.length = keyLength(field);
        key.item = itemLength(field);
        key.most = maxKeys(field);
        keyType = field.type;
        formatFits = format == kFieldKey || format == (kFieldKey | kDescendingFlag);
    }
    if (!formatFits || h[9] != keyType || tag[20] != keyType || get16(h + 12) != key.length ||
        get16(h + 18) != key.item || get16(h + 14) != key.most)
        return result;
    Walker walker(bytes, key, data, count, layout.recordLength);
    if (!walker.walk(get32(h), 0))
        return result;
    const bool descending = (format & kDescendingFlag) != 0;
    result.def = {kTagName.toLower(), layout.fields[size_t(f)].name, descending};
    if (walker.stale()) {
        result.kind = Kind::Stale;
        return result;
    }
    // The walk must give the order the tag promises, else it is rebuilt from the records.
    bool ordered = true;
    if (result.dateTime) {
        for (size_t i = 1; i < walker.order.size() && ordered; ++i) {
            const int c = std::memcmp(key.bytes(data + qint64(walker.order[i - 1]) * layout.recordLength),
                                      key.bytes(data + qint64(walker.order[i]) * layout.recordLength),
                                      size_t(key.length));
            ordered = c == 0 ? walker.order[i - 1] < walker.order[i] : (descending ? c > 0 : c < 0);
        }
    } else {
        ordered = inTagOrder(walker.order, data, layout.recordLength, layout.offsets[size_t(f)],
                             layout.fields[size_t(f)], descending);
    }
    if (!ordered) {
        result.kind = Kind::Stale;
        return result;
    }
    result.kind = Kind::Ours;
    result.order = std::move(walker.order);
    return result;
}

QString findFile(const QString& tablePath) {
    const QFileInfo info(tablePath);
    const QString wanted = info.completeBaseName() + QStringLiteral(".mdx");
    const QDir dir = info.absoluteDir();
    if (QFileInfo::exists(dir.filePath(wanted)))
        return dir.filePath(wanted);
    const QStringList names = dir.entryList({QStringLiteral("*")}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : names)
        if (name.compare(wanted, Qt::CaseInsensitive) == 0)
            return dir.filePath(name);
    return dir.filePath(wanted);
}

} // namespace dbf::mdx
