#include "report/PreparedReport.h"

#include "core/Error.h"
#include "core/FileLayer.h"

#include <QtEndian>

#include <array>
#include <cmath>
#include <cstring>

// File layout, all numbers little-endian:
//   "KVRP" magic, u16 version, u32 body length, body, u32 CRC-32 of the body.
// Body: page setup, u32 page count, then per page u32 item count and the items.
// Texts are u32 length in UTF-16 units followed by the units.
namespace report {
namespace {

constexpr char magic[4] = {'K', 'V', 'R', 'P'};
constexpr quint16 formatVersion = 1;

quint32 crc32(const char* data, qsizetype size) {
    static const auto table = [] {
        std::array<quint32, 256> t{};
        for (quint32 n = 0; n < 256; ++n) {
            quint32 c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    quint32 c = 0xFFFFFFFFu;
    for (qsizetype i = 0; i < size; ++i)
        c = table[(c ^ quint8(data[i])) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

class Writer {
public:
    QByteArray out;
    void u8(quint8 v) { out.append(char(v)); }
    void u16(quint16 v) { raw(qToLittleEndian(v)); }
    void u32(quint32 v) { raw(qToLittleEndian(v)); }
    void f64(double v) {
        quint64 bits;
        std::memcpy(&bits, &v, sizeof bits);
        raw(qToLittleEndian(bits));
    }
    void str(const QString& s) {
        u32(quint32(s.size()));
        for (QChar c : s)
            u16(c.unicode());
    }
    void rect(const QRectF& r) {
        f64(r.x());
        f64(r.y());
        f64(r.width());
        f64(r.height());
    }

private:
    template <typename T> void raw(T v) { out.append(reinterpret_cast<const char*>(&v), sizeof v); }
};

[[noreturn]] void damaged() {
    throw KvError(QStringLiteral("Файл отчёта повреждён или имеет неизвестный формат."));
}

class Reader {
public:
    Reader(const char* data, qsizetype size) : m_data(data), m_size(size) {}
    bool atEnd() const { return m_pos == m_size; }
    qsizetype remaining() const { return m_size - m_pos; }
    quint8 u8() { return raw<quint8>(); }
    quint16 u16() { return qFromLittleEndian(raw<quint16>()); }
    quint32 u32() { return qFromLittleEndian(raw<quint32>()); }
    double f64() {
        const quint64 bits = qFromLittleEndian(raw<quint64>());
        double v;
        std::memcpy(&v, &bits, sizeof v);
        if (!std::isfinite(v) || std::abs(v) > 1e6)
            damaged();
        return v;
    }
    bool flag() {
        const quint8 v = u8();
        if (v > 1)
            damaged();
        return v != 0;
    }
    template <typename E> E enumeration(quint8 last) {
        const quint8 v = u8();
        if (v > last)
            damaged();
        return E(v);
    }
    QString str() {
        const quint32 n = u32();
        if (qsizetype(n) > remaining() / 2)
            damaged();
        QString s(qsizetype(n), Qt::Uninitialized);
        for (quint32 i = 0; i < n; ++i)
            s[i] = QChar(u16());
        return s;
    }
    QRectF rect() {
        const double x = f64(), y = f64(), w = f64(), h = f64();
        if (w < 0 || h < 0)
            damaged();
        return {x, y, w, h};
    }
    // A count of things that take at least `minBytes` each cannot exceed what is left.
    quint32 count(qsizetype minBytes) {
        const quint32 n = u32();
        if (qsizetype(n) > remaining() / minBytes)
            damaged();
        return n;
    }

private:
    template <typename T> T raw() {
        if (remaining() < qsizetype(sizeof(T)))
            damaged();
        T v;
        std::memcpy(&v, m_data + m_pos, sizeof v);
        m_pos += sizeof v;
        return v;
    }
    const char* m_data;
    qsizetype m_size;
    qsizetype m_pos = 0;
};

void writeFont(Writer& w, const FontStyle& f) {
    w.str(f.family);
    w.f64(f.pointSize);
    w.u8(f.bold);
    w.u8(f.italic);
}

FontStyle readFont(Reader& r) {
    FontStyle f;
    f.family = r.str();
    f.pointSize = r.f64();
    if (f.pointSize <= 0 || f.pointSize > 1000)
        damaged();
    f.bold = r.flag();
    f.italic = r.flag();
    return f;
}

// The smallest item on disk: rect, two empty texts, point size and the flag bytes.
constexpr qsizetype minItemBytes = 4 * 8 + 4 + 4 + 8 + 2 + 5;

} // namespace

QByteArray PreparedReport::serialize() const {
    Writer body;
    body.f64(page.paper.width());
    body.f64(page.paper.height());
    body.u8(page.landscape);
    body.u16(quint16(page.paperSizeCode));
    body.f64(page.margins.left());
    body.f64(page.margins.top());
    body.f64(page.margins.right());
    body.f64(page.margins.bottom());
    body.u32(quint32(pages.size()));
    for (const PreparedPage& p : pages) {
        body.u32(quint32(p.items.size()));
        for (const DrawItem& item : p.items) {
            body.rect(item.rect);
            body.str(item.text);
            writeFont(body, item.font);
            body.u8(quint8(item.hAlign));
            body.u8(quint8(item.vAlign));
            body.u8(item.wordWrap);
            body.u8(item.clip);
            body.u8(item.frame);
        }
    }
    Writer file;
    file.out.append(magic, sizeof magic);
    file.u16(formatVersion);
    file.u32(quint32(body.out.size()));
    file.out.append(body.out);
    file.u32(crc32(body.out.constData(), body.out.size()));
    return file.out;
}

PreparedReport PreparedReport::deserialize(const QByteArray& data) {
    if (data.size() < 4 || std::memcmp(data.constData(), magic, sizeof magic) != 0)
        throw KvError(QStringLiteral("Файл не является сохранённым отчётом."));
    Reader head(data.constData() + 4, data.size() - 4);
    const quint16 version = head.u16();
    if (version != formatVersion)
        throw KvError(
            QStringLiteral("Сохранённый отчёт имеет неизвестную версию формата (%1).").arg(version));
    const quint32 bodySize = head.u32();
    if (qsizetype(bodySize) + 4 != head.remaining())
        damaged();
    const char* bodyData = data.constData() + 10;
    Reader tail(bodyData + bodySize, 4);
    if (tail.u32() != crc32(bodyData, bodySize))
        damaged();

    Reader r(bodyData, bodySize);
    PreparedReport rep;
    const double pw = r.f64(), ph = r.f64();
    if (pw <= 0 || ph <= 0)
        damaged();
    rep.page.paper = QSizeF(pw, ph);
    rep.page.landscape = r.flag();
    rep.page.paperSizeCode = r.u16();
    const double ml = r.f64(), mt = r.f64(), mr = r.f64(), mb = r.f64();
    rep.page.margins = QMarginsF(ml, mt, mr, mb);
    const quint32 pageCount = r.count(4);
    rep.pages.resize(pageCount);
    for (PreparedPage& p : rep.pages) {
        const quint32 itemCount = r.count(minItemBytes);
        p.items.resize(itemCount);
        for (DrawItem& item : p.items) {
            item.rect = r.rect();
            item.text = r.str();
            item.font = readFont(r);
            item.hAlign = r.enumeration<HAlign>(quint8(HAlign::Right));
            item.vAlign = r.enumeration<VAlign>(quint8(VAlign::Bottom));
            item.wordWrap = r.flag();
            item.clip = r.flag();
            item.frame = r.flag();
        }
    }
    if (!r.atEnd())
        damaged();
    return rep;
}

QString PreparedReport::fileNameFor(const QString& path) {
    // Only the end of the name counts: a dot in a folder name says nothing about the file.
    if (path.endsWith(QStringLiteral(".kvr"), Qt::CaseInsensitive))
        return path;
    return path + QStringLiteral(".kvr");
}

void PreparedReport::saveFile(const QString& path) const {
    fileio::saveAtomically(path, serialize(), QStringLiteral("Не удалось записать файл отчёта «%1»: %2"));
}

PreparedReport PreparedReport::loadFile(const QString& path) {
    // A regular file only, opened without waiting: a pipe or a device is refused, never read.
    fileio::File f;
    try {
        f = fileio::File::openReadOnly(path);
    } catch (const fileio::OpenError& e) {
        if (e.reason() == fileio::OpenFailure::NotAFile)
            throw;
        throw KvError(
            QStringLiteral("Не удалось открыть файл отчёта «%1»: %2").arg(path, fileio::reasonOf(e.error())));
    }
    // Far beyond any real report; refuses to read a huge foreign file into memory.
    constexpr qint64 maxSize = 512LL * 1024 * 1024;
    const qint64 size = f.size();
    if (size > maxSize)
        throw KvError(QStringLiteral("Файл «%1» не является сохранённым отчётом.").arg(path));
    QByteArray bytes(size, Qt::Uninitialized);
    f.readAt(0, bytes.data(), size);
    return deserialize(bytes);
}

} // namespace report
