#pragma once

#include "grid/GridColumn.h"

#include <QString>
#include <QStringView>
#include <optional>

// Identifiers shared by the writer and the reader of the layout text.
namespace ColumnLayoutNames {

QString alignmentName(ColumnAlignment a);
std::optional<ColumnAlignment> alignmentFromName(QStringView name);

QString sortStateName(TitleState s);
std::optional<TitleState> sortStateFromName(QStringView name);

struct OptionName {
    ColumnVisualOption option;
    const char* name;
};
extern const OptionName kVisualOptions[3];

struct StyleName {
    int bit;
    const char* name;
};
enum FontStyleBit { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
extern const StyleName kFontStyles[4];

// An invalid QColor stands for the default colour (clDefault).
QString colorText(const QColor& color, const char* defaultName);
// nullopt when the text names no colour we know; an invalid QColor for a default / system one.
std::optional<QColor> colorFromText(QStringView text);

// A string literal: 'abc''d'#1060'e' (+ between pieces allowed).
QString quote(const QString& text);
std::optional<QString> unquote(QStringView text);

} // namespace ColumnLayoutNames
