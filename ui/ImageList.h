#pragma once

#include <QIcon>
#include <vector>

class QStyle;

// The seven toolbar and menu pictures, by index: 0 blank page, 1 opening folder, 2 floppy disk,
// 3 red diagonal cross, 4 book with a question mark, 5 printer, 6 page with a magnifying glass.
// Taken from the icon theme, with the style's standard pictures where the theme has none.
std::vector<QIcon> makeImageList(const QStyle* style);
