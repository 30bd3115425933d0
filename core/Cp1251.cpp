#include "core/Cp1251.h"

#include "core/Error.h"

#include <QStringDecoder>

#include <array>
#include <unordered_map>

namespace cp1251 {
namespace {

// The code page is a fixed 256-entry table; building it once from Qt's codec keeps every field
// read and write free of converter set-up, which dominated reading large tables.
struct Tables {
    std::array<char16_t, 256> toUnicode{};
    std::unordered_map<char16_t, unsigned char> fromUnicode;

    Tables() {
        QStringDecoder decoder("windows-1251", QStringConverter::Flag::Stateless);
        for (int b = 0; b < 256; ++b) {
            const char byte = static_cast<char>(b);
            const QString s = decoder.decode(QByteArrayView(&byte, 1));
            // The one byte without a character (0x98) decodes to U+FFFD and maps back to nothing.
            const char16_t c = s.size() == 1 ? s.at(0).unicode() : char16_t(0xFFFD);
            toUnicode[b] = c;
            if (c != 0xFFFD && b >= 0x80)
                fromUnicode.emplace(c, static_cast<unsigned char>(b));
        }
    }
};

const Tables& tables() {
    static const Tables t;
    return t;
}

// -1 for a unit without a byte, which is also every surrogate half: no character outside the
// BMP passes.
int byteOf(const std::unordered_map<char16_t, unsigned char>& fromUnicode, char16_t c) {
    if (c < 0x80)
        return c;
    const auto it = fromUnicode.find(c);
    return it == fromUnicode.end() ? -1 : it->second;
}

} // namespace

QString decode(const char* data, qsizetype size) {
    const auto& map = tables().toUnicode;
    QString out(size, Qt::Uninitialized);
    QChar* dst = out.data();
    for (qsizetype i = 0; i < size; ++i)
        dst[i] = QChar(map[static_cast<unsigned char>(data[i])]);
    return out;
}

QString decode(const QByteArray& bytes) {
    return decode(bytes.constData(), bytes.size());
}

std::optional<QByteArray> tryEncode(const QString& text) {
    const auto& map = tables().fromUnicode;
    QByteArray out(text.size(), Qt::Uninitialized);
    char* dst = out.data();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const int b = byteOf(map, text.at(i).unicode());
        if (b < 0)
            return std::nullopt;
        dst[i] = static_cast<char>(b);
    }
    return out;
}

QByteArray encodeReplacing(const QString& text, char replacement) {
    const auto& map = tables().fromUnicode;
    QByteArray out(text.size(), Qt::Uninitialized);
    char* dst = out.data();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const int b = byteOf(map, text.at(i).unicode());
        dst[i] = b < 0 ? replacement : static_cast<char>(b);
    }
    return out;
}

QByteArray encode(const QString& text) {
    auto bytes = tryEncode(text);
    if (!bytes)
        throw KvError(
            QStringLiteral("Текст \"%1\" содержит символы, которых нет в кодировке Windows-1251.").arg(text));
    return *bytes;
}

bool canEncode(QChar c) {
    return byteOf(tables().fromUnicode, c.unicode()) >= 0;
}

bool canEncode(const QString& text) {
    return tryEncode(text).has_value();
}

} // namespace cp1251
