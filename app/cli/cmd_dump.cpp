#include "app/cli/Cli.h"

#include "core/Error.h"
#include "db/DbfTable.h"

#include <charconv>
#include <cstdio>

namespace cli {
namespace {

// Tabs and line breaks inside a text would break the columns; they are escaped, as is the backslash.
void appendText(QByteArray& line, const QString& text) {
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
        appendText(line, v.toString());
    }
}

[[noreturn]] void usage() {
    throw KvError(
        QStringLiteral("Использование: kvarnel-ld5 dump ТАБЛИЦА.dbf [--mode N] [--sort ПОЛЕ[:desc]]"));
}

} // namespace

int dump(const QStringList& args) {
    QString path, mode, sort;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("--mode") && i + 1 < args.size())
            mode = args[++i];
        else if (a == QLatin1String("--sort") && i + 1 < args.size())
            sort = args[++i];
        else if (!a.startsWith(QLatin1String("--")) && path.isEmpty())
            path = a;
        else
            usage();
    }
    if (path.isEmpty())
        usage();

    DbfTable table;
    table.open(path, DbfTable::Access::ReadOnly);
    if (!mode.isEmpty()) {
        table.setFilter(QStringLiteral("MODE=") + mode);
        table.setFiltered(true);
    }
    if (!sort.isEmpty()) {
        QString field = sort;
        bool descending = false;
        if (sort.endsWith(QLatin1String(":desc"), Qt::CaseInsensitive)) {
            field.chop(5);
            descending = true;
        } else if (sort.endsWith(QLatin1String(":asc"), Qt::CaseInsensitive)) {
            field.chop(4);
        }
        // Read-only: the index lives in memory only.
        table.addIndex(QStringLiteral("dump"), field, descending);
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
