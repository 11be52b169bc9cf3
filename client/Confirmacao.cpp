// Confirming the redemption (F5 and the confirm button).
#include "client/Cli_Vak04100.h"

#include "platform/ui/ErrorDisplay.h"

namespace Cli_Vak04100 {

namespace {

// True when every selected gift's campaign still has a paying balance of at least 0,
// walking the gifts in order and stopping at the first overdrawn campaign. A gift whose
// campaign is not listed is skipped; when no gift's campaign is found the answer is false.
bool saldosSuficientes(ClientDataSet& brindes, ClientDataSet& campanhas)
{
    bool suficiente = false;
    brindes.first();
    while (!brindes.eof()) {
        const QString cdCampanha = brindes.fieldByName(QStringLiteral("CDCAMPANHA")).asString();
        if (campanhas.active() && campanhas.locate(QStringLiteral("CDCAMPANHA"), cdCampanha)) {
            const bool semVoucher =
                campanhas.fieldByName(QStringLiteral("IDUTILVOUCHER")).asString() == QLatin1String("N");
            const double saldo =
                campanhas.fieldByName(semVoucher ? QStringLiteral("VRRESTANTE") : QStringLiteral("VRPTOVOUCHER"))
                    .asFloat();
            suficiente = saldo >= 0;
            if (!suficiente)
                break;
        }
        brindes.next();
    }
    return suficiente;
}

}  // namespace

void TfrmFidelidade::blbConfirmaClick(QObject*)
{
    platform::ui::guarded([&] {
        if (!cdsBrinde->active() || !saldosSuficientes(*cdsBrinde, *cdsCampanha)) {
            MostraMensagem(QStringLiteral("SALDO_INSUF"), hostkit::tmAviso);
            return;
        }
        // Issuing the redemption (receipt, sale, electronic document, undo on failure and
        // the reload of the balances) is added with the receipt and sale operations.
    });
}

}  // namespace Cli_Vak04100
