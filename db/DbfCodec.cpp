#include "db/DbfCodec.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <string>

namespace dbf {

namespace {

// The language driver IDs of dBase and of the programs that follow it, with their code pages.
// Multi-byte code pages (Japanese, Chinese, Korean) are not among them.
struct Driver {
    std::uint8_t id;
    int codePage;
};
constexpr Driver drivers[] = {
    {0x00, 1251}, // no code page named: the program's own
    {0x01, 437},   {0x02, 850},   {0x03, 1252},  {0x04, 10000}, {0x08, 865},  {0x09, 437},  {0x0A, 850},
    {0x0B, 437},   {0x0D, 437},   {0x0E, 850},   {0x0F, 437},   {0x10, 850},  {0x11, 437},  {0x12, 850},
    {0x14, 850},   {0x15, 437},   {0x16, 850},   {0x17, 865},   {0x18, 437},  {0x19, 437},  {0x1A, 850},
    {0x1B, 437},   {0x1C, 863},   {0x1D, 850},   {0x1F, 852},   {0x22, 852},  {0x23, 852},  {0x24, 860},
    {0x25, 850},   {0x26, 866},   {0x37, 850},   {0x40, 852},   {0x50, 874},  {0x57, 1252}, {0x58, 1252},
    {0x59, 1252},  {0x64, 852},   {0x65, 866},   {0x66, 865},   {0x67, 861},  {0x6A, 737},  {0x6B, 857},
    {0x6C, 863},   {0x7C, 874},   {0x7D, 1255},  {0x7E, 1256},  {0x86, 737},  {0x87, 852},  {0x88, 857},
    {0x96, 10007}, {0x97, 10029}, {0x98, 10006}, {0xC8, 1250},  {0xC9, 1251}, {0xCA, 1254}, {0xCB, 1253},
    {0xCC, 1257},
};

} // namespace

std::optional<CodePage> CodePage::forDriver(std::uint8_t id) {
    for (const Driver& d : drivers)
        if (d.id == id)
            return CodePage(SingleByteCodePage::find(d.codePage));
    return std::nullopt;
}

CodePage CodePage::windows1251() {
    return CodePage(SingleByteCodePage::find(1251));
}

QString CodePage::decode(const char* data, qsizetype size) const {
    return m_page->decode(data, size);
}

std::optional<QByteArray> CodePage::encode(const QString& text) const {
    return m_page->encode(text);
}

QByteArray CodePage::encodeReplacing(const QString& text, char replacement) const {
    return m_page->encodeReplacing(text, replacement);
}

int CodePage::number() const {
    return m_page->number();
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
    const char* comma = nullptr;
    bool point = false;
    for (const char* p = b; p < e; ++p) {
        if (*p == ',' && !comma) {
            comma = p;
            continue;
        }
        point = point || *p == '.';
        if (!allowedInNumber(*p)) {
            n.kind = Number::Bad;
            return n;
        }
    }
    if (comma && point) {
        n.kind = Number::Bad; // "1,234.5": a grouping, not a decimal comma
        return n;
    }
    std::string text; // only for the comma, which from_chars does not take
    if (comma) {
        text.assign(b, e);
        text[std::size_t(comma - b)] = '.';
        b = text.data();
        e = b + text.size();
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
