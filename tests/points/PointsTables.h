#pragma once

#include "DbTestSupport.h"
#include "db/DbfTable.h"
#include "db/MeasurementTable.h"
#include "points/Catalogue.h"
#include "points/Overview.h"

#include <QString>

#include <cmath>
#include <optional>
#include <vector>

// Records of a measurement table for the tests of the points: a moment, a mode, V_SR and a note.
struct TableRow {
    QString date;
    QString time;
    std::optional<double> vsr;
    QString note;
    int mode = 0;
    int n = 1;
};

inline void writeNoteTable(const QString& path, const std::vector<TableRow>& rows) {
    MeasurementTable::createFile(path);
    DbfTable t;
    MeasurementTable::open(t, path);
    for (const TableRow& r : rows) {
        t.append();
        t.setValue(QStringLiteral("N"), r.n);
        t.setValue(QStringLiteral("DATE"), r.date);
        t.setValue(QStringLiteral("TIME"), r.time);
        t.setValue(QStringLiteral("MODE"), r.mode);
        if (r.vsr) {
            t.setValue(QStringLiteral("V_SR"), *r.vsr);
            t.setValue(QStringLiteral("V"), *r.vsr * std::sqrt(2.0));
        }
        if (!r.note.isEmpty())
            t.setValue(QStringLiteral("COMMENT"), r.note);
        t.post();
    }
    t.close();
}

// The notes of a table in record order.
inline QStringList notesOf(const QString& path) {
    DbfTable t;
    t.open(path, DbfTable::Access::ReadOnly);
    QStringList notes;
    for (t.first(); !t.eof(); t.next())
        notes << t.value(QStringLiteral("COMMENT")).toString();
    return notes;
}

// A point with the class's limits, or its own when cls is empty.
inline points::PointEntry point(const QString& name, const QString& cls = QStringLiteral("II")) {
    points::PointEntry e;
    e.name = name;
    e.cls = cls;
    return e;
}

// An overview row of table 0 with the next record number.
inline points::MeasurementRow row(const QString& date, const QString& time, double vsr, const QString& note,
                                  int table = 0, int recNo = 0) {
    points::MeasurementRow r;
    r.table = table;
    r.recNo = recNo;
    r.moment = points::momentOf(date, time);
    r.mode = 0;
    r.n = 1;
    r.vsr = vsr;
    r.note = note;
    return r;
}
