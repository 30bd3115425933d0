#pragma once

#include "db/DbfTable.h"
#include "db/MeasurementTable.h"

#include <QFile>
#include <QString>
#include <QVariant>

#include <cmath>
#include <cstdint>
#include <vector>

// Measurement rows for the window tests, written with the table layer.
struct TestRow {
    int n;
    int mode;
    double a;
    double f;
    QString comment;
    QString date = QStringLiteral("01.02.2024");
    QString time = QStringLiteral("10:00:00");
};

inline void writeTable(const QString& path, const std::vector<TestRow>& rows) {
    MeasurementTable::createFile(path);
    DbfTable t;
    MeasurementTable::open(t, path);
    const double half = std::sqrt(2.0) / 2;
    for (const TestRow& r : rows) {
        t.append();
        t.setValue(QStringLiteral("N"), r.n);
        t.setValue(QStringLiteral("DATE"), r.date);
        t.setValue(QStringLiteral("TIME"), r.time);
        t.setValue(QStringLiteral("MODE"), r.mode);
        t.setValue(QStringLiteral("A"), r.a);
        t.setValue(QStringLiteral("A_SR"), r.a * half);
        t.setValue(QStringLiteral("F"), r.f);
        t.setValue(QStringLiteral("V"), r.a * 10);
        t.setValue(QStringLiteral("V_SR"), r.a * 10 * half);
        t.setValue(QStringLiteral("S"), r.a / 10);
        t.setValue(QStringLiteral("S_SR"), r.a / 5);
        if (r.mode == 1) {
            t.setValue(QStringLiteral("TR_F"), 50.0);
            t.setValue(QStringLiteral("TR_A"), 3.0);
            t.setValue(QStringLiteral("TR_A_SR"), 3.0 * half);
        }
        if (r.mode == 2) {
            t.setValue(QStringLiteral("DT"), 10);
            t.setValue(QStringLiteral("T"), 5);
        }
        t.setValue(QStringLiteral("COMMENT"), r.comment);
        t.post();
    }
    t.close();
}

// Records of all three modes, F distinct and out of order within each mode.
inline std::vector<TestRow> mixedRows() {
    return {
        {1, 0, 1.0, 30.0, QStringLiteral("о1")}, {2, 1, 2.0, 20.0, QStringLiteral("ж1")},
        {3, 0, 1.5, 10.0, QStringLiteral("о2")}, {4, 2, 0.5, 25.0, QStringLiteral("н1")},
        {5, 0, 2.5, 40.0, QStringLiteral("о3")}, {6, 1, 3.0, 60.0, QStringLiteral("ж2")},
        {7, 2, 1.2, 15.0, QStringLiteral("н2")}, {8, 0, 0.7, 20.0, QStringLiteral("о4")},
        {9, 1, 1.1, 5.0, QStringLiteral("ж3")},  {10, 2, 2.2, 35.0, QStringLiteral("н3")},
    };
}

// Header fields of a table file, read from its bytes.
struct FileHeader {
    std::uint32_t records = 0;
    int indexFlag = -1;
};

inline FileHeader readHeader(const QString& path) {
    QFile f(path);
    FileHeader h;
    if (!f.open(QIODevice::ReadOnly))
        return h;
    const QByteArray b = f.read(32);
    if (b.size() < 32)
        return h;
    h.records = std::uint32_t(std::uint8_t(b[4])) | std::uint32_t(std::uint8_t(b[5])) << 8 |
                std::uint32_t(std::uint8_t(b[6])) << 16 | std::uint32_t(std::uint8_t(b[7])) << 24;
    h.indexFlag = std::uint8_t(b[28]);
    return h;
}

// Values of one field over all live records in file order, read without any index or filter.
inline std::vector<QVariant> columnValues(const QString& path, const QString& field) {
    DbfTable t;
    t.open(path, DbfTable::Access::ReadOnly);
    std::vector<QVariant> values;
    for (t.first(); !t.eof(); t.next())
        values.push_back(t.value(field));
    t.close();
    return values;
}
