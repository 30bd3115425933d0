#pragma once

#include <vector>

// Where the cursor of a view goes when rows leave it.
namespace RowPosition {

// The row, counted after the deletion, that takes the place of the current one when the rows
// `deleted` (positions before the deletion, any order) leave a view of rowCount rows: the current
// row itself when it stays, else the first row after it that stays, else the last row that stays.
// -1 when no row stays or there was no current row.
int afterDeletion(const std::vector<int>& deleted, int current, int rowCount);

} // namespace RowPosition
