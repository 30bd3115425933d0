#include "report/DisplayFormat.h"

#include "core/Decimal.h"
#include "core/Error.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

namespace report {
namespace {

struct Picture {
    int integerDigits = 0;
    int decimals = 0;
};

Picture parsePicture(const QString& pattern) {
    Picture p;
    bool afterPoint = false;
    for (QChar c : pattern) {
        if (c == u'0' || c == u'#') {
            // '#' is an optional digit: it asks for no padding.
            if (afterPoint)
                ++p.decimals;
            else if (c == u'0')
                ++p.integerDigits;
        } else if (c == u'.' && !afterPoint) {
            afterPoint = true;
        } else {
            throw KvError(QStringLiteral("Неверный формат числа «%1» в шаблоне отчёта.").arg(pattern));
        }
    }
    return p;
}

double toNumber(const QVariant& value) {
    bool ok = false;
    double d = 0;
    if (value.typeId() == QMetaType::QString) {
        // Field texts are read as the table holds them: a comma is no decimal separator here.
        const auto number = decimal::read(value.toString(), decimal::Syntax::Plain);
        ok = number.has_value();
        d = number.value_or(0);
    } else {
        d = value.toDouble(&ok);
    }
    if (!ok || !std::isfinite(d))
        throw KvError(QStringLiteral("Значение «%1» не является числом.").arg(value.toString()));
    return d;
}

} // namespace

DisplayFormat DisplayFormat::picture(const QString& pattern) {
    parsePicture(pattern); // refuse a bad picture when the template is built, not when it prints
    DisplayFormat f;
    f.kind = Kind::Pattern;
    f.pattern = pattern;
    return f;
}

DisplayFormat DisplayFormat::fixed(int decimals) {
    DisplayFormat f;
    f.kind = Kind::Fixed;
    f.decimals = std::clamp(decimals, 0, 15);
    return f;
}

QString formatNumber(double value, int minIntegerDigits, int decimals, QChar separator) {
    // A value below 1 keeps its "0" before the separator even when the picture asks for no digit.
    return decimal::format(value, {std::max(minIntegerDigits, 1), decimals, decimals},
                           QStringView(&separator, 1));
}

QString DisplayFormat::apply(const QVariant& value) const {
    if (value.isNull() || !value.isValid())
        return {};
    if (value.typeId() == QMetaType::QString && value.toString().trimmed().isEmpty())
        return {};
    switch (kind) {
    case Kind::Text:
        switch (value.typeId()) {
        case QMetaType::Double: {
            std::array<char, 64> buf{};
            auto res = std::to_chars(buf.data(), buf.data() + buf.size(), value.toDouble());
            return QString::fromLatin1(buf.data(), res.ptr - buf.data());
        }
        case QMetaType::LongLong:
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::ULongLong:
            return QString::number(value.toLongLong());
        default:
            return value.toString();
        }
    case Kind::Pattern: {
        const Picture p = parsePicture(pattern);
        return formatNumber(toNumber(value), p.integerDigits, p.decimals, decimalSeparator);
    }
    case Kind::Fixed:
        return formatNumber(toNumber(value), 1, decimals, decimalSeparator);
    }
    return {};
}

} // namespace report
