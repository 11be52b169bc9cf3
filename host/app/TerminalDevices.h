#pragma once
// The terminal's fiscal identity and its simulated devices, as pdvhost runs them: the
// branch and register of its parameters own its redemptions; each device keeps its state
// in the terminal folder under its serial (Fiscal/SERIAL/, SAT/SERIAL/), never with a
// run's output, so that a restart with another --out, another connection text or on a
// cloned machine finds the same device, and two registers never share one.

#include <QString>

namespace pdvhost {

struct TerminalDevices {
    QString branch, cashRegister;  // the codes every sale of the terminal carries
    QString printerSerial;         // NRSERIEIMP, or one made from branch and register
    QString printerSerialOnSales;  // NRSERIEIMP as the terminal's sales carry it (may be empty)
    QString satSerial;             // nserieSAT: 9 digits made from branch and register
    QString printerDir;            // <terminal>/Fiscal: one folder per printer serial
    QString satDir;                // <terminal>/SAT: one folder per SAT serial

    QString printerStatePath() const;
    QString satMemoryPath() const;
};

// The devices of the terminal whose parameters say these codes.
TerminalDevices devicesOf(const QString& terminalDir, const QString& branch, const QString& cashRegister,
                          const QString& printerSerial);

// The devices of the terminal folder, its parameter file read as the screen reads it (the
// host directory must already be the terminal's). A file that cannot be read gives a
// terminal without identity (it owns no pending redemption); the screen then says why.
TerminalDevices readTerminalDevices(const QString& terminalDir);

}  // namespace pdvhost
