#pragma once
// The reference host's simulated fiscal printer, behind the fiscaldev procedure variables.
//
// It keeps receipt numbers (COO), receipt counters (CCF), the grand total and the fiscal
// movement date in a small state file, and prints every receipt, item by item, to a
// 48-column text journal, both in its output directory; numbers continue across runs.
// Any command can be told to refuse (the host's "fail OPERATION [N]").
//
// Not thread-safe: the printer is driven from the screen's thread only.
// Errors: platform::HostError when the output directory or the state file cannot be
// written or read, and for unknown operations in failNext().

#include "FiscaldevExport.h"
#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>

namespace fiscaldev::sim {

// Assigns the simulated printer to AbreCupom, VendaItem, FechaCupom, Atu_TotGeral,
// Cancela_Cupom_Imp and DataMoviFiscal.
FISCALDEV_EXPORT void installAll();

// Where the journal ("journal.txt") is printed, and the state ("printer-state.json") kept
// until setDevice() names the device. Created when missing; the state there is loaded (an
// open receipt is forgotten). Until set, the current directory's "fiscal" folder is used.
FISCALDEV_EXPORT void setOutputDir(const QString& dir);
FISCALDEV_EXPORT QString outputDir();
FISCALDEV_EXPORT QString journalPath();
FISCALDEV_EXPORT QString statePath();

// The printer as a device of the terminal: its serial (from the terminal's parameters, so
// that two registers' printers differ) and its state kept in `stateDir`/SERIAL/, never
// with a run's output. The state there is loaded.
FISCALDEV_EXPORT void setDevice(const QString& stateDir, const QString& serial);
FISCALDEV_EXPORT QString serial();

// The printer's clock (receipt date-times, the movement date). Empty: the system clock.
FISCALDEV_EXPORT void setClock(std::function<QDateTime()> clock);

// The n-th next call (n >= 1) of `op` refuses: the command returns false (and leaves an
// error code and text at indices 0 and 1 of voRetorno where it takes one), DataMoviFiscal
// throws. Throws HostError for an operation fiscaldev does not have.
FISCALDEV_EXPORT void failNext(const QString& op, int n = 1);
FISCALDEV_EXPORT void clearFaults();

struct Status {
    int coo = 0;             // number of the last document printed
    int ccf = 0;             // counter of the last fiscal receipt
    double grandTotal = 0;   // sum of every closed receipt
    double cancelledTotal = 0;
    int cancellations = 0;
    bool receiptOpen = false;
    int openItems = 0;       // items on the open receipt
    QDate movementDate;      // null before the first receipt
};
FISCALDEV_EXPORT Status status();

// At the host's start, after a crash: a receipt left open is cancelled, and the last
// receipt, while it can still be cancelled, is cancelled unless `hasSale` says that a
// concluded sale booked it (the printer's serial, receipt number and counter as six
// digits; no time: a clock that was stepped back proves nothing). Returns one line per
// receipt cancelled. Throws what `hasSale` throws (nothing is cancelled then but the open
// receipt) and HostError when the state cannot be saved.
using ReceiptHasSale = std::function<bool(const QString& printerSerial, const QString& receipt, const QString& counter)>;
FISCALDEV_EXPORT QStringList recover(const ReceiptHasSale& hasSale);

// The reason of the printer's last refusal (empty after a command that succeeded).
FISCALDEV_EXPORT QString lastError();

}  // namespace fiscaldev::sim
