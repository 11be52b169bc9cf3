#include "client/Resgate.h"

namespace Cli_Vak04100 {

void EstadoResgate::anotaFalha(const QString& texto)
{
    falhou = true;
    const QString m = texto.trimmed();
    if (!m.isEmpty() && !motivos.contains(m))
        motivos << m;
}

namespace {

using Cupom = EstadoResgate::Cupom;
using Venda = EstadoResgate::Venda;
using terminal::DocumentKind;

// The sale whose close-out answer was lost could not be settled: it may stand with its
// receipt or NFC-e, or nothing of it is left (SAT: it has no CF-e). A host that settles
// pending sales settles it at the next start; on any other the cashier looks it up.
Desfecho vendaIncerta(const EstadoResgate& e)
{
    if (e.documento == DocumentKind::Sat)
        return {e.hostAcerta ? QStringLiteral("VENDA_SAT_INCERTA") : QStringLiteral("VENDA_SAT_A_CONFERIR"), {}};
    QStringList documentos;
    if (e.impressora)
        documentos << QStringLiteral("cupom %1").arg(e.nrCupom);
    if (e.documento == DocumentKind::Nfce)
        documentos << QStringLiteral("NFC-e %1").arg(e.nrDocumento);
    return {e.hostAcerta ? QStringLiteral("VENDA_INCERTA") : QStringLiteral("VENDA_A_CONFERIR"),
            {documentos.join(QStringLiteral(", "))}};
}

// A sale that stands and could not be cancelled. The host keeps it pending, and cancels
// it, only where the close-out marked it so (a document still to come) and the host
// settles pending sales.
Desfecho vendaDePe(const EstadoResgate& e)
{
    const bool pendente = e.documento != DocumentKind::Receipt && e.hostAcerta;
    return {pendente ? QStringLiteral("VENDA_NAO_CANC") : QStringLiteral("VENDA_A_CANCELAR"), {e.nrVenda}};
}

}  // namespace

Desfecho desfecho(const EstadoResgate& e)
{
    if (e.venda == Venda::DocumentoEmitido) {
        if (!e.falhou)
            return {};
        if (e.documento == DocumentKind::Nfce)
            return {QStringLiteral("NFCE_SEM_VIA"), {e.nrDocumento}};
        return {QStringLiteral("CFE_EMITIDO"), {e.nrDocumento, e.nrVenda}};
    }
    if (!e.falhou)
        return {};
    if (e.venda == Venda::Incerta)
        return vendaIncerta(e);
    if (e.cupomDePe())
        return {QStringLiteral("CUPOM_NAO_CANC"), {e.nrCupom}};
    if (e.venda == Venda::Gravada)
        return vendaDePe(e);
    return {QStringLiteral("ERRO_IMP_CUP"), {}};
}

}  // namespace Cli_Vak04100
