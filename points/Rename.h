#pragma once

#include "points/CatalogueFile.h"
#include "points/CatalogueModel.h"

#include <QString>

#include <vector>

class DbfTable;

// Renaming a point, or a level with all its points, in the catalogue and in the notes of their
// records in every measurement table of the catalogue's folder, as one step: all of it is
// saved, or none.
namespace points {

struct RenameResult {
    NameChanges names;           // old and new name of each point renamed
    std::vector<QString> tables; // the paths of the tables whose notes changed
    int notes = 0;               // notes rewritten
};

// The catalogue is the one the editor holds (read again first). `openTables` are tables that the
// caller holds open for writing (the window's open table): they take part, wherever they lie,
// through the object given, whose filter and current record are kept. Every other table is
// opened with its lock for the length of the step.
//
// Refused as a whole, with KvError naming the tables and records, when a table that holds
// records of the points cannot be opened for writing, a new note would not fit its field, or a
// table's code page cannot hold a new name; and when the catalogue refuses the new name. Should
// a file fail while the step is saved, the files already saved are put back as they were.
RenameResult renamePoint(CatalogueEditor& editor, const QString& name, const QString& newName,
                         const std::vector<DbfTable*>& openTables = {});
RenameResult renameLevel(CatalogueEditor& editor, const QString& level, const QString& newLevel,
                         const std::vector<DbfTable*>& openTables = {});

} // namespace points
