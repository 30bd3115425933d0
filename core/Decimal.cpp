#include "core/Decimal.h"

#include <QVarLengthArray>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

namespace decimal {
namespace {

// Room for the largest double and for the smallest one written out in full.
constexpr int shortestRoom = 400;

std::string shortestFixed(double value) {
    char buf[shortestRoom];
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
    if (r.ec != std::errc())
        return {};
    return std::string(buf, r.ptr);
}

// Adds one unit in the last place of a string of digits; a carry out of the first digit
// prepends a 1.
void incrementDigits(std::string& digits) {
    for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
        if (*it != '9') {
            ++*it;
            return;
        }
        *it = '0';
    }
    digits.insert(digits.begin(), '1');
}

} // namespace

QString format(double value, const Layout& layout, QStringView separator) {
    if (!std::isfinite(value))
        return {};
    const std::string text = shortestFixed(std::fabs(value));
    const auto point = text.find('.');
    std::string intPart = text.substr(0, point);
    std::string frac = point == std::string::npos ? std::string() : text.substr(point + 1);

    // Rounding the decimal text rather than the binary double makes 0.0005 show as 0.001, as a
    // person reading the table's value expects.
    const std::size_t decimals = std::size_t(std::max(layout.decimals, 0));
    if (frac.size() > decimals) {
        const bool up = frac[decimals] >= '5';
        frac.resize(decimals);
        if (up) {
            std::string all = intPart + frac;
            incrementDigits(all);
            intPart = all.substr(0, all.size() - decimals);
            frac = all.substr(all.size() - decimals);
        }
    }
    const std::size_t minDecimals = std::min(std::size_t(std::max(layout.minDecimals, 0)), decimals);
    while (frac.size() > minDecimals && frac.back() == '0')
        frac.pop_back();
    frac.resize(std::max(frac.size(), minDecimals), '0');

    intPart.erase(0, std::min(intPart.find_first_not_of('0'), intPart.size()));
    const std::size_t minInt = std::size_t(std::max(layout.minIntegerDigits, 0));
    if (intPart.size() < minInt)
        intPart.insert(0, minInt - intPart.size(), '0');
    if (intPart.empty() && frac.empty())
        intPart = "0";

    const bool shown = intPart.find_first_not_of('0') != std::string::npos ||
                       frac.find_first_not_of('0') != std::string::npos;
    QString out;
    out.reserve(qsizetype(intPart.size() + frac.size()) + separator.size() + 1);
    if (std::signbit(value) && shown)
        out += u'-';
    out += QLatin1StringView(intPart.data(), qsizetype(intPart.size()));
    if (!frac.empty()) {
        out += separator;
        out += QLatin1StringView(frac.data(), qsizetype(frac.size()));
    }
    return out;
}

QString shortest(double value, QStringView separator) {
    if (!std::isfinite(value))
        return {};
    const std::string text = shortestFixed(value);
    const auto point = text.find('.');
    if (point == std::string::npos)
        return QString::fromLatin1(text.data(), qsizetype(text.size()));
    QString out = QString::fromLatin1(text.data(), qsizetype(point));
    out += separator;
    out += QLatin1StringView(text.data() + point + 1, qsizetype(text.size() - point - 1));
    return out;
}

std::optional<double> read(QStringView text, Syntax syntax) {
    const QStringView trimmed = text.trimmed();
    QVarLengthArray<char, 64> bytes;
    bytes.reserve(trimmed.size());
    for (QChar c : trimmed) {
        // Nothing outside ASCII belongs to a number: no other digits, signs or separators.
        if (c.unicode() >= 0x80)
            return std::nullopt;
        const char b = char(c.unicode());
        bytes.append(syntax == Syntax::Typed && b == ',' ? '.' : b);
    }
    const char* first = bytes.data();
    const char* last = first + bytes.size();
    if (syntax == Syntax::Typed && first != last && *first == '+')
        ++first;
    double v = 0;
    const auto r = std::from_chars(first, last, v);
    if (r.ec != std::errc() || r.ptr != last)
        return std::nullopt;
    return v;
}

} // namespace decimal
