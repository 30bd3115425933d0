#pragma once

#include <QString>
#include <QVariant>

namespace report {

// The rows a report walks: an ordered, filtered set, read one row at a time. The engine walks it
// from first() while !eof(), and reads values of the current row by field name.
class ReportDataSource {
public:
    virtual ~ReportDataSource() = default;

    // The name that expressions use before the field: "Dbf1" in [Dbf1."A"].
    virtual QString name() const = 0;
    virtual bool hasField(const QString& field) const = 0;

    virtual void first() = 0;
    virtual bool eof() const = 0;
    virtual void next() = 0;
    // A null QVariant is an empty value.
    virtual QVariant value(const QString& field) const = 0;
};

} // namespace report
