#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <optional>
#include <utility>

// The single-byte code pages in which dBase tables hold their text, one fixed table each, so that
// a table of another program reads and writes the same on every machine, whatever converters the
// system offers. Bytes 0x00–0x7F are ASCII in all of them. Windows-1251, the program's own code
// page, is one of them (core/Cp1251 is its short form).
class SingleByteCodePage {
public:
    // The code page of that number (437, 866, 1251, 10007 for Mac Cyrillic, …); nullptr for one
    // without a table here.
    static const SingleByteCodePage* find(int number);

    int number() const { return m_number; }
    // "cp866", "mac-cyrillic".
    QString name() const { return QString::fromLatin1(m_name); }

    // A byte that has no character in the code page decodes to U+FFFD.
    QString decode(const char* data, qsizetype size) const;
    // Empty when some UTF-16 unit has no byte (every character outside the BMP among them).
    std::optional<QByteArray> encode(const QString& text) const;
    // Every UTF-16 unit without a byte becomes `replacement`.
    QByteArray encodeReplacing(const QString& text, char replacement) const;
    bool canEncode(QChar c) const { return byteOf(c.unicode()) >= 0; }

    struct Table;
    explicit SingleByteCodePage(const Table& table);

private:
    int byteOf(char16_t c) const; // -1 when none

    int m_number;
    const char* m_name;
    const char16_t* m_upper; // the characters of bytes 0x80–0xFF
    // The characters of those bytes with their bytes, in character order.
    std::array<std::pair<char16_t, unsigned char>, 128> m_fromUnicode{};
    int m_mapped = 0;
};
