// Confirming the redemption (F5 and the confirm button).
#include "client/Cli_Vak04100.h"

#include "hostapi/fiscaldev.h"
#include "hostapi/possvc.h"
#include "client/Venda.h"
#include "platform/ui/ErrorDisplay.h"

#include <QLocale>

#include <exception>

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

// Step 2: indicator, receipt, sale, and the undo of a failed sale.
void emite(TfrmFidelidade& f)
{
    possvc::AtivaProcesso(frmFidelidade ? static_cast<QWidget*>(frmFidelidade) : &f,
                          f.msgPadrao->Msg(QStringLiteral("IMP_CUP")), f.inCor1, f.inCor2);
    // Nothing of an earlier redemption may be entered as cancelled if this one fails.
    f.LimpaVenda();

    if (!f.ImprimeCupom()) {
        f.CancelaVenda();
        f.MostraMensagem(QStringLiteral("ERRO_IMP_CUP"), hostkit::tmErro);
        return;
    }
    if (f.GeraVenda())
        return;

    // The sale failed: undo what the terminal can undo. The sale issue showed its message.
    if (f.boUtilizaImpFis) {
        f.voRetorno = TfrmFidelidade::NovoRetorno();
        if (fiscaldev::Cancela_Cupom_Imp(blocoCancelaCupom(f.stIdEsquema, false, f.stCdFilial, f.stCdCaixa,
                                                           f.stNrSerieImp),
                                         6, f.voRetorno))
            f.CancelaVenda();
    } else if (f.boSistemaSat) {
        // Only a sale concluded by this attempt can be cancelled; without one the update
        // would name no sale of this redemption.
        if (f.stNrSeqVenda.isEmpty())
            return;
        f.voRetorno = TfrmFidelidade::NovoRetorno();
        const QDateTime movimento(f.dtMovimento.date(), QTime(0, 0));
        const QString contexto = QStringList{f.stNrSeqVenda, f.stCdFilial, f.stCdCaixa,
                                             QLocale::system().toString(movimento.date(), QLocale::ShortFormat)}
                                     .join(QLatin1Char('-'));
        const QString vazio = QStringLiteral("");
        const QVariantList bloco{f.stNrSeqVenda, f.stCdFilial, f.stCdCaixa, movimento,
                                 vazio,          vazio,        vazio,       QStringLiteral("SAT")};
        QString resposta;
        possvc::AlteraVendaCan(bloco, 7, f.voRetorno, resposta);
        hostkit::MensagemMetodo(QVariant(resposta), true, 0, QStringLiteral("AlteraVendaCan"),
                                QStringLiteral("Cli_Vak04100"), contexto, QString());
    }
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

}  // namespace Cli_Vak04100
