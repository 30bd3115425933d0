#pragma once

#include "grid/GridColumn.h"

#include <QString>
#include <optional>
#include <vector>

// The text form of a grid's column layout, in component-streaming syntax:
//
//   object TUniDataStorage
//     Data = <
//       item
//         FieldName = 'COMMENT'
//         Width = 101
//         Alignment = taLeftJustify
//         Color = clDefault
//         SortState = tsSortedNone
//         VisualOptions = [voEndEllipsis, voSortMark]
//         Font.Charset = DEFAULT_CHARSET
//         Font.Color = clWindowText
//         Font.Height = -11
//         Font.Name = 'MS Sans Serif'
//         Font.Style = [fsBold]
//       end>
//   end
//
// Only the stored properties: field name, width, layout position (the order of the items),
// sort state, visual options, colour, cell alignment and font. Title, visibility, display
// format and read-only always come from the program's own set-up.
//
// Values: Alignment taLeftJustify | taRightJustify | taCenter; Color clDefault (the grid's
// colour), a colour name (clBlack, clMaroon, clGreen, clOlive, clNavy, clPurple, clTeal,
// clGray, clSilver, clRed, clLime, clYellow, clBlue, clFuchsia, clAqua, clWhite) or a
// number $00BBGGRR / decimal; strings in single quotes, '' for a quote, #nnn for a character
// outside printable ASCII (its Unicode code), pieces joined directly or by "+" across lines.
// Font lines are written only for a column with a font of its own.
namespace ColumnLayoutText {

// What one item of a stored text says; a property the item lacks (or that could not be
// parsed) stays empty and is left alone when applied.
struct StoredColumn {
    QString fieldName;
    std::optional<int> width;
    std::optional<TitleState> sortState;
    std::optional<ColumnVisualOptions> visualOptions;
    std::optional<QColor> color; // an invalid QColor: the default colour
    std::optional<ColumnAlignment> alignment;
    std::optional<QFont> font; // present when the item has any Font.* line
    std::optional<QColor> fontColor;
};

// Lines end with carriage return and line feed.
QString write(const std::vector<GridColumn>& columns);

// Never throws, never crashes, whatever the text: lines and values it cannot parse are
// skipped, items without a field name are dropped, a width outside 0..10000 is ignored.
// Reads at most 4096 items and looks at no more than the first 4 MiB of the text.
std::vector<StoredColumn> read(const QString& text);

// Copies the stored properties of each item onto the column with the same field name
// (case-insensitive; the first item naming a field wins). The matched columns are put in the
// order of the items, taking the places the matched columns held, so unmatched columns keep
// their places. Returns the number of columns matched.
int apply(const std::vector<StoredColumn>& stored, std::vector<GridColumn>& columns);

} // namespace ColumnLayoutText
