#include "output/xls/XlsValue.h"

#include "core/Cp1251.h"

#include <charconv>

bool TvteXLSValue::isNumber() const {
    return std::visit(
        [](const auto& v) {
            using T = std::decay_t<decltype(v)>;
            return std::is_same_v<T, std::uint8_t> || std::is_same_v<T, std::int16_t> ||
                   std::is_same_v<T, std::int32_t> || std::is_same_v<T, float> || std::is_same_v<T, double> ||
                   std::is_same_v<T, TvteXLSCurrency>;
        },
        m_v);
}

double TvteXLSValue::toNumber() const {
    return std::visit(
        [](const auto& v) -> double {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, TvteXLSCurrency>)
                return double(v.scaled) / 10000.0;
            else if constexpr (std::is_arithmetic_v<T> && !std::is_same_v<T, bool> &&
                               !std::is_same_v<T, std::int64_t>)
                return double(v);
            else
                return 0.0;
        },
        m_v);
}

QByteArray TvteXLSValue::toText8() const {
    return std::visit(
        [](const auto& v) -> QByteArray {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::monostate>) {
                return {};
            } else if constexpr (std::is_same_v<T, QByteArray>) {
                return v;
            } else if constexpr (std::is_same_v<T, QString>) {
                return cp1251::encode(v); // throws, naming the text
            } else if constexpr (std::is_same_v<T, bool>) {
                return v ? QByteArray("True") : QByteArray("False");
            } else if constexpr (std::is_same_v<T, TvteXLSCurrency>) {
                char buf[32];
                auto r = std::to_chars(buf, buf + sizeof buf, double(v.scaled) / 10000.0);
                return QByteArray(buf, r.ptr - buf);
            } else {
                char buf[32];
                auto r = std::to_chars(buf, buf + sizeof buf, v);
                return QByteArray(buf, r.ptr - buf);
            }
        },
        m_v);
}
