#pragma once
// `pdvhost check --terminal DIR [--db CONNSTR] [--json]`: judges a terminal's whole set-up
// at once, reading what the screen's opening and a redemption read with the same code:
// the parameter file, the cadastre files and the host data file (terminal/TerminalFiles.h),
// the database (tables and columns, code widths, the counters table, the text encoding),
// the gift catalogue of each active campaign through the module's GetBrinde, and the
// devices. Prints every finding, grouped by file, one line each with its fix; --json
// prints them as one object instead.

#include "host/app/Findings.h"

#include <QStringList>

#include <optional>

namespace pdvhost {

// Runs every part of the check on the terminal directory `dir` (which becomes the host
// directory); `connectionString` empty means the terminal's own.
Findings checkTerminal(const QString& dir, const QString& connectionString = {});

// A check as its command line asks for it.
struct CheckOptions {
    QString terminal;  // the terminal directory, absolute
    QString db;        // --db; empty means the terminal's own
    bool json = false;
};

// Reads the command line (after "check") into `options`. Needs no application object, so
// that help, version and bad usage are answered before a display is set up. Returns the
// exit status when the run is over (bad usage, a terminal directory that does not exist:
// 2, on stderr), nothing when the check goes on.
std::optional<int> parseCheckCommand(const QStringList& args, CheckOptions& options);

// Prints the findings; 0 when nothing blocks a redemption (warnings alone), 1 when
// something does.
int runCheckCommand(const CheckOptions& options);

}  // namespace pdvhost
