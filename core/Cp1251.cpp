#include "core/Cp1251.h"

#include "core/CodePages.h"
#include "core/Error.h"

namespace cp1251 {
namespace {

const SingleByteCodePage& page() {
    static const SingleByteCodePage* const p = SingleByteCodePage::find(1251);
    return *p;
}

} // namespace

QString decode(const char* data, qsizetype size) {
    return page().decode(data, size);
}

QString decode(const QByteArray& bytes) {
    return decode(bytes.constData(), bytes.size());
}

std::optional<QByteArray> tryEncode(const QString& text) {
    return page().encode(text);
}

QByteArray encodeReplacing(const QString& text, char replacement) {
    return page().encodeReplacing(text, replacement);
}

QByteArray encode(const QString& text) {
    auto bytes = tryEncode(text);
    if (!bytes)
        throw KvError(
            QStringLiteral("Текст \"%1\" содержит символы, которых нет в кодировке Windows-1251.").arg(text));
    return *bytes;
}

bool canEncode(QChar c) {
    return page().canEncode(c);
}

bool canEncode(const QString& text) {
    return tryEncode(text).has_value();
}

} // namespace cp1251
