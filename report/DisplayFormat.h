#pragma once

#include <QString>
#include <QVariant>

namespace report {

// How a field value becomes the text of a cell.
//   Text:    the value unchanged; whole numbers in decimal.
//   Pattern: a picture such as "00.000": each '0' before the point is a digit always printed (more
//            appear when the value needs them), each '0' after it a decimal place.
//   Fixed:   exactly `decimals` places, no leading zeros added.
// A null value or an empty text prints as nothing, whatever the kind.
struct DisplayFormat {
    enum class Kind : quint8 { Text, Pattern, Fixed };

    Kind kind = Kind::Text;
    QString pattern;               // Pattern only
    int decimals = 0;              // Fixed only
    QChar decimalSeparator = u','; // printed reports use the comma whatever the locale

    static DisplayFormat text() { return {}; }
    static DisplayFormat picture(const QString& pattern);
    static DisplayFormat fixed(int decimals);

    // Throws KvError for a value a number format cannot read as a number.
    QString apply(const QVariant& value) const;

    bool operator==(const DisplayFormat&) const = default;
};

// A number as a decimal text with `decimals` places, rounded half away from zero on the decimal
// value the number prints as, padded with zeros to at least `minIntegerDigits` before the point.
QString formatNumber(double value, int minIntegerDigits, int decimals, QChar separator);

} // namespace report
