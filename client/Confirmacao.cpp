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

using Venda = EstadoResgate::Venda;
using Cupom = EstadoResgate::Cupom;
using terminal::DocumentKind;

// The SAT update of this attempt's sale (its block names the sale) may answer that the
// device did issue its CF-e: the sale then stands with it.
void adotaCfeEmitido(TfrmFidelidade& f)
{
    const QString emitido = f.voRetorno.toList().value(hostapi::answer::VendaCancelada::DocumentoMantido).toString();
    if (emitido.isEmpty())
        return;
    f.stNrCfe = emitido;
    f.resgate.nrDocumento = emitido;
    f.resgate.venda = Venda::DocumentoEmitido;
}

// The SAT sale concluded by this attempt, entered as cancelled through the SAT update,
// which may find that the device did issue its CF-e. Leaves the sale cancelled, standing
// with its CF-e, or (when the host answered with an error) stored as it was.
void cancelaVendaSat(TfrmFidelidade& f)
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
        f.resgate.anotaFalha(QStringLiteral("O cancelamento da venda %1 falhou: %2")
                                 .arg(f.stNrSeqVenda, platform::ui::errorText(std::current_exception())));
        return;
    }
    hostkit::MensagemMetodo(QVariant(resposta), true, 0, QStringLiteral("AlteraVendaCan"),
                            QStringLiteral("Cli_Vak04100"), contexto, QString());
    adotaCfeEmitido(f);
    if (platform::db::isErrorResult(QVariant(resposta)))
        f.resgate.anotaFalha(resposta);
    else if (f.resgate.venda != Venda::DocumentoEmitido)
        f.resgate.venda = Venda::Nenhuma;
}

// A close-out that failed in the database may have kept the sale, whose number this
// screen never learnt; a sale of an electronic document is marked pending with it. A
// host that offers it settles that sale now, and names it: its number, and its document
// when it stands. A document is taken as this attempt's only when the answer names a sale
// and, on NFC-e, the number this attempt drew. Leaves the sale uncertain when it could not
// be settled; otherwise standing with its document, or none (the close-out kept none, or
// the host cancelled it: then true, it is entered as cancelled already).
bool resolveVendaIncerta(TfrmFidelidade& f)
{
    const hostapi::ext::ResolveVendasPendentes acerta = resolveVendasPendentesDoHost();
    if (!acerta) {
        f.resgate.anotaFalha(QStringLiteral("O sistema não oferece o acerto de vendas pendentes."));
        return false;
    }
    f.voRetorno = TfrmFidelidade::NovoRetorno();
    QString resposta;
    acerta(f.voRetorno, resposta);
    if (!resposta.isEmpty()) {
        f.resgate.anotaFalha(QStringLiteral("A venda pendente não foi resolvida: %1").arg(resposta));
        return false;
    }
    using Resposta = hostapi::answer::VendaCancelada;
    const QVariantList acerto = f.voRetorno.toList();
    const QString venda = acerto.value(Resposta::Venda).toString();
    const QString mantido = acerto.value(Resposta::DocumentoMantido).toString();
    if (!venda.isEmpty() && !mantido.isEmpty() && f.resgate.documento == DocumentKind::Nfce
        && mantido != f.resgate.nrDocumento) {
        f.resgate.anotaFalha(QStringLiteral("O acerto da venda %1 nomeou a NFC-e %2, que não é a deste resgate (%3).")
                                 .arg(venda, mantido, f.resgate.nrDocumento));
        return false;
    }
    if (venda.isEmpty() || mantido.isEmpty()) {
        f.resgate.venda = Venda::Nenhuma;
        return !venda.isEmpty();
    }
    f.stNrSeqVenda = f.resgate.nrVenda = venda;
    if (f.resgate.documento == DocumentKind::Sat)
        f.stNrCfe = f.resgate.nrDocumento = mantido;
    f.resgate.venda = Venda::DocumentoEmitido;
    return false;
}

// The entry of this redemption in the cancelled-sale log; an error of the log is kept
// among the reasons. True when the entry was made: no sale of it stands then.
bool registraCancelamento(TfrmFidelidade& f)
{
    try {
        f.CancelaVenda();
    } catch (...) {
        f.resgate.anotaFalha(QStringLiteral("O registro do cancelamento falhou: %1")
                                 .arg(platform::ui::errorText(std::current_exception())));
        return false;
    }
    f.resgate.venda = Venda::Nenhuma;
    return true;
}

// The sale a close-out whose answer was lost may have kept, settled before anything else
// is undone. A sale of an electronic document is settled by the host (it may stand with
// its document); a receipt's sale is entered as cancelled before its receipt is
// cancelled, so that no receipt is cancelled under a sale that stands. True when the sale
// is entered as cancelled already.
bool acertaVendaIncerta(TfrmFidelidade& f)
{
    if (f.resgate.documento != DocumentKind::Receipt)
        return resolveVendaIncerta(f);
    return registraCancelamento(f);
}

// Undoes what a failed or interrupted attempt did. A sale whose NFC-e or CF-e was issued
// stands, and so does everything of a sale that may have been kept. A receipt is
// cancelled on the printer once, and the sale entered as cancelled only when no receipt
// of it stands; a SAT sale with no CF-e is entered as cancelled through the SAT update,
// which may find that the device did issue it.
void desfaz(TfrmFidelidade& f)
{
    EstadoResgate& e = f.resgate;
    const bool cancelada = e.venda == Venda::Incerta && acertaVendaIncerta(f);
    if (e.venda == Venda::DocumentoEmitido || e.venda == Venda::Incerta)
        return;
    if (e.impressora) {
        if (e.cupom == Cupom::Aberto || e.cupom == Cupom::Emitido)
            f.CancelaCupom(false);
        if (!e.cupomDePe() && !cancelada)
            registraCancelamento(f);
    } else if (e.documento == DocumentKind::Sat && e.venda == Venda::Gravada) {
        cancelaVendaSat(f);
    }
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
        f.resgate.anotaFalha(platform::ui::errorText(std::current_exception()));
        desfaz(f);
        f.InformaDesfecho();
        throw;
    }
    if (!cupomImpresso) {
        // The receipt step told the operator how its receipt ended. The redemption is
        // entered as cancelled and told once more only when no receipt of it stands.
        if (!f.resgate.cupomDePe()) {
            registraCancelamento(f);
            f.InformaDesfecho();
        }
        return;
    }
    desfaz(f);
    f.InformaDesfecho();
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
    resgate = EstadoResgate();
    resgate.documento = tpDocumento;
    resgate.impressora = boUtilizaImpFis;
    resgate.hostAcerta = resolveVendasPendentesDoHost() != nullptr;
    // No sale of this attempt exists yet: an undo must never take the last redemption's
    // number for a pending sale of this one.
    stNrSeqVenda.clear();
}

void TfrmFidelidade::InformaDesfecho()
{
    const Desfecho d = desfecho(resgate);
    if (!d.chave.isEmpty())
        MostraMensagem(d.chave, hostkit::tmErro, resgate.motivo(), d.valores);
}

}  // namespace Cli_Vak04100
