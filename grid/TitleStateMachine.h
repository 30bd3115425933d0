#pragma once

#include "grid/GridColumn.h"

#include <vector>

// The title-click rule of the grid:
//   a click moves the clicked column tsSortedNone -> tsSortedUp -> tsSortedDown -> tsSortedUp ...;
//   with noMultiTitleStates every other column becomes tsSortedNone;
//   a click with Ctrl held sets the clicked column to tsSortedNone and leaves the others.
// Only the clicked column's change is reported (the return value); the others follow silently.
namespace TitleStateMachine {

TitleState next(TitleState current, bool ctrl);

// Applies a click on states[column]. Returns true when the clicked column's state changed.
// An out-of-range column changes nothing.
bool click(std::vector<TitleState>& states, int column, bool ctrl, bool noMultiTitleStates);

} // namespace TitleStateMachine
