#pragma once

#include "core/CodePages.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <cstdint>
#include <optional>

// How values are spelled inside a record: numbers as right-aligned decimal text with "." whatever
// the locale (a "," of other writers is read as the point), text in the code page named by header
// byte 29, no value as all blanks.
namespace dbf {

class CodePage {
public:
    // Empty for a driver ID whose code page this program does not know.
    static std::optional<CodePage> forDriver(std::uint8_t id);
    // Windows-1251, the program's own code page.
    static CodePage windows1251();

    QString decode(const char* data, qsizetype size) const;
    // Empty when some character has no form in this code page.
    std::optional<QByteArray> encode(const QString& text) const;
    // Every character without a form becomes `replacement` (for names, never for values).
    QByteArray encodeReplacing(const QString& text, char replacement) const;
    int number() const;

private:
    explicit CodePage(const SingleByteCodePage* page) : m_page(page) {}
    const SingleByteCodePage* m_page;
};

enum class Fit { Ok, TooWide, NotFinite, NotInteger };

// Write exactly `length` bytes to `out`, or nothing when the value does not fit.
Fit formatReal(double value, int length, int decimals, char* out);
Fit formatInteger(qint64 value, int length, char* out);

struct Number {
    enum Kind { None, Integer, Real, Bad } kind = None;
    qint64 integer = 0;
    double real = 0;
};

// Reads the text of an N field. Blanks are None; text that is no number (asterisks of an
// overflowing foreign writer, letters) is Bad. One "," in place of the point reads as the point, as
// writers that follow the Russian locale put it.
Number parseNumber(const char* data, int length);

// The numeric value of an N field for filters and sort keys; false for no value or bad text.
bool numericValue(const char* data, int length, double& out);

} // namespace dbf
