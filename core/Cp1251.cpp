#include "Cp1251.h"

#include "core/Error.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace cp1251 {

QString decode(const char* data, qsizetype size) {
    QStringDecoder decoder("windows-1251");
    return decoder.decode(QByteArrayView(data, size));
}

QString decode(const QByteArray& bytes) { return decode(bytes.constData(), bytes.size()); }

std::optional<QByteArray> tryEncode(const QString& text) {
    // ASCII is the common case and needs no codec.
    bool ascii = true;
    for (QChar c : text) {
        if (c.unicode() >= 0x80) {
            ascii = false;
            break;
        }
    }
    if (ascii)
        return text.toLatin1();
    QStringEncoder encoder("windows-1251", QStringConverter::Flag::Stateless);
    QByteArray out = encoder.encode(text);
    if (encoder.hasError())
        return std::nullopt;
    // The codec may substitute '?' without flagging an error; a round trip tells.
    if (decode(out) != text)
        return std::nullopt;
    return out;
}

QByteArray encode(const QString& text) {
    auto bytes = tryEncode(text);
    if (!bytes)
        throw KvError(QStringLiteral("Текст \"%1\" содержит символы, которых нет в кодировке Windows-1251.")
                          .arg(text));
    return *bytes;
}

bool canEncode(QChar c) { return c.unicode() < 0x80 || tryEncode(QString(c)).has_value(); }

bool canEncode(const QString& text) { return tryEncode(text).has_value(); }

} // namespace cp1251
