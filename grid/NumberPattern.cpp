#include "grid/NumberPattern.h"

#include <QLocale>

#include <charconv>
#include <cmath>
#include <optional>
#include <string>

namespace {

bool isNumberChar(QChar c) { return c == u'0' || c == u'#' || c == u'.'; }

// Shortest decimal form that reads back as the same double, in fixed notation.
std::string shortestFixed(double value) {
    char buf[400];
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
    if (r.ec != std::errc())
        return {};
    return std::string(buf, r.ptr);
}

} // namespace

NumberPattern::NumberPattern(const QString& pattern) : m_pattern(pattern) {
    qsizetype i = 0;
    const qsizetype n = pattern.size();
    while (i < n && !isNumberChar(pattern[i]))
        m_prefix += pattern[i++];
    bool afterPoint = false;
    for (; i < n && isNumberChar(pattern[i]); ++i) {
        const QChar c = pattern[i];
        if (c == u'.') {
            if (afterPoint)
                break;
            afterPoint = true;
            m_hasPoint = true;
        } else if (!afterPoint) {
            if (c == u'0')
                ++m_intZeros;
        } else {
            ++m_decimals;
            if (c == u'0')
                m_fracZeros = m_decimals;
        }
    }
    m_suffix = pattern.mid(i);
}

QString NumberPattern::format(double value) const { return format(value, QLocale().decimalPoint()); }

QString NumberPattern::format(double value, const QString& decimalPoint) const {
    if (!std::isfinite(value))
        return {};
    std::string s = shortestFixed(std::fabs(value));
    const bool negative = std::signbit(value);
    const auto point = s.find('.');
    std::string intPart = point == std::string::npos ? s : s.substr(0, point);
    std::string frac = point == std::string::npos ? std::string() : s.substr(point + 1);

    if (static_cast<int>(frac.size()) > m_decimals) {
        const bool up = frac[m_decimals] >= '5';
        frac.resize(m_decimals);
        if (up) {
            int k = m_decimals - 1;
            for (; k >= 0; --k) {
                if (frac[k] == '9') {
                    frac[k] = '0';
                } else {
                    ++frac[k];
                    break;
                }
            }
            if (k < 0) {
                int j = static_cast<int>(intPart.size()) - 1;
                for (; j >= 0; --j) {
                    if (intPart[j] == '9') {
                        intPart[j] = '0';
                    } else {
                        ++intPart[j];
                        break;
                    }
                }
                if (j < 0)
                    intPart.insert(intPart.begin(), '1');
            }
        }
    }
    while (static_cast<int>(frac.size()) > m_fracZeros && !frac.empty() && frac.back() == '0')
        frac.pop_back();
    while (static_cast<int>(frac.size()) < m_fracZeros)
        frac.push_back('0');

    const auto firstDigit = intPart.find_first_not_of('0');
    intPart = firstDigit == std::string::npos ? std::string() : intPart.substr(firstDigit);
    if (static_cast<int>(intPart.size()) < m_intZeros)
        intPart.insert(0, static_cast<size_t>(m_intZeros) - intPart.size(), '0');
    if (intPart.empty() && frac.empty())
        intPart = "0";

    const bool zero = intPart.find_first_not_of('0') == std::string::npos &&
                      frac.find_first_not_of('0') == std::string::npos;
    QString out = m_prefix;
    if (negative && !zero)
        out += u'-';
    out += QString::fromLatin1(intPart.data(), static_cast<qsizetype>(intPart.size()));
    if (!frac.empty()) {
        out += decimalPoint;
        out += QString::fromLatin1(frac.data(), static_cast<qsizetype>(frac.size()));
    }
    out += m_suffix;
    return out;
}

QString NumberPattern::display(const QVariant& value, const QString& decimalPoint) const {
    if (!value.isValid() || value.isNull())
        return {};
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float: {
        const double v = value.toDouble();
        if (!isEmpty())
            return format(v, decimalPoint);
        if (!std::isfinite(v))
            return {};
        QString s = QString::fromStdString(shortestFixed(v));
        s.replace(u'.', decimalPoint);
        return s;
    }
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        if (!isEmpty())
            return format(value.toDouble(), decimalPoint);
        return value.typeId() == QMetaType::ULongLong ? QString::number(value.toULongLong())
                                                      : QString::number(value.toLongLong());
    case QMetaType::QString: {
        const QString text = value.toString();
        if (!isEmpty()) {
            if (const auto v = parseDecimal(text))
                return format(*v, decimalPoint);
        }
        return text;
    }
    default:
        return value.toString();
    }
}

std::optional<double> parseDecimal(const QString& text) {
    QString t = text.trimmed();
    t.replace(u',', u'.');
    const QByteArray bytes = t.toLatin1();
    if (bytes.isEmpty())
        return std::nullopt;
    const char* first = bytes.constData();
    const char* last = first + bytes.size();
    if (*first == '+')
        ++first;
    double v = 0;
    const auto r = std::from_chars(first, last, v);
    if (r.ec != std::errc() || r.ptr != last)
        return std::nullopt;
    return v;
}
