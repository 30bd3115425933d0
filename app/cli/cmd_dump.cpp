#include "app/cli/Cli.h"

#include "core/Error.h"
#include "db/DbfTable.h"
#include "db/MeasurementTable.h"

#include <charconv>
#include <cstdio>

namespace cli {

void appendEscaped(QByteArray& line, const QString& text) {
    for (char c : text.toUtf8()) {
        switch (c) {
        case '\t':
            line.append("\\t");
            break;
        case '\n':
            line.append("\\n");
            break;
        case '\r':
            line.append("\\r");
            break;
        case '\\':
            line.append("\\\\");
            break;
        default:
            line.append(c);
        }
    }
}

namespace {

void appendCell(QByteArray& line, const QVariant& v) {
    char buf[64];
    switch (v.typeId()) {
    case QMetaType::UnknownType:
        break; // no value: an empty cell
    case QMetaType::Double: {
        // The shortest text that reads back as the same double.
        auto r = std::to_chars(buf, buf + sizeof buf, v.toDouble());
        line.append(buf, int(r.ptr - buf));
        break;
    }
    case QMetaType::LongLong:
    case QMetaType::Int: {
        auto r = std::to_chars(buf, buf + sizeof buf, v.toLongLong());
        line.append(buf, int(r.ptr - buf));
        break;
    }
    default:
        appendEscaped(line, v.toString());
    }
}

[[noreturn]] void usage() {
    throw KvError(
        QStringLiteral("Использование: kvarnel-ld5 dump ТАБЛИЦА.dbf [--mode N] [--sort ПОЛЕ[:desc]]"));
}

} // namespace

int dump(const QStringList& args) {
    const Arguments a = parseArguments(args, {QStringLiteral("--mode"), QStringLiteral("--sort")}, 1, usage);
    if (a.positional.size() != 1)
        usage();

    DbfTable table;
    table.open(a.positional[0], DbfTable::Access::ReadOnly);
    tellNotices(table.openNotices());
    if (const QString mode = a.value(QStringLiteral("--mode")); !mode.isEmpty()) {
        table.setFilter(MeasurementTable::modeFilter(MeasurementTable::parseMode(mode)));
        table.setFiltered(true);
    }
    if (const QString sort = a.value(QStringLiteral("--sort")); !sort.isEmpty()) {
        const MeasurementTable::SortOrder order = MeasurementTable::parseSort(sort, table);
        // Read-only: the index lives in memory only.
        table.addIndex(QStringLiteral("dump"), order.field, order.descending);
        table.selectIndex(QStringLiteral("dump"));
    }

    const int columns = int(table.fields().size());
    QByteArray out;
    for (int c = 0; c < columns; ++c) {
        if (c)
            out.append('\t');
        out.append(table.fields()[size_t(c)].name.toLatin1());
    }
    out.append('\n');
    for (table.first(); !table.eof(); table.next()) {
        for (int c = 0; c < columns; ++c) {
            if (c)
                out.append('\t');
            appendCell(out, table.value(c));
        }
        out.append('\n');
        if (out.size() > (1 << 20)) {
            std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
            out.clear();
        }
    }
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
    if (std::fflush(stdout) != 0)
        throw KvError(QStringLiteral("Не удалось вывести таблицу."));
    return 0;
}

} // namespace cli
