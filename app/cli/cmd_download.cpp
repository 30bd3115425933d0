#include "app/cli/Cli.h"

#include "core/Error.h"

namespace cli {

int download(const QStringList&) { throw KvError(QStringLiteral("Команда «download» ещё не собрана в этой версии.")); }

} // namespace cli
