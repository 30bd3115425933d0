#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <variant>

// A colour: with bit 31 clear the low 24 bits are 0x00BBGGRR; with bit 31 set they are a
// system colour index, resolved when the file is written.
using TvteXLSColor = std::uint32_t;
inline constexpr TvteXLSColor xlsSystemColorFlag = 0x80000000u;
inline constexpr TvteXLSColor xlsWindowTextColor = xlsSystemColorFlag | 8u;

// A currency amount in ten-thousandths, as the spreadsheet's currency type holds it.
struct TvteXLSCurrency {
    std::int64_t scaled = 0;
    bool operator==(const TvteXLSCurrency&) const = default;
};

// The value of a range. Text is held as 8-bit Windows-1251; a wide text is converted when set.
// Kinds other than numbers and text (boolean, 64-bit integer) are written as their text form.
class TvteXLSValue {
public:
    using Storage = std::variant<std::monostate, std::uint8_t, std::int16_t, std::int32_t, float, double,
                                 TvteXLSCurrency, QByteArray, QString, bool, std::int64_t>;

    TvteXLSValue() = default;
    template <class T>
    requires std::is_constructible_v<Storage, T> TvteXLSValue(T v) : m_v(std::move(v)) {}
    TvteXLSValue(const char* text8) : m_v(QByteArray(text8)) {}

    bool isEmpty() const { return std::holds_alternative<std::monostate>(m_v); }
    // Integers of up to 32 bits, floats and currency are numbers; everything else is text.
    bool isNumber() const;
    double toNumber() const;
    // The text form in Windows-1251 (empty for the empty value).
    QByteArray toText8() const;
    const Storage& storage() const { return m_v; }
    bool operator==(const TvteXLSValue&) const = default;

private:
    Storage m_v;
};
