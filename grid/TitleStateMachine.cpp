#include "grid/TitleStateMachine.h"

namespace TitleStateMachine {

TitleState next(TitleState current, bool ctrl) {
    if (ctrl)
        return tsSortedNone;
    return current == tsSortedUp ? tsSortedDown : tsSortedUp;
}

bool click(std::vector<TitleState>& states, int column, bool ctrl, bool noMultiTitleStates) {
    if (column < 0 || column >= static_cast<int>(states.size()))
        return false;
    const TitleState before = states[column];
    const TitleState after = next(before, ctrl);
    if (noMultiTitleStates && !ctrl) {
        for (auto& s : states)
            s = tsSortedNone;
    }
    states[column] = after;
    return after != before;
}

} // namespace TitleStateMachine
