#pragma once

#include <QByteArray>
#include <QMap>
#include <QStringList>

#include <functional>

class DbfTable;

// The batch command line: `kvarnel-ld5 COMMAND ARGS...`. Without arguments the program starts its
// window. Each command prints its errors on stderr and returns the exit status.
namespace cli {

// True when argv names a command of the batch command line.
bool isCommand(int argc, char** argv);

// Runs the command; creates the application object the command needs.
int run(int argc, char** argv);

// The arguments of a command: the positional ones in order, and the values of its options, each
// "--name VALUE" at most once.
struct Arguments {
    QStringList positional;
    QMap<QString, QString> values;
    QString value(const QString& option) const { return values.value(option); }
};
// Any other option, an option twice or one without its value, or more positional arguments
// than maxPositional, calls usage, which throws.
Arguments parseArguments(const QStringList& args, const QStringList& valueOptions, qsizetype maxPositional,
                         const std::function<void()>& usage);

// Opens the measurement table for a command that changes it: with `repair`, a table shorter than
// its header counts is first put right (DbfTable::repair), which is said on stderr; then the
// notices of the open go to stderr. A table another program holds is refused with that reason
// alone; any other failure of the open has "База данных повреждена !" as its first line when
// `damagedFirst` is set.
void openToChange(DbfTable& table, const QString& path, bool repair, bool damagedFirst);
// Opens the measurement table for reading and writes the notices of the open on stderr.
void openToRead(DbfTable& table, const QString& path);
// The notices of an open table, one line each, on stderr.
void tellNotices(const QStringList& notices);
// Appends text in UTF-8 to a tab-separated line. A tab, a line break or a backslash inside it
// would break the columns: each is written as a backslash and t, n, r or a second backslash.
void appendEscaped(QByteArray& line, const QString& text);

// The commands, one file each. `args` holds the arguments after the command name.
int dump(const QStringList& args);
int import(const QStringList& args);
int exportXls(const QStringList& args);
int report(const QStringList& args);
int download(const QStringList& args);
int ports(const QStringList& args);
int chart(const QStringList& args);
int index(const QStringList& args);
int status(const QStringList& args);

} // namespace cli
