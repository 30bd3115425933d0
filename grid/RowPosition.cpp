#include "grid/RowPosition.h"

#include <algorithm>

namespace RowPosition {

int afterDeletion(const std::vector<int>& deleted, int current, int rowCount) {
    if (current < 0 || current >= rowCount)
        return -1;
    std::vector<bool> gone(static_cast<std::size_t>(rowCount), false);
    int goneCount = 0;
    for (int row : deleted)
        if (row >= 0 && row < rowCount && !gone[static_cast<std::size_t>(row)]) {
            gone[static_cast<std::size_t>(row)] = true;
            ++goneCount;
        }
    if (goneCount == rowCount)
        return -1;
    int target = current;
    while (target < rowCount && gone[static_cast<std::size_t>(target)])
        ++target;
    if (target == rowCount)
        return rowCount - goneCount - 1;
    const auto before = std::count(gone.begin(), gone.begin() + target, true);
    return target - static_cast<int>(before);
}

} // namespace RowPosition
