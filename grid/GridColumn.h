#pragma once

#include <QChar>
#include <QColor>
#include <QFlags>
#include <QFont>
#include <QString>

#include <functional>
#include <optional>

// Sort state of a column, shown as a mark in its title. The grid only keeps and shows it;
// what a state means for the order of the rows is the owner's business (see
// DBGridPro::titleStateChange).
enum TitleState { tsSortedNone = 0, tsSortedUp = 1, tsSortedDown = 2 };

// Horizontal alignment as a grid column knows it (left, right, centre).
enum class ColumnAlignment { Left, Right, Center };

// Visual options of a column, a stored property of the layout.
enum ColumnVisualOption {
    voEndEllipsis = 0x1, // text wider than the cell ends with "…" (otherwise it is cut)
    voWordWrap = 0x2,    // cell text wraps onto further lines inside the row height
    voSortMark = 0x4     // the title shows the sort mark of a sorted column
};
Q_DECLARE_FLAGS(ColumnVisualOptions, ColumnVisualOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(ColumnVisualOptions)

// One column of a grid: a field shown by name with its presentation. A plain value: the grid
// holds a collection of them (DBGridPro::setColumns) and changes them through its setters.
struct GridColumn {
    // Name of the field the column shows; the key by which a stored layout finds the column.
    QString fieldName;
    // Title; a carriage return ("\r", code 13) splits it into two lines.
    QString title;
    ColumnAlignment titleAlignment = ColumnAlignment::Center;
    // Design width in pixels. With automatic fitting on, the visible columns are drawn scaled
    // in proportion to their design widths so that together they fill the grid's width; the
    // design width is what layouts store and what align/data-format operations set.
    int width = 64;
    ColumnAlignment alignment = ColumnAlignment::Left;
    bool readOnly = false;
    bool visible = true;
    // Number pattern for numeric values, e.g. "00.000" (see NumberPattern); empty: numbers
    // shown in their shortest form with the locale's decimal separator, texts as they are.
    QString displayFormat;
    // Background of the column's cells; an invalid QColor is the grid's default colour.
    QColor color;
    // The column's own font and text colour; nullopt / invalid: the grid's.
    std::optional<QFont> font;
    QColor fontColor;
    ColumnVisualOptions visualOptions = ColumnVisualOptions(voEndEllipsis | voSortMark);
    TitleState sortState = tsSortedNone;

    // Editor limits: at most maxLength characters (0: no limit), and only characters that
    // acceptChar admits (empty function: all). Input that breaks them is refused at the
    // editor, keystroke by keystroke and paste as a whole, so nothing is silently changed.
    int maxLength = 0;
    std::function<bool(QChar)> acceptChar;

    GridColumn() = default;
    GridColumn(QString field, QString titleText, int designWidth, ColumnAlignment cellAlignment)
        : fieldName(std::move(field)), title(std::move(titleText)), width(designWidth),
          alignment(cellAlignment) {}
};
