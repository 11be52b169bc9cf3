#pragma once
// The shop subcommand of shopgen: `shopgen --db CONNSTR [--size demo|large] [--seed N]
// [--today YYYY-MM-DD] [--replace]`. Creates the schema and fills it (Generator.h).

#include <QStringList>

namespace shopgen {

// Runs the command with its arguments (without the program name). Returns the exit code:
// 0 done, 1 failure (message on stderr), 2 bad arguments.
int runShopCommand(const QStringList& args);

}  // namespace shopgen
