#pragma once
// pdvhost: the reference point-of-sale host. Loads the module from beside its
// executable, assigns the host libraries' procedure variables, sets the host directory
// to the terminal, and opens the redemption screen through CriaFidelidade — in a window,
// or headless playing a script, with a transcript of every host-library call.
//
//   pdvhost --terminal DIR [--db CONNSTR] [--consumer CODE [--name N] [--cpf C]
//           [--address A] [--client K]] [--script FILE] [--transcript FILE.jsonl] [--out DIR]
//           [--contract-only]
//
// --contract-only: a host of the published contract alone (ContractGuard.h): no
// settling of pending sales, no recovery at start, every call checked.
//
// One host per terminal (TerminalLock.h): the terminal's lock is taken before anything is
// recovered, and held until the process ends.
//
// Exit status: 0 when the screen was opened and closed; 1 when it could not open (the
// reason is shown as the module reports it, and written on stderr), another host runs the
// terminal (its pid and machine on stderr), a pending redemption of the terminal cannot
// be settled now (the sale and the reason on stderr), the module cannot be
// loaded or the host libraries cannot start (an unreadable printer state file); 2 on bad
// options or a bad script; 3 when, with --contract-only, the module made a call outside
// the published contract.

#include "host/app/Script.h"
#include "host/app/Transcript.h"

#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <optional>

class QWidget;

namespace pdvhost {

struct HostOptions {
    QString terminal, db, consumer, name, cpf, address, client, script, transcript, out;
    bool contractOnly = false;
};

// Parses the options (without the program name, as the process got them). Returns the
// exit status when the run ends here (--help, --version, or bad usage: the message and
// the usage on stderr, status 2), nothing when the host goes on.
std::optional<int> parseOptions(const QStringList& args, HostOptions& options);
QString usage();

// The state of the open screen as the transcript records it after a script line.
QJsonObject screenState(QWidget* form);

// Runs the host with the given options; returns the exit status.
int runHost(const HostOptions& options);

}  // namespace pdvhost
