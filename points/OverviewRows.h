#pragma once

#include "points/Overview.h"

#include <QString>

#include <vector>

class DbfTable;

// The records the overview is computed from, read from measurement tables opened for it.
namespace points {

// Appends every record of the open measurement table that has a V_SR value and is not deleted,
// in record order, as the `tableOrder`-th table. It walks the table's cursor, so it is for a table opened
// for this (the window reads its open table by record number instead) and switches its filter
// off. Throws KvError when the table lacks a field of the measurement record.
void appendRows(DbfTable& table, int tableOrder, std::vector<MeasurementRow>& rows);

// A file of the catalogue's folder that is not read, and why.
struct SkippedFile {
    QString fileName;
    QString reason; // "скрытый файл", "каталог оборудования", "другие поля", or the error
};

// The .dbf files of the catalogue's folder in name order, but the hidden ones and the catalogue
// itself, which go to skipped.
std::vector<QString> folderTables(const QString& cataloguePath, std::vector<SkippedFile>& skipped);

struct FolderRows {
    std::vector<QString> tables; // the paths read, in the order of MeasurementRow::table
    std::vector<SkippedFile> skipped;
    std::vector<MeasurementRow> rows;
};

// Every measurement table of the catalogue's folder, each read without a lock; tables with other
// fields or that cannot be read are skipped and named.
FolderRows readFolder(const QString& cataloguePath);

} // namespace points
