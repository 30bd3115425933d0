#include "db/DbLog.h"

Q_LOGGING_CATEGORY(lcDb, "kv.db", QtWarningMsg)
