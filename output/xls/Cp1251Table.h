#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Windows-1251 through tables built once from the program's codec: the writer converts every
// cell text, and starting the codec for each of them costs more than the rest of the export.
namespace xls_text {

QString decode(const QByteArray& text);
// Empty optional when some character has no Windows-1251 form.
std::optional<QByteArray> encode(const QString& text);

} // namespace xls_text
