#pragma once

#include <QString>

// Opens a WinHelp file ("itp.hlp") in the platform's own viewer; false when the platform has none,
// and the caller then shows the program's built-in manual. On Windows a viewer exists when the
// shell has a program registered for .hlp files (current Windows has none unless the WinHelp
// viewer was installed); other platforms have none.
bool openInWinHelpViewer(const QString& path);
