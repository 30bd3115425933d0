#include "image/ImageLog.h"

Q_LOGGING_CATEGORY(lcImage, "kv.image", QtWarningMsg)
