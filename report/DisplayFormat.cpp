#include "report/DisplayFormat.h"

#include "core/Error.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <string>

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
        const QByteArray text = value.toString().trimmed().toLatin1();
        auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), d);
        ok = ec == std::errc() && ptr == text.data() + text.size();
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
    // The shortest text that reads back as the value is what the table file held; rounding that
    // decimal text (not the binary double) makes 0.0005 print as 0.001 as a person would expect.
    // Room for the largest double written out in full.
    std::array<char, 400> shortest{};
    auto res = std::to_chars(shortest.data(), shortest.data() + shortest.size(), std::abs(value),
                             std::chars_format::fixed);
    std::string digits(shortest.data(), res.ptr);
    std::string intPart = digits;
    std::string fracPart;
    if (auto dot = digits.find('.'); dot != std::string::npos) {
        intPart = digits.substr(0, dot);
        fracPart = digits.substr(dot + 1);
    }
    bool roundUp = int(fracPart.size()) > decimals && fracPart[decimals] >= '5';
    fracPart.resize(decimals, '0');
    if (roundUp) {
        std::string all = intPart + fracPart;
        int i = int(all.size()) - 1;
        for (; i >= 0; --i) {
            if (all[i] == '9') {
                all[i] = '0';
            } else {
                ++all[i];
                break;
            }
        }
        if (i < 0)
            all.insert(all.begin(), '1');
        intPart = all.substr(0, all.size() - decimals);
        fracPart = all.substr(all.size() - decimals);
    }
    if (int(intPart.size()) < minIntegerDigits)
        intPart.insert(0, minIntegerDigits - intPart.size(), '0');
    const bool negative = std::signbit(value) && (intPart.find_first_not_of('0') != std::string::npos ||
                                                  fracPart.find_first_not_of('0') != std::string::npos);
    QString out;
    if (negative)
        out += u'-';
    out += QLatin1StringView(intPart.data(), qsizetype(intPart.size()));
    if (decimals > 0) {
        out += separator;
        out += QLatin1StringView(fracPart.data(), qsizetype(fracPart.size()));
    }
    return out;
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
