#include "app/cli/Cli.h"

#include "core/Error.h"

namespace cli {

int report(const QStringList&) { throw KvError(QStringLiteral("Команда «report» ещё не собрана в этой версии.")); }

} // namespace cli
