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

namespace pdvhost {

// Returns the exit code: 0 the function returned a result; 1 the result is an error text
// or the function raised (its text on stderr) or the module could not be loaded or
// connected; 2 bad arguments (usage on stderr).
int runCallCommand(const QStringList& args);

}  // namespace pdvhost
