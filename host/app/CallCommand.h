#pragma once
// `pdvhost call [--db CONNSTR] FUNCTION [ARG...]`: loads the module from beside the
// executable, creates and connects its data module, calls one data-service function and
// prints the result on stdout: a data packet as JSON (the layout of `cdstool dump --json`:
// dates as YYYY-MM-DD, flags as true/false), a text as it is, nothing for an empty result.
//
// Functions and their arguments:
//   GetConsumidor
//   GetSaldoConsCamp CLIENT CONSUMER
//   GetBrinde CAMPAIGN BRANCH
//   SetGravaCupomInicial BRANCH REGISTER RECEIPT FISCAL-DATE
//   GetSenhaCupom BRANCH DATE
//   getNumeroNFCe BRANCH SERIES ENVIRONMENT
//   setNumeroNFCe BRANCH REGISTER SERIES ENVIRONMENT RECORD-FOR-VOIDING
// Dates are YYYY-MM-DD or YYYY-MM-DDTHH:MM[:SS]; flags true/false (also 1/0, S/N).
// Without --db the host's own connection string is used (hostkit's GetStringConexQvn).

#include <QStringList>

#include <optional>

namespace pdvhost {

// A call as its command line asks for it.
struct CallRequest {
    QString connectionString;  // --db; empty means the host's own
    const char* function = nullptr;  // as the module spells it
    QStringList arguments;
};

// Reads the command line (after "call") into `request`. Needs no application object, so
// that help, version and bad usage are answered before a display is set up. Returns the
// exit status when the run is over (bad usage: 2, usage on stderr), nothing when the call
// goes on.
std::optional<int> parseCallCommand(const QStringList& args, CallRequest& request);

// Returns the exit code: 0 the function returned a result; 1 the result is an error text
// or the function raised (its text on stderr) or the module could not be loaded or
// connected; 2 an argument of the wrong kind (a date or a flag; its text on stderr).
int runCallCommand(const CallRequest& request);

}  // namespace pdvhost
