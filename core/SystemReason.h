#pragma once

#include <QString>

// The system's reasons for a failed file operation in the user's words: every message of the
// program that says why the system refused something takes its reason from here, so that no
// reason reaches the user in English or in two different wordings.
namespace fileio {

// The reason for error number `error` as a phrase that follows a colon, without a full stop:
// "нет места на диске". Never empty; an error without a wording of its own gives its number.
QString reasonOf(int error);

// The reason why writing `path` failed with `error`, naming the folder when the folder is the cause:
// a missing folder, a folder that may not be written, a folder on a read-only file system.
QString writeReasonOf(const QString& path, int error);

} // namespace fileio
