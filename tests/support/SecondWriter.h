#pragma once

#include "core/Error.h"
#include "db/DbfTable.h"

#include <QString>

// Another writer of this process; open-file-description locks refuse it just as another program.
inline bool secondWriterRefused(const QString& path) {
    DbfTable second;
    try {
        second.open(path);
    } catch (const KvError&) {
        return true;
    }
    return false;
}
