#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// Text in files is Windows-1251. Encoding refuses characters the code page cannot hold
// instead of silently replacing them.
namespace cp1251 {

QString decode(const QByteArray& bytes);
QString decode(const char* data, qsizetype size);

// Empty optional when some character has no Windows-1251 form.
std::optional<QByteArray> tryEncode(const QString& text);

// Throws KvError naming the text when some character has no Windows-1251 form.
QByteArray encode(const QString& text);

// Every UTF-16 unit without a Windows-1251 form becomes `replacement` (so a character outside
// the BMP becomes two of them).
QByteArray encodeReplacing(const QString& text, char replacement = '?');

bool canEncode(QChar c);
bool canEncode(const QString& text);

} // namespace cp1251
