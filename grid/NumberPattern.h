#pragma once

#include <QChar>
#include <QString>
#include <QVariant>

// A numeric display pattern such as "00.000" or "000.0":
//   "0"  a digit position that is always filled (leading or trailing zeros);
//   "#"  a digit position filled only when the value needs it;
//   "."  the place of the decimal separator, written as the locale's one;
//   anything else is copied as it stands (before or after the number).
// The value is rounded to the pattern's decimals as decimal::format rounds (half away from
// zero, on its shortest decimal form). Integer digits beyond the pattern are kept (123.4 with
// "00.000" is 123.400). A negative value that rounds to zero shows without a sign.
class NumberPattern {
public:
    NumberPattern() = default;
    explicit NumberPattern(const QString& pattern);

    bool isEmpty() const { return m_pattern.isEmpty(); }
    const QString& pattern() const { return m_pattern; }
    int decimals() const { return m_decimals; }

    // NaN and infinities give an empty text.
    QString format(double value, const QString& decimalPoint) const;
    // With QLocale().decimalPoint().
    QString format(double value) const;

    // Cell text of a field value: null -> empty; numbers by the pattern (or, with an empty
    // pattern, integers in decimal and doubles in their shortest form); texts as they are,
    // unless they parse as a number and the pattern is not empty.
    QString display(const QVariant& value, const QString& decimalPoint) const;

private:
    QString m_pattern;
    QString m_prefix;
    QString m_suffix;
    int m_intZeros = 0;  // integer positions always filled
    int m_decimals = 0;  // "0" and "#" after the point
    int m_fracZeros = 0; // of them, always filled ("0")
    bool m_hasPoint = false;
};
