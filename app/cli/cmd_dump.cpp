#include "app/cli/Cli.h"

#include "core/Error.h"

namespace cli {

int dump(const QStringList&) { throw KvError(QStringLiteral("Команда «dump» ещё не собрана в этой версии.")); }

} // namespace cli
