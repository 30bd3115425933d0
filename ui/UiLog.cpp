#include "ui/UiLog.h"

Q_LOGGING_CATEGORY(lcUi, "kv.ui", QtWarningMsg)
