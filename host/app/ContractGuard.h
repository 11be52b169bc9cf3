#pragma once
// pdvhost --contract-only: the host the module is made for, with nothing beyond the host
// libraries' published contract. The settling of pending sales is withdrawn, nothing is
// recovered at start, and every call the module makes is checked against the contract
// (hostapi/PublishedContract.h): the first call outside it, or a Mensagem or
// MensagemMetodo of another shape, ends the run at once with status 3, naming the call on
// standard error.

#include "hostapi/CallRecord.h"

#include <QString>

namespace pdvhost {

// The exit status of a run ended by a call outside the published contract.
inline constexpr int kContractViolationStatus = 3;

class ContractGuard {
public:
    // `idEsquema`: the terminal's schema identifier (terminalSchema()).
    ContractGuard(bool enabled, QString idEsquema) : enabled_(enabled), idEsquema_(std::move(idEsquema)) {}
    bool enabled() const { return enabled_; }
    // Checks one call; ends the process on a violation. `screenShown`: the screen has been
    // shown (before it, the entry's error handler may name the fixed schema "002").
    void check(const hostapi::CallRecord& call, bool screenShown) const;

private:
    bool enabled_;
    QString idEsquema_;
};

// Withdraws what the reference host offers beyond the contract (the settling of pending
// sales, its C entry and its procedure variable).
void withdrawExtensions();

// The schema identifier (IDESQUEMA) of the terminal in the host directory, read as the
// module reads it; "" when the parameter file cannot be read.
QString terminalSchema();

}  // namespace pdvhost
