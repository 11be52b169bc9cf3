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

namespace pdvhost {

// Runs every part of the check on the terminal directory `dir` (which becomes the host
// directory); `connectionString` empty means the terminal's own.
Findings checkTerminal(const QString& dir, const QString& connectionString = {});

// 0 when nothing blocks a redemption (warnings alone), 1 when something does, 2 on bad
// usage (usage on stderr).
int runCheckCommand(const QStringList& args);

}  // namespace pdvhost
