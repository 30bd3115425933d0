#pragma once

#include <QStringList>

// The batch command line: `kvarnel-ld5 COMMAND ARGS...`. Without arguments the program starts its
// window. Each command prints its errors on stderr and returns the exit status.
namespace cli {

// True when argv names a command of the batch command line.
bool isCommand(int argc, char** argv);

// Runs the command; creates the application object the command needs.
int run(int argc, char** argv);

// The commands, one file each. `args` holds the arguments after the command name.
int dump(const QStringList& args);
int import(const QStringList& args);
int exportXls(const QStringList& args);
int report(const QStringList& args);
int download(const QStringList& args);

} // namespace cli
