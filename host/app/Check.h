#pragma once
// The parts of `pdvhost check` (see CheckCommand.h). Each part adds its findings; the
// terminal files come first and tell the later parts what the terminal is.

#include "host/app/Findings.h"
#include "terminal/DocumentKind.h"
#include "terminal/TerminalFiles.h"

#include "platform/dataset/ClientDataSet.h"

#include <QDateTime>
#include <QString>

#include <array>
#include <memory>
#include <optional>

namespace platform::db {
class Connection;
}

namespace pdvhost::check {

// What the terminal files said, as far as they could be read.
struct Terminal {
    QString dir;
    std::array<std::optional<QVariant>, terminal::kParamCount> values;  // each key as read
    QString operatorCode, operatorName;
    QDateTime businessDate;
    QString activationCode;                                       // decoded
    std::unique_ptr<platform::ClientDataSet> taxRates;            // loaded AliqImpFis, or null

    QString text(terminal::Param p) const { return values[size_t(p)] ? values[size_t(p)]->toString() : QString(); }
    bool flag(terminal::Param p) const { return values[size_t(p)] && values[size_t(p)]->toBool(); }
    // The document the terminal issues, as the screen's opening works it out.
    terminal::DocumentKind documentKind() const
    {
        return terminal::documentKind(flag(terminal::Param::SISTEMAQVNNFCE), flag(terminal::Param::SISTEMAQVNSAT));
    }
    bool sat() const { return documentKind() == terminal::DocumentKind::Sat; }
    bool fiscalPrinter() const { return flag(terminal::Param::UTILIZAIMPFIS); }
};

// The parameter file, the cadastre files and the host data file. The host directory
// (hostkit) must already be the terminal's.
void checkFiles(Terminal& terminal, Findings& findings);

// The connection string (given, or the host's own), the connection, the tables and
// columns the data service and the sale services use, the widths of the codes written,
// the counters table and the text encoding. Returns the open connection, or null when
// the database cannot be reached.
std::unique_ptr<platform::db::Connection> checkDatabase(const Terminal& terminal, const QString& connectionString,
                                                        Findings& findings);

// Per active campaign, the gifts offered and hidden by the terminal's tax table, through
// the module's own GetBrinde.
void checkCatalogue(const Terminal& terminal, platform::db::Connection& db, const QString& connectionString,
                    Findings& findings);

// The simulated fiscal printer's state and the SAT device's activation.
void checkDevices(const Terminal& terminal, Findings& findings);

// A host running the terminal now (a note), the SAT device's memory that recovery reads
// (an error when unreadable) and, with a database, each redemption still pending on the
// terminal's branch and register (an error: sale, age, what is missing).
void checkPending(const Terminal& terminal, platform::db::Connection* db, Findings& findings);

}  // namespace pdvhost::check
