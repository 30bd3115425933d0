#pragma once

#include "points/Catalogue.h"

#include <QString>

#include <vector>

class DbfTable;

// Assigning records to a point: the point's name goes into their notes, and nothing the operator
// wrote there is lost.
namespace points {

// The note a record gets when assigned to the point `name`: a note that belongs to a point of
// the catalogue gets `name` in place of that point's name, keeping ";" and what follows; any other
// non-empty note (a near miss included) is kept whole after `name` and ";"; an empty one becomes
// `name`.
QString assignedNote(const QString& note, const QString& name, const PointIndex& catalogue);

struct NoteRow {
    int recNo = 0;
    QString note;
};

struct AssignmentPlan {
    std::vector<NoteRow> changes; // the new notes of the records whose note changes
    std::vector<int> tooLong;     // records left as they are: the new note would exceed maxLength
};
AssignmentPlan planAssignment(const std::vector<NoteRow>& rows, const QString& name,
                              const PointIndex& catalogue, int maxLength = kMaxNameLength);

// Assigns the records of the open table with those record numbers (visible ones) to the point
// `name`, written beside and renamed over the table as one change. Records whose note would grow
// too long for the table's note field are left and returned in tooLong. Throws KvError, changing
// nothing, when the table's code page cannot hold a new note or a record is not visible.
AssignmentPlan assignPoint(DbfTable& table, const std::vector<int>& recNos, const QString& name,
                           const PointIndex& catalogue);

// "Примечание не поместилось бы в 50 знаков, записи оставлены как были: 3, 7, 12."
QString tooLongMessage(const std::vector<int>& recNos, int maxLength = kMaxNameLength);

} // namespace points
