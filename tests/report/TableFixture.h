#pragma once

#include "db/DbfTable.h"
#include "db/MeasurementTable.h"

#include <QString>
#include <QVariant>
#include <map>
#include <vector>

// A measurement table file written through the table layer, for the report tests.
struct FixtureRow {
    std::map<QString, QVariant> values; // field name → value; absent fields stay blank
};

inline void writeMeasurementTable(const QString& path, const std::vector<FixtureRow>& rows) {
    MeasurementTable::createFile(path);
    DbfTable t;
    t.open(path, DbfTable::Access::Exclusive);
    for (const FixtureRow& r : rows) {
        t.append();
        for (const auto& [field, value] : r.values)
            t.setValue(field, value);
        t.post();
    }
    t.close();
}

// A row of mode `mode` numbered n, with distinct values in every number field.
inline FixtureRow measurement(int n, int mode, double a, const QString& comment = {}) {
    FixtureRow r;
    r.values = {
        {QStringLiteral("N"), qint64(n)},
        {QStringLiteral("DATE"), QStringLiteral("%1.03.2024").arg(1 + n % 28, 2, 10, QLatin1Char('0'))},
        {QStringLiteral("TIME"), QStringLiteral("10:%1:00").arg(n % 60, 2, 10, QLatin1Char('0'))},
        {QStringLiteral("MODE"), qint64(mode)},
        {QStringLiteral("A"), a},
        {QStringLiteral("A_SR"), a * 0.7071},
        {QStringLiteral("F"), 50.0 + n},
        {QStringLiteral("V"), 2.25},
        {QStringLiteral("V_SR"), 1.59},
        {QStringLiteral("S"), 0.125},
        {QStringLiteral("S_SR"), 0.25},
        {QStringLiteral("COMMENT"), comment},
    };
    if (mode == 1) {
        r.values[QStringLiteral("TR_F")] = 123.4;
        r.values[QStringLiteral("TR_A")] = 2.6;
        r.values[QStringLiteral("TR_A_SR")] = 1.84;
    }
    if (mode == 2) {
        r.values[QStringLiteral("T")] = qint64(30);
        r.values[QStringLiteral("DT")] = qint64(15);
    }
    return r;
}
