#include "app/cli/Cli.h"

#include "core/Error.h"
#include "link/PortList.h"

#include <QTextStream>

namespace cli {

// kvarnel-ld5 ports: the serial ports of the machine as the port dialog lists them.
int ports(const QStringList& args) {
    if (!args.isEmpty())
        throw KvError(QStringLiteral("Использование: kvarnel-ld5 ports"));
    const serial::SystemPortLister lister;
    const QList<serial::PortInfo> listed = lister.ports();
    QTextStream out(stdout);
    for (const serial::PortInfo& port : listed)
        out << serial::listingLine(port) << '\n';
    if (listed.isEmpty())
        QTextStream(stderr) << QStringLiteral("Последовательные порты не найдены.") << '\n';
    return 0;
}

} // namespace cli
