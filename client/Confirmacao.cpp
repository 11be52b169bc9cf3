// Confirming the redemption (F5 and the confirm button).
#include "client/Cli_Vak04100.h"
#include "client/ExtensoesHost.h"

#include "hostapi/ArgumentBlocks.h"
#include "hostapi/fiscaldev.h"
#include "hostapi/possvc.h"
#include "platform/db/ServiceResult.h"
#include "platform/ui/ErrorDisplay.h"

#include <QLocale>

#include <exception>

namespace Cli_Vak04100 {

namespace {

constexpr int kMaxBrindes = 999;

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

// The SAT update of this attempt's sale (its block names the sale) may answer that the
// device did issue its CF-e: the sale then stands with it.
void adotaCfeEmitido(TfrmFidelidade& f)
{
    const QString emitido = f.voRetorno.toList().value(hostapi::answer::VendaCancelada::DocumentoMantido).toString();
    if (emitido.isEmpty())
        return;
    f.stNrCfe = emitido;
    f.boDocumentoEmitido = true;
}

// The SAT sale concluded by this attempt, entered as cancelled in the host's log. True
// when the host answered without error.
bool cancelaVendaSat(TfrmFidelidade& f)
{
    f.voRetorno = TfrmFidelidade::NovoRetorno();
    const QDateTime movimento(f.dtMovimento.date(), QTime(0, 0));
    const QString contexto = QStringList{f.stNrSeqVenda, f.stCdFilial, f.stCdCaixa,
                                         QLocale::system().toString(movimento.date(), QLocale::ShortFormat)}
                                 .join(QLatin1Char('-'));
    using Altera = hostapi::block::AlteraVendaCan;
    const hostapi::ArgumentBlock<Altera> bloco(QStringLiteral(""), {{Altera::NrSeqVenda, f.stNrSeqVenda},
                                                                    {Altera::CdFilial, f.stCdFilial},
                                                                    {Altera::CdCaixa, f.stCdCaixa},
                                                                    {Altera::DtMovimento, movimento},
                                                                    {Altera::Fixo7, QStringLiteral("SAT")}});
    QString resposta;
    try {
        possvc::AlteraVendaCan(bloco.values(), bloco.highest(), f.voRetorno, resposta);
    } catch (...) {
        f.AnotaMotivo(QStringLiteral("O cancelamento da venda %1 falhou: %2")
                          .arg(f.stNrSeqVenda, platform::ui::errorText(std::current_exception())));
        return false;
    }
    hostkit::MensagemMetodo(QVariant(resposta), true, 0, QStringLiteral("AlteraVendaCan"),
                            QStringLiteral("Cli_Vak04100"), contexto, QString());
    adotaCfeEmitido(f);
    if (platform::db::isErrorResult(QVariant(resposta))) {
        f.AnotaMotivo(resposta);
        return false;
    }
    return true;
}

// A close-out that failed in the database may have kept the sale, whose number this
// screen never learnt; a sale of an electronic document is marked pending with it. A
// host that offers it settles that sale now, and names it: its number, and its document
// when it stands. A document is taken as this attempt's only when the answer names a sale
// and, on NFC-e, the number this attempt drew. False when the sale could not be settled;
// otherwise it stands with its document, or `cancelada` tells whether the host cancelled
// it (false: the close-out kept no sale).
bool resolveVendaIncerta(TfrmFidelidade& f, bool& cancelada)
{
    const hostapi::ext::ResolveVendasPendentes acerta = resolveVendasPendentesDoHost();
    if (!acerta) {
        f.AnotaMotivo(QStringLiteral("O sistema não oferece o acerto de vendas pendentes."));
        return false;
    }
    f.voRetorno = TfrmFidelidade::NovoRetorno();
    QString resposta;
    acerta(f.voRetorno, resposta);
    if (!resposta.isEmpty()) {
        f.AnotaMotivo(QStringLiteral("A venda pendente não foi resolvida: %1").arg(resposta));
        return false;
    }
    using Resposta = hostapi::answer::VendaCancelada;
    const QVariantList acerto = f.voRetorno.toList();
    const QString venda = acerto.value(Resposta::Venda).toString();
    const QString mantido = acerto.value(Resposta::DocumentoMantido).toString();
    cancelada = false;
    if (venda.isEmpty())
        return true;  // the close-out kept no sale
    if (mantido.isEmpty()) {
        cancelada = true;  // kept, and now cancelled with its points given back
        return true;
    }
    if (f.boSistemaNfce && mantido != f.stNrNfce) {
        f.AnotaMotivo(QStringLiteral("O acerto da venda %1 nomeou a NFC-e %2, que não é a deste resgate (%3).")
                          .arg(venda, mantido, f.stNrNfce));
        return false;
    }
    f.stNrSeqVenda = venda;
    if (!f.boSistemaNfce)
        f.stNrCfe = mantido;
    f.boDocumentoEmitido = true;
    return true;
}

// The entry of this redemption in the cancelled-sale log; an error of the log is kept
// among the reasons. True when the entry was made.
bool registraCancelamento(TfrmFidelidade& f)
{
    try {
        f.CancelaVenda();
        return true;
    } catch (...) {
        f.AnotaMotivo(QStringLiteral("O registro do cancelamento falhou: %1")
                          .arg(platform::ui::errorText(std::current_exception())));
        return false;
    }
}

// Tells the operator that the sale stands with its issued NFC-e or CF-e.
void informaDocumentoEmitido(TfrmFidelidade& f)
{
    if (f.boSistemaNfce)
        f.MostraMensagem(QStringLiteral("NFCE_SEM_VIA"), hostkit::tmErro, f.MotivoFalha(), {f.stNrNfce});
    else
        f.MostraMensagem(QStringLiteral("CFE_EMITIDO"), hostkit::tmErro, f.MotivoFalha(),
                         {f.stNrCfe.isEmpty() ? f.stChaveAcesso : f.stNrCfe, f.stNrSeqVenda});
}

// After a close-out whose answer was lost, the database could not be asked whether it
// kept the sale: it may stand with its receipt or NFC-e, or nothing of it is left. A host
// that settles pending sales settles which at the terminal's next start (pending sales
// first, then the printer's last receipt; a SAT sale without a CF-e is cancelled then);
// on any other host the cashier looks the sale up.
void informaVendaIncerta(TfrmFidelidade& f)
{
    // Only a host that settles pending sales settles this one at its next start.
    const bool hostAcerta = resolveVendasPendentesDoHost() != nullptr;
    if (f.boSistemaSat && !f.boSistemaNfce)
        return f.MostraMensagem(hostAcerta ? QStringLiteral("VENDA_SAT_INCERTA") : QStringLiteral("VENDA_SAT_A_CONFERIR"),
                                hostkit::tmErro, f.MotivoFalha());
    QStringList documentos;
    if (f.boUtilizaImpFis)
        documentos << QStringLiteral("cupom %1").arg(f.stCupNr);
    if (f.boSistemaNfce)
        documentos << QStringLiteral("NFC-e %1").arg(f.stNrNfce);
    f.MostraMensagem(hostAcerta ? QStringLiteral("VENDA_INCERTA") : QStringLiteral("VENDA_A_CONFERIR"), hostkit::tmErro,
                     f.MotivoFalha(), {documentos.join(QStringLiteral(", "))});
}

// The sale a close-out whose answer was lost may have kept, settled before anything else
// is undone. False when it could not be. A sale of an electronic document is settled by
// the host (it may stand with its document); a receipt's sale is entered as cancelled
// before its receipt is cancelled, so that no receipt is cancelled under a sale that
// stands. `cancelada`: the sale is cancelled and logged already.
bool acertaVendaIncerta(TfrmFidelidade& f, bool& cancelada)
{
    if (f.boSistemaSat || f.boSistemaNfce)
        return resolveVendaIncerta(f, cancelada);
    cancelada = registraCancelamento(f);
    return cancelada;
}

// A sale that could not be cancelled stays pending, for the host to cancel, only where the
// close-out marked it so (a document still to come: SAT or NFC-e) and the host settles
// pending sales; elsewhere the cashier cancels it.
bool vendaFicaPendente(const TfrmFidelidade& f)
{
    return (f.boSistemaSat || f.boSistemaNfce) && resolveVendasPendentesDoHost() != nullptr;
}

// Undoes what a failed or interrupted attempt did and tells the operator how it ended.
// A sale whose NFC-e or CF-e was issued stands. A receipt is cancelled on the printer
// once, and the sale entered as cancelled only when no receipt of it stands; a SAT sale
// with no CF-e is entered as cancelled through the SAT update, which may find that the
// device did issue it.
void desfazEInforma(TfrmFidelidade& f)
{
    if (f.boDocumentoEmitido)
        return informaDocumentoEmitido(f);
    bool vendaCancelada = false;
    if (f.boFechamentoIncerto) {
        if (!acertaVendaIncerta(f, vendaCancelada))
            return informaVendaIncerta(f);
        if (f.boDocumentoEmitido)
            return informaDocumentoEmitido(f);
    }
    bool vendaPendente = false;
    if (f.boUtilizaImpFis) {
        if (f.CupomPendente() && !f.boCancelamentoRecusado)
            f.CancelaCupom(false);
        if (!f.CupomPendente() && !vendaCancelada)
            vendaPendente = !registraCancelamento(f) && !f.stNrSeqVenda.isEmpty();
    } else if (f.boSistemaSat && !f.stNrSeqVenda.isEmpty()) {
        vendaPendente = !cancelaVendaSat(f);
    }
    if (f.boDocumentoEmitido)
        return informaDocumentoEmitido(f);
    if (f.CupomPendente())
        f.MostraMensagem(QStringLiteral("CUPOM_NAO_CANC"), hostkit::tmErro, f.MotivoFalha(), {f.stCupNr});
    else if (vendaPendente)
        f.MostraMensagem(vendaFicaPendente(f) ? QStringLiteral("VENDA_NAO_CANC") : QStringLiteral("VENDA_A_CANCELAR"),
                         hostkit::tmErro, f.MotivoFalha(), {f.stNrSeqVenda});
    else
        f.MostraMensagem(QStringLiteral("ERRO_IMP_CUP"), hostkit::tmErro, f.MotivoFalha());
}

// Step 2: indicator, receipt, sale, and the undo of a failed sale. An error raised by a
// step is undone and told like a failure, then goes on to the error display.
void emite(TfrmFidelidade& f)
{
    possvc::AtivaProcesso(frmFidelidade ? static_cast<QWidget*>(frmFidelidade) : &f,
                          f.msgPadrao->Msg(QStringLiteral("IMP_CUP")), f.inCor1, f.inCor2);
    // Nothing of an earlier redemption may be entered as cancelled if this one fails.
    f.LimpaVenda();
    f.IniciaResgate();

    bool cupomImpresso = false;
    try {
        cupomImpresso = f.ImprimeCupom();
        if (cupomImpresso && f.GeraVenda())
            return;
    } catch (...) {
        f.AnotaMotivo(platform::ui::errorText(std::current_exception()));
        desfazEInforma(f);
        throw;
    }
    if (!cupomImpresso) {
        // The receipt step told the operator how its receipt ended. The redemption is
        // entered as cancelled and told once more only when no receipt of it stands.
        if (!f.CupomPendente()) {
            registraCancelamento(f);
            f.MostraMensagem(QStringLiteral("ERRO_IMP_CUP"), hostkit::tmErro, f.MotivoFalha());
        }
        return;
    }
    desfazEInforma(f);
}

// Step 3: indicator off, selection emptied, balances reloaded from the database. Each
// part runs even when one before it failed; the first failure is raised at the end.
void limpa(TfrmFidelidade& f)
{
    std::exception_ptr erro;
    auto passo = [&](auto&& acao) {
        try {
            acao();
            return true;
        } catch (...) {
            if (!erro)
                erro = std::current_exception();
            return false;
        }
    };
    const bool semIndicador = passo([] { possvc::DesativaProcesso(); });
    passo([&f] {
        if (f.cdsBrinde->active()) {
            if (f.cdsBrinde->state() != platform::DataSetState::Browse)
                f.cdsBrinde->cancel();
            f.cdsBrinde->emptyDataSet();
        }
    });
    passo([&f] { f.dtsBrindeStateChange(f.cdsBrinde); });
    passo([&f] { f.CarregaSaldos(); });
    // An indicator left over the screen would block the operator: one more try.
    if (!semIndicador)
        passo([] { possvc::DesativaProcesso(); });
    if (erro)
        std::rethrow_exception(erro);
}

}  // namespace

void TfrmFidelidade::blbConfirmaClick(QObject*)
{
    platform::ui::guarded([&] {
        // The sale's items are numbered with three digits, here and in the host's tables:
        // a longer redemption cannot be booked item by item.
        if (cdsBrinde->active() && cdsBrinde->recordCount() > kMaxBrindes) {
            MostraMensagem(QStringLiteral("LIMITE_BRINDES"), hostkit::tmAviso, {}, {QString::number(kMaxBrindes)});
            return;
        }
        // Step 1: no campaign may be overdrawn; nothing else happens when one is.
        if (!cdsBrinde->active() || !saldosSuficientes(*cdsBrinde, *cdsCampanha)) {
            MostraMensagem(QStringLiteral("SALDO_INSUF"), hostkit::tmAviso);
            return;
        }
        // Step 2, always followed by step 3. An error of step 2 reaches the error display
        // after the clean-up; one of the clean-up as well.
        std::exception_ptr erro;
        try {
            emite(*this);
        } catch (...) {
            erro = std::current_exception();
        }
        std::exception_ptr erroLimpeza;
        try {
            limpa(*this);
        } catch (...) {
            erroLimpeza = std::current_exception();
        }
        if (erro && erroLimpeza)
            platform::ui::showError(platform::ui::errorText(erroLimpeza));
        if (erro)
            std::rethrow_exception(erro);
        if (erroLimpeza)
            std::rethrow_exception(erroLimpeza);
    });
}

void TfrmFidelidade::IniciaResgate()
{
    boCupomAberto = boCupomEmitido = boCancelamentoRecusado = boDocumentoEmitido = boFechamentoIncerto = false;
    // No sale of this attempt exists yet: an undo must never take the last redemption's
    // number for a pending sale of this one.
    stNrSeqVenda.clear();
    slMotivosFalha.clear();
}

void TfrmFidelidade::AnotaMotivo(const QString& motivo)
{
    const QString texto = motivo.trimmed();
    if (!texto.isEmpty() && !slMotivosFalha.contains(texto))
        slMotivosFalha << texto;
}

}  // namespace Cli_Vak04100
