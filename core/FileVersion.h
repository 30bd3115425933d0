#pragma once

#include <QString>

// The file version of a program file: the version compiled into this program when path names the
// running program, "0.0.0.0" for any other file or when no version is known.
QString ReadFileVersion(const QString& path);

// The version text for a compiled-in version string: "0.0.0.0" when it is empty.
QString fileVersionText(const char* compiled);
