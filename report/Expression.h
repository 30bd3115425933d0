#pragma once

#include <QString>
#include <vector>

namespace report {

// One piece of an object's text.
struct TextPart {
    enum class Kind { Literal, Field, PageNumber, TotalPages };
    Kind kind = Kind::Literal;
    QString text;   // Literal
    QString source; // Field: the data source named before the point
    QString field;  // Field: the field name inside the quotes
};

// Splits "Стр. [PAGE#] из [TOTALPAGES]" or "[Dbf1."A"]" into parts. A bracket that holds none of
// the known expressions is an error in the template (KvError), so a misspelt field never prints
// silently as literal text. Text without brackets is one literal.
std::vector<TextPart> parseText(const QString& text);

} // namespace report
