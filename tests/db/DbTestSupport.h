#pragma once

#include "db/DbfTable.h"
#include "db/MeasurementTable.h"

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QVariant>

#include <vector>

// Sample rows of the measurement table: modes 0, 1, 2 in turn, mode-specific fields only where
// the import would fill them.
struct SampleRow {
    int n;
    int mode;
    double a;
    double f;
    QString comment;
};

inline std::vector<SampleRow> sampleRows(int count) {
    std::vector<SampleRow> rows;
    for (int i = 0; i < count; ++i)
        rows.push_back({i + 1, i % 3, i == 0 ? 2.5 : 0.125 * (i + 1), 10.0 + (i * 7) % 5,
                        i == 1 ? QStringLiteral("Цех №1, ёлка") : QString()});
    return rows;
}

inline void appendSample(DbfTable& t, const SampleRow& r) {
    t.append();
    t.setValue("N", r.n);
    t.setValue("DATE", QStringLiteral("%1.03.2025").arg(1 + r.n % 28, 2, 10, QLatin1Char('0')));
    t.setValue("TIME", QStringLiteral("12:00:%1").arg(r.n % 60, 2, 10, QLatin1Char('0')));
    t.setValue("MODE", r.mode);
    t.setValue("A", r.a);
    t.setValue("A_SR", r.a * 0.7071067811865476);
    t.setValue("F", r.f);
    if (r.mode == 2) {
        t.setValue("DT", 10);
        t.setValue("T", 60);
    }
    if (r.mode == 1) {
        t.setValue("TR_F", 50.0);
        t.setValue("TR_A", 1.5);
        t.setValue("TR_A_SR", 1.0606601717798212);
    }
    if (!r.comment.isEmpty())
        t.setValue("COMMENT", r.comment);
    t.post();
}

inline void writeSampleTable(const QString& path, int count) {
    MeasurementTable::createFile(path);
    DbfTable t;
    t.open(path);
    for (const SampleRow& r : sampleRows(count))
        appendSample(t, r);
    t.close();
}

inline QByteArray fileBytes(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

inline void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(bytes);
}

// Debian's Python, which has dbfread and dbf; the python3 first on PATH may lack them.
inline QString runPython(const QString& script, const QStringList& args, int* exitCode = nullptr) {
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"), QStringList{QStringLiteral("-c"), script} + args);
    p.waitForFinished(60000);
    if (exitCode)
        *exitCode = p.exitCode();
    return QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
}

// The values of every visible record in navigation order, one field.
inline QVariantList column(DbfTable& t, const QString& field) {
    QVariantList out;
    for (t.first(); !t.eof(); t.next())
        out << t.value(field);
    return out;
}

inline QList<int> recNos(DbfTable& t) {
    QList<int> out;
    for (t.first(); !t.eof(); t.next())
        out << t.recNo();
    return out;
}
