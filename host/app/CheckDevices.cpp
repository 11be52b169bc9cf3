// The devices the redemption reaches: the simulated fiscal printer (its state file in the
// terminal's Fiscal folder under the printer's serial, where pdvhost keeps it) and the SAT
// device's activation.
#include "host/app/Check.h"
#include "host/app/TerminalDevices.h"

#include "host/fiscaldev/PrinterState.h"
#include "host/possvc/sale/SaleServices.h"
#include "platform/Error.h"

#include <QDir>

namespace pdvhost::check {

void checkDevices(const Terminal& t, Findings& f)
{
    const QString printer = QStringLiteral("printer");
    if (t.fiscalPrinter()) {
        // Where pdvhost keeps the printer of this terminal (Fiscal/SERIAL/), read without
        // taking the printer over.
        using terminal::Param;
        const QString path = devicesOf(t.dir, t.text(Param::CDFILIAL), t.text(Param::CDCAIXA),
                                       t.text(Param::NRSERIEIMP))
                                 .printerStatePath();
        try {
            const auto state = fiscaldev::sim::PrinterState::load(path);
            if (state.open)
                f.warning(printer, QStringLiteral("receipt %1").arg(state.open->coo),
                          QStringLiteral("a receipt opened %1 is still open; the next redemption cancels it first")
                              .arg(state.open->opened.toString(Qt::ISODate)),
                          QStringLiteral("cancel it at the host before the next sale"));
        } catch (const platform::Error& e) {
            f.error(printer, QDir(t.dir).relativeFilePath(path), e.text(),
                    QStringLiteral("restore the printer's state file from the host, or remove it for a new printer"));
        }
    }
    if (t.sat() && !t.activationCode.isEmpty()) {
        const QString expected = possvc::sim::config().satActivationCode;
        if (!expected.isEmpty() && expected != t.activationCode)
            f.error(QStringLiteral("SAT"), QStringLiteral("activation"),
                    QStringLiteral("the register's activation code is not the SAT device's: every sale is refused"),
                    QStringLiteral("open the register at the host with the device's activation code"));
    }
}

}  // namespace pdvhost::check
