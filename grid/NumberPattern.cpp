#include "grid/NumberPattern.h"

#include "core/Decimal.h"

#include <QLocale>

namespace {

bool isNumberChar(QChar c) {
    return c == u'0' || c == u'#' || c == u'.';
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

QString NumberPattern::format(double value) const {
    return format(value, QLocale().decimalPoint());
}

QString NumberPattern::format(double value, const QString& decimalPoint) const {
    const QString number = decimal::format(value, {m_intZeros, m_decimals, m_fracZeros}, decimalPoint);
    if (number.isEmpty())
        return {};
    return m_prefix + number + m_suffix;
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
        return decimal::shortest(v, decimalPoint);
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
            if (const auto v = decimal::read(text))
                return format(*v, decimalPoint);
        }
        return text;
    }
    default:
        return value.toString();
    }
}
