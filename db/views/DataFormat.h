#pragma once

#include "grid/GridColumn.h"

#include <vector>

// Which member of each value pair a view shows: amplitude or root-mean-square for acceleration,
// velocity and (in "Ждущий") the threshold; single-amplitude or full displacement. The choice is
// nothing but the visibility of the pair columns.
namespace DataFormat {

struct Choice {
    bool amplitude = true; // "Амплитудное"; false: "Средне квадратическое"
    bool normal = true;    // "Обычное"; false: "Полное"
    bool operator==(const Choice&) const = default;
};

// What the radio buttons show for a view's columns (set_but).
Choice read(const std::vector<GridColumn>& columns);

// Switches the pair columns of the page's mode to the choice (set_on): the column coming into
// view takes the width of the one it replaces. A choice already in force changes nothing. Only
// page 1 ("Ждущий") has the pair TR_A / TR_A_SR.
void apply(std::vector<GridColumn>& columns, const Choice& choice, int page);

} // namespace DataFormat
