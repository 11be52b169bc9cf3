#pragma once
// What a terminal's simulated devices hold after a run, read from their files: the fiscal
// printer's receipts (from its journal, the paper roll: every receipt opened, closed and
// cancelled) and whether one is still open (from its state), and the CF-es the SAT device
// remembers having issued. This is the one place of the end-to-end tests that knows where
// those files are and how they are written: each is looked for under the terminal folder
// by its name, wherever the host keeps it there (the state under the device's serial, the
// journal in the run's --out folder, which the tests put inside the terminal folder). A
// device that never wrote its file reads as a device that holds nothing.

#include <QList>
#include <QString>

namespace e2e {

struct Receipt {
    int coo = 0;  // document number
    int ccf = 0;  // receipt counter
    bool closed = false;
    bool cancelled = false;
    bool valid() const { return closed && !cancelled; }
};

struct PrinterRecord {
    QList<Receipt> receipts;  // by document number, each as its last printing left it
    bool receiptOpen = false;
};

struct IssuedCfe {
    QString branch, cashRegister, sale;  // the sale the device issued the CF-e for
};

// The printer of the terminal whose folder is `terminalDir`.
PrinterRecord readPrinter(const QString& terminalDir);
// The CF-es the SAT device of that terminal issued.
QList<IssuedCfe> readSatMemory(const QString& terminalDir);

}  // namespace e2e
