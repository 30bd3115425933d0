#include "db/DbfCodec.h"

#include "core/Cp1251.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <charconv>
#include <cmath>
#include <cstring>

namespace dbf {

std::optional<CodePage> CodePage::forDriver(std::uint8_t id) {
    switch (id) {
    case 0x00: // no code page named: the program's own
    case 0xC9:
        return CodePage(nullptr);
    case 0x26:
    case 0x65:
        return CodePage("IBM866");
    case 0x03:
    case 0x57:
        return CodePage("windows-1252");
    default:
        return std::nullopt;
    }
}

QString CodePage::decode(const char* data, qsizetype size) const {
    if (!m_name)
        return cp1251::decode(data, size);
    QStringDecoder decoder(m_name);
    return decoder.decode(QByteArrayView(data, size));
}

std::optional<QByteArray> CodePage::encode(const QString& text) const {
    if (!m_name)
        return cp1251::tryEncode(text);
    QStringEncoder encoder(m_name, QStringConverter::Flag::Stateless);
    if (!encoder.isValid())
        return std::nullopt;
    QByteArray out = encoder.encode(text);
    // Encoders may substitute '?' silently; only a round trip proves the text survived.
    if (encoder.hasError() || decode(out.constData(), out.size()) != text)
        return std::nullopt;
    return out;
}

namespace {

Fit place(const char* text, int size, int length, char* out) {
    if (size > length)
        return Fit::TooWide;
    std::memset(out, ' ', length - size);
    std::memcpy(out + length - size, text, size);
    return Fit::Ok;
}

bool allowedInNumber(char c) {
    return (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E';
}

} // namespace

Fit formatReal(double value, int length, int decimals, char* out) {
    if (!std::isfinite(value))
        return Fit::NotFinite;
    if (decimals == 0 && value != std::floor(value))
        return Fit::NotInteger;
    char buf[400];
    auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
    if (r.ec != std::errc())
        return Fit::TooWide;
    int size = int(r.ptr - buf);
    // A negative value that rounds to zero is written as zero, never as "-0.000000000".
    if (buf[0] == '-' && std::strspn(buf + 1, "0.") == size_t(size - 1)) {
        std::memmove(buf, buf + 1, size - 1);
        --size;
    }
    return place(buf, size, length, out);
}

Fit formatInteger(qint64 value, int length, char* out) {
    char buf[32];
    auto r = std::to_chars(buf, buf + sizeof buf, value);
    return place(buf, int(r.ptr - buf), length, out);
}

Number parseNumber(const char* data, int length) {
    const char* b = data;
    const char* e = data + length;
    while (b < e && (*b == ' ' || *b == '\0'))
        ++b;
    while (e > b && (e[-1] == ' ' || e[-1] == '\0'))
        --e;
    Number n;
    if (b == e)
        return n;
    for (const char* p = b; p < e; ++p) {
        if (!allowedInNumber(*p)) {
            n.kind = Number::Bad;
            return n;
        }
    }
    if (*b == '+')
        ++b;
    auto ri = std::from_chars(b, e, n.integer);
    if (ri.ec == std::errc() && ri.ptr == e) {
        n.kind = Number::Integer;
        return n;
    }
    auto rd = std::from_chars(b, e, n.real);
    n.kind = (rd.ec == std::errc() && rd.ptr == e) ? Number::Real : Number::Bad;
    return n;
}

bool numericValue(const char* data, int length, double& out) {
    Number n = parseNumber(data, length);
    switch (n.kind) {
    case Number::Integer:
        out = double(n.integer);
        return true;
    case Number::Real:
        out = n.real;
        return true;
    default:
        return false;
    }
}

} // namespace dbf
