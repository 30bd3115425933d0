#pragma once

#include <QLoggingCategory>

// Traces of the grid widget: failures it ignores on purpose. Silent below warning unless
// QT_LOGGING_RULES turns them on ("kv.grid.debug=true"), so no output changes by default.
Q_DECLARE_LOGGING_CATEGORY(lcGrid)
