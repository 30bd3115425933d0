#include "output/xls/Cp1251Table.h"

#include "core/Cp1251.h"

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

namespace xls_text {
namespace {

struct Tables {
    QString toUnicode;                                // 256 characters, or empty when unusable
    std::vector<std::pair<char16_t, char>> fromUpper; // characters of bytes 0x80-0xFF, sorted
};

const Tables& tables() {
    static const Tables t = [] {
        Tables t;
        QByteArray all(256, '\0');
        for (int i = 0; i < 256; ++i)
            all[i] = char(i);
        const QString decoded = cp1251::decode(all);
        if (decoded.size() != 256)
            return t;
        t.toUnicode = decoded;
        for (int i = 0x80; i < 256; ++i) {
            const QChar c = decoded[i];
            if (c != QChar::ReplacementCharacter && cp1251::tryEncode(QString(c)) == QByteArray(1, char(i)))
                t.fromUpper.push_back({c.unicode(), char(i)});
        }
        std::sort(t.fromUpper.begin(), t.fromUpper.end());
        return t;
    }();
    return t;
}

} // namespace

QString decode(const QByteArray& text) {
    const Tables& t = tables();
    if (t.toUnicode.isEmpty())
        return cp1251::decode(text);
    QString out(text.size(), Qt::Uninitialized);
    QChar* d = out.data();
    for (char c : text)
        *d++ = t.toUnicode[std::uint8_t(c)];
    return out;
}

std::optional<QByteArray> encode(const QString& text) {
    const Tables& t = tables();
    if (t.toUnicode.isEmpty())
        return cp1251::tryEncode(text);
    QByteArray out(text.size(), Qt::Uninitialized);
    char* d = out.data();
    for (QChar c : text) {
        if (c.unicode() < 0x80) {
            *d++ = char(c.unicode());
            continue;
        }
        auto it = std::lower_bound(t.fromUpper.begin(), t.fromUpper.end(), std::pair(c.unicode(), '\0'),
                                   [](const auto& a, const auto& b) { return a.first < b.first; });
        if (it == t.fromUpper.end() || it->first != c.unicode())
            return std::nullopt;
        *d++ = it->second;
    }
    return out;
}

} // namespace xls_text
