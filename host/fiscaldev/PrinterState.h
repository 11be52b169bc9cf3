#pragma once
// What the simulated fiscal printer remembers between runs: its document numbers and
// totals, the fiscal movement date, the receipt open on the paper (if any), the last
// receipt (which may still be cancelled) and the registers' totals updates.
//
// Stored as JSON. load() throws platform::HostError naming the file when it exists but
// cannot be read or understood (numbers are never silently restarted); save() throws
// HostError when the file cannot be written (written whole or not at all).

#include "FiscaldevExport.h"
#include <QDate>
#include <QDateTime>
#include <QJsonObject>
#include <QString>

#include <optional>

namespace fiscaldev::sim {

struct OpenReceipt {
    int coo = 0;
    int ccf = 0;
    int items = 0;
    double subtotal = 0;
    QDateTime opened;
};

struct FISCALDEV_EXPORT PrinterState {
    QString serial = QStringLiteral("ECFSIM000001");
    int coo = 0;                 // last document number (every document counts)
    int ccf = 0;                 // last fiscal receipt counter
    double grandTotal = 0;       // sum of closed receipts; never decreases
    double cancelledTotal = 0;
    int cancellations = 0;
    QDate movementDate;
    int lastReceiptCoo = 0;      // the last closed receipt,
    double lastReceiptTotal = 0; // its total,
    bool lastReceiptCancellable = false;  // and whether it is still the last document
    int lastReceiptCcf = 0;      // its counter
    QDateTime lastReceiptOpened; // and when it was opened
    std::optional<OpenReceipt> open;
    QJsonObject registers;       // "branch/register" -> last totals update

    static PrinterState load(const QString& path);  // a missing file gives a fresh state
    void save(const QString& path) const;
};

}  // namespace fiscaldev::sim
