#include "app/cli/Cli.h"

#include "core/Error.h"

namespace cli {

int exportXls(const QStringList&) { throw KvError(QStringLiteral("Команда «export» ещё не собрана в этой версии.")); }

} // namespace cli
