#include "app/cli/Cli.h"

#include "core/Error.h"

namespace cli {

int import(const QStringList&) { throw KvError(QStringLiteral("Команда «import» ещё не собрана в этой версии.")); }

} // namespace cli
