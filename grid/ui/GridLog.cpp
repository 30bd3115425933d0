#include "grid/ui/GridLog.h"

Q_LOGGING_CATEGORY(lcGrid, "kv.grid", QtWarningMsg)
