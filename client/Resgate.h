#pragma once
// The state of one redemption attempt, as its steps leave it, and what the cashier is told
// about it. Each step of the confirmation (the receipt, the sale, their undo) updates the
// state; `desfecho` alone turns a state into the message (key of the screen's message table
// and its values), so that every outcome is told the same way wherever it arises.
//
//   receipt:  none --opened--> open --closed--> issued
//             open/issued --cancelled--> none;  --cancel refused--> cancel refused
//   sale:     none --close-out answered--> stored --NFC-e authorised / CF-e issued--> document issued
//             none --close-out answer lost--> uncertain --settled--> none | document issued
//             stored/uncertain --entered as cancelled--> none
//
// docs/redemption-state.md draws the same and names each word against the host's.

#include "terminal/DocumentKind.h"

#include <QString>
#include <QStringList>

namespace Cli_Vak04100 {

struct EstadoResgate {
    enum class Cupom { Nenhum, Aberto, Emitido, CancelamentoRecusado };
    enum class Venda { Nenhuma, Incerta, Gravada, DocumentoEmitido };

    // What the terminal is and what its host offers, fixed for the attempt.
    terminal::DocumentKind documento = terminal::DocumentKind::Receipt;
    bool impressora = false;   // a fiscal printer prints the receipt
    bool hostAcerta = false;   // the host settles pending sales (its extension was found)

    // How far the attempt went.
    Cupom cupom = Cupom::Nenhum;
    Venda venda = Venda::Nenhuma;
    QString nrCupom;      // the receipt's number, once opened
    QString nrVenda;      // the sale's number, once the host gave it
    QString nrDocumento;  // the NFC-e number drawn, or the CF-e number issued
    bool falhou = false;  // a step failed (the attempt did not end as a plain success)
    QStringList motivos;  // the reasons of what failed, in order

    // A receipt of this attempt is open or valid on the printer.
    bool cupomDePe() const { return cupom != Cupom::Nenhum; }
    // Records a failure and its reason (an empty or repeated reason is not listed twice).
    void anotaFalha(const QString& motivo);
    QString motivo() const { return motivos.join(QLatin1Char('\n')); }
};

// What the cashier is told: a message key and the values of its %1, %2...; no key when
// the attempt ended as a plain success and nothing is told.
struct Desfecho {
    QString chave;
    QStringList valores;
    bool operator==(const Desfecho&) const = default;
};

Desfecho desfecho(const EstadoResgate& estado);

}  // namespace Cli_Vak04100
