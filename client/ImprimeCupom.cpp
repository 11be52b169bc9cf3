// Printing the redemption on the fiscal printer: opening with the consumer, one item per
// gift at its price, the password, the cash movement, the closing with the gifts' total
// less 0.01 as its discount, the totals update. Without a fiscal printer only the
// password and the cash movement are prepared.
#include "client/Cli_Vak04100.h"
#include "client/Venda.h"

#include "hostapi/fiscaldev.h"
#include "hostapi/possvc.h"
#include "platform/ui/ErrorDisplay.h"
#include "server/Srv_Vak04100.h"

namespace Cli_Vak04100 {

namespace {

const QString kVazio = QStringLiteral("");

// The closing block: 59 values, highest index 58.
QVariantList blocoFechamento(const TfrmFidelidade& f)
{
    QVariantList b;
    b.reserve(59);
    auto vazios = [&](int n) {
        for (int i = 0; i < n; ++i)
            b << kVazio;
    };
    b << f.stTotCv << f.stMd5 << f.stIdEsquema << f.inTipoImpFis << false << false  // 0-5
      << hostkit::Trunc2(f.vrTotCupom - 0.01) << 0 << 0                             // 6-8
      << f.stIdUtilTef << f.stDsObsCupFis << false << kVazio                         // 9-12
      << f.cdsMovCaixa->data() << f.cdsConfTipoRece->data();                         // 13-14
    vazios(7);                                                                        // 15-21
    b << f.stCdOperador << f.stNmOperador;                                            // 22-23
    vazios(3);                                                                        // 24-26
    b << f.stIdImpSaldoCupom;                                                         // 27
    vazios(3);                                                                        // 28-30
    b << f.stSenhaCupom << f.cdsSaldoCred->data() << f.cdsFamiliaSaldo->data()       // 31-33
      << f.cdsEmprestimoFam->data() << f.stIdTpTelaVe << QStringLiteral("1") << 0 << 0  // 34-38
      << f.stDsMensCpfCup << f.stIdImprCupTefRed << kVazio << f.stCupNr               // 39-42
      << f.stSgEstadoFili << f.stNrInsJurEmpr << f.stCdInscEstaEmpr << f.stIdParImprLimVdc;  // 43-46
    vazios(2);                                                                        // 47-48
    b << QVariant();                                                                  // 49
    for (int i = 0; i < 5; ++i)                                                       // 50-54
        b << 0;
    vazios(3);                                                                        // 55-57
    b << 0;                                                                           // 58
    return b;
}

}  // namespace

bool TfrmFidelidade::ImprimeCupom()
{
    if (!boUtilizaImpFis) {
        sorteiaSenha();
        InsereMovCaixa();
        return true;
    }

    // 1. Opening.
    int itemTrabalho = 0;
    hostapi::ParamRecord registro = fiscaldev::Params_AbreCupom_Kdx00000(
        stIdEsquema, itemTrabalho, stNrCpfConsumidor, stNmConsumidor, stDsEndeConsumidor, stCupNr, stContCupom, kVazio,
        kVazio, kVazio, kVazio, kVazio, kVazio, kVazio, false);
    if (!fiscaldev::AbreCupom(registro)) {  // failure A: nothing to cancel
        AnotaMotivo(QStringLiteral("A impressora recusou a abertura do cupom."));
        MostraMensagem(QStringLiteral("ERRO_IMP_CUP"), hostkit::tmErro, MotivoFalha());
        return false;
    }
    boCupomAberto = true;
    // From here on an error never leaves the receipt open or valid on the printer.
    try {
        return imprimeCupomAberto(registro, itemTrabalho);
    } catch (...) {
        CancelaCupom(true);
        throw;
    }
}

void TfrmFidelidade::sorteiaSenha()
{
    if (stSenhaCupom.isEmpty())
        stSenhaCupom = Srv_Vak04100::GetSenhaCupom(stCdFilial, QDateTime::currentDateTime()).toString();
}

// Failures B and C: the receipt is cancelled first, so that the message says what the
// printer did with it.
bool TfrmFidelidade::falhaCupomAberto(const QString& motivo)
{
    AnotaMotivo(motivo);
    if (CancelaCupom(true))
        MostraMensagem(QStringLiteral("ERRO_IMP_CUP"), hostkit::tmErro, MotivoFalha());
    else
        MostraMensagem(QStringLiteral("CUPOM_NAO_CANC"), hostkit::tmErro, MotivoFalha(), {stCupNr});
    return false;
}

bool TfrmFidelidade::imprimeCupomAberto(hostapi::ParamRecord& registro, int itemTrabalho)
{
    // 2. The receipt's identity.
    stCupNr = hostkit::RecebeParams(registro, QStringLiteral("CUPNR")).toString();
    stContCupom = hostkit::RecebeParams(registro, QStringLiteral("CONTCUPOM")).toString();

    // 3. The day's first receipt, under the printer's fiscal date.
    const QDateTime dataFiscal = fiscaldev::DataMoviFiscal(stIdEsquema);
    Srv_Vak04100::SetGravaCupomInicial(stCdFilial, stCdCaixa, stCupNr, dataFiscal);

    // 4. One item per gift.
    vrTotCupom = 0;
    platform::LocateOptions semCaixa;
    semCaixa.caseInsensitive = true;
    auto brinde = [this](const char* nome) -> platform::Field& {
        return cdsBrinde->fieldByName(QString::fromLatin1(nome));
    };
    cdsBrinde->first();
    while (!cdsBrinde->eof()) {
        const double quantidade = 1.0;
        const QString aliquota = textoNumero(brinde("VRPEALIMPFIS").asFloat());
        const QVariantList chave{aliquota, brinde("IDTPIMPOSFIS").asString()};
        // A gift whose rate the printer does not know cannot be registered: it counts as
        // a refused item, and no record of another command is sent in its place.
        if (!cdsAliqImpFis->locate(QStringLiteral("VRALIQIMPFIS;IDALIQIMPFIS"), chave, semCaixa))
            return falhaCupomAberto(QStringLiteral("A alíquota %1 %2 do brinde %3 não está na tabela da impressora.")
                                        .arg(aliquota, chave.value(1).toString(), brinde("CDPRODUTO").asString()));

        voCestNcm = QVariantList(2);
        possvc::getProdCodCestNcm(brinde("CDPRODUTO").asString(), voCestNcm);
        const QString codigo0 = voCestNcm.toList().value(0).toString();
        const QString codigo1 = voCestNcm.toList().value(1).toString();
        const QString codigo = hostkit::iif(hostkit::EmptyString(brinde("CDPRODIMPFIS").asString()),
                                            brinde("CDARVPROD").asString(), brinde("CDPRODIMPFIS").asString())
                                   .toString();
        QString descricao;
        if (!codigo1.isEmpty())
            descricao += codigo1 + QLatin1Char('#');
        if (!codigo0.isEmpty())
            descricao += codigo0 + QLatin1Char('#');
        descricao += brinde("NMPRODUTO").asString();
        const double preco = hostkit::Trunc2(brinde("VRPRECITEM").asFloat());

        registro = fiscaldev::Params_VendaItem_Kdx00000(
            stIdEsquema, kVazio, QStringLiteral("D"), codigo, descricao,
            cdsAliqImpFis->fieldByName(QStringLiteral("CDALIQIMPFIS")).asString(),
            cdsAliqImpFis->fieldByName(QStringLiteral("IDALIQIMPFIS")).asString(), brinde("SGUNIDADE").asString(),
            kVazio, aliquota, kVazio, itemTrabalho, quantidade, preco, 0.0, 0.0, false);
        if (!fiscaldev::VendaItem(registro))  // failure B
            return falhaCupomAberto(
                QStringLiteral("A impressora recusou o item %1 (%2).").arg(codigo, brinde("NMPRODUTO").asString()));
        vrTotCupom += preco;
        cdsBrinde->next();
    }

    // 5-6. Password and cash movement.
    sorteiaSenha();
    InsereMovCaixa();

    // 7-8. Closing; its result text whatever it returned.
    voRetorno = NovoRetorno();
    const bool fechou = fiscaldev::FechaCupom(blocoFechamento(*this), 58, 0, voRetorno);
    stRetFechaCupom = voRetorno.toList().value(2).toString();
    if (fechou) {
        boCupomAberto = false;
        boCupomEmitido = true;
    }
    const QString recusaFechamento = voRetorno.toList().value(1).toString();

    // 9. Totals, also after a refused closing.
    registro = fiscaldev::Params_Atu_TotGeral_Kdx00000(stCdFilial, stCdCaixa, stNrSerieImp, stIdEsquema,
                                                       QStringLiteral("N"), false, kVazio, kVazio, kVazio, kVazio,
                                                       0.0, 0.0);
    fiscaldev::Atu_TotGeral(registro);

    // 10.
    if (fechou)
        return true;
    return falhaCupomAberto(QStringLiteral("A impressora recusou o fechamento do cupom")  // failure C
                            + (recusaFechamento.isEmpty() ? QStringLiteral(".") : QStringLiteral(": ") + recusaFechamento));
}

bool TfrmFidelidade::CancelaCupom(bool doProprioCupom)
{
    bool cancelou = false;
    try {
        voRetorno = NovoRetorno();
        cancelou = fiscaldev::Cancela_Cupom_Imp(
            blocoCancelaCupom(stIdEsquema, doProprioCupom, stCdFilial, stCdCaixa, stNrSerieImp), 6, voRetorno);
        if (!cancelou) {
            const QString recusa = voRetorno.toList().value(1).toString();
            AnotaMotivo(QStringLiteral("A impressora não cancelou o cupom %1").arg(stCupNr)
                        + (recusa.isEmpty() ? QStringLiteral(".") : QStringLiteral(": ") + recusa));
        }
    } catch (...) {
        AnotaMotivo(QStringLiteral("O cancelamento do cupom %1 falhou: %2")
                        .arg(stCupNr, platform::ui::errorText(std::current_exception())));
    }
    if (cancelou)
        boCupomAberto = boCupomEmitido = false;
    else
        boCancelamentoRecusado = true;
    return cancelou;
}

}  // namespace Cli_Vak04100
