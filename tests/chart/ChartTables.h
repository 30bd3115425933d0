#pragma once

#include "db/DbfTable.h"
#include "db/MeasurementTable.h"

#include <QString>
#include <QVariant>

#include <cmath>
#include <optional>
#include <vector>

// Rows of a measurement table for the chart tests: a moment, a mode and a velocity amplitude
// (the other values follow it); no velocity leaves V and V_SR blank.
struct ChartRow {
    QString date;
    QString time;
    int mode;
    std::optional<double> v;
};

inline void writeChartTable(const QString& path, const std::vector<ChartRow>& rows) {
    MeasurementTable::createFile(path);
    DbfTable t;
    MeasurementTable::open(t, path);
    const double half = std::sqrt(2.0) / 2;
    int n = 0;
    for (const ChartRow& r : rows) {
        t.append();
        t.setValue(QStringLiteral("N"), ++n);
        t.setValue(QStringLiteral("DATE"), r.date);
        t.setValue(QStringLiteral("TIME"), r.time);
        t.setValue(QStringLiteral("MODE"), r.mode);
        if (r.v) {
            t.setValue(QStringLiteral("A"), *r.v / 10);
            t.setValue(QStringLiteral("A_SR"), *r.v / 10 * half);
            t.setValue(QStringLiteral("V"), *r.v);
            t.setValue(QStringLiteral("V_SR"), *r.v * half);
            t.setValue(QStringLiteral("S"), *r.v / 100);
            t.setValue(QStringLiteral("S_SR"), *r.v / 50);
        }
        t.setValue(QStringLiteral("F"), 40.0 + n);
        if (r.mode == 1) {
            t.setValue(QStringLiteral("TR_F"), 50.0);
            t.setValue(QStringLiteral("TR_A"), 3.0);
            t.setValue(QStringLiteral("TR_A_SR"), 3.0 * half);
        }
        t.post();
    }
    t.close();
}

// Records whose physical order, DATE text order and date-time order all differ; modes mixed.
// Date-time order of the mode-0 records: 3, 1, 6, 4, 8 (record numbers).
inline std::vector<ChartRow> unorderedRows() {
    return {
        {QStringLiteral("15.03.2024"), QStringLiteral("08:00:00"), 0, 2.0},          // 1
        {QStringLiteral("01.01.2023"), QStringLiteral("00:00:00"), 1, 9.0},          // 2
        {QStringLiteral("20.12.2023"), QStringLiteral("23:59:59"), 0, 1.0},          // 3
        {QStringLiteral("02.04.2024"), QStringLiteral("10:30:00"), 0, 4.0},          // 4
        {QStringLiteral("05.03.2024"), QStringLiteral("12:00:00"), 2, 3.0},          // 5
        {QStringLiteral("15.03.2024"), QStringLiteral("08:00:01"), 0, std::nullopt}, // 6
        {QStringLiteral("01.05.2024"), QStringLiteral("06:00:00"), 1, 7.0},          // 7
        {QStringLiteral("01.06.2025"), QStringLiteral("06:00:00"), 0, 11.2},         // 8
    };
}
