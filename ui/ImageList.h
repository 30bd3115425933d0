#pragma once

#include <QIcon>
#include <QString>
#include <vector>

// The seven toolbar and menu pictures, by index: 0 blank page, 1 opening folder, 2 floppy disk,
// 3 red diagonal cross, 4 book with a question mark, 5 printer, 6 page with a magnifying glass.
// All are the program's own drawings (SVG resources), so they look the same on every desktop and
// stay sharp at any scaling; no icon theme is asked.
std::vector<QIcon> makeImageList();

// The resource path of picture `index` of the list above.
QString imageListPath(int index);
inline constexpr int kImageListSize = 7;

// The program's icon: windows, dialogs, the about box and the task bar.
QIcon applicationIcon();
QString applicationIconPath();

// Makes the pictures and the manual of the program's library available as resources; the
// functions above and the help window call it themselves.
void initProgramResources();
