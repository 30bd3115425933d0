#pragma once

#include <QString>
#include <QStringView>

#include <optional>

// Numbers as decimal text, for the displays and for what a person types. No locale takes part:
// digits are ASCII and the caller names the decimal separator, so a table shows and reads the
// same on every machine.
namespace decimal {

// The digits a number shows.
struct Layout {
    int minIntegerDigits = 1; // leading zeros fill up to this; with 0 a value below 1 starts at the separator
    int decimals = 0;         // places the value is rounded to
    int minDecimals = 0;      // zeros after rounding are dropped down to this many places
};

// The value rounded half away from zero to layout.decimals places, on its shortest decimal
// text (the one that reads back as the same double), so 0.125 and 1.005 round up as written.
// Integer digits are never cut; a value with no digit left to show is "0"; a negative value
// that shows only zeros has no sign. NaN and infinities give an empty text.
QString format(double value, const Layout& layout, QStringView separator);

// The shortest decimal text that reads back as the value, without an exponent
// (1e-5 is 0.00001). NaN and infinities give an empty text.
QString shortest(double value, QStringView separator);

// What the reader takes besides the syntax of std::from_chars (an optional '-', digits, '.',
// an exponent, inf and nan). Both ignore white space around the number and take no grouping.
enum class Syntax {
    Typed, // as a person types it or a text field holds it: ',' also separates decimals, and a
           // leading '+' is allowed
    Plain, // nothing more
};

// Empty optional when the text is not a number in that syntax.
std::optional<double> read(QStringView text, Syntax syntax = Syntax::Typed);

} // namespace decimal
