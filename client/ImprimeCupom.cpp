// Printing the redemption on the fiscal printer: opening with the consumer, one item per
// gift at its price, the password, the cash movement, the closing with the gifts' total
// less 0.01 as its discount, the totals update. Without a fiscal printer only the
// password and the cash movement are prepared.
#include "client/Cli_Vak04100.h"
#include "client/TextoNumero.h"

#include "hostapi/ArgumentBlocks.h"
#include "hostapi/fiscaldev.h"
#include "hostapi/possvc.h"
#include "platform/ui/ErrorDisplay.h"
#include "server/Srv_Vak04100.h"

namespace Cli_Vak04100 {

namespace {

const QString kVazio = QStringLiteral("");

using Fecha = hostapi::block::FechaCupom;

// The closing block. Positions not set by name hold an empty text.
hostapi::ArgumentBlock<Fecha> blocoFechamento(const TfrmFidelidade& f)
{
    hostapi::ArgumentBlock<Fecha> b(kVazio, {
        {Fecha::TotCv, f.stTotCv},                   {Fecha::Md5, f.stMd5},
        {Fecha::IdEsquema, f.stIdEsquema},           {Fecha::TipoImpFis, f.inTipoImpFis},
        {Fecha::Desconto, hostkit::Trunc2(f.vrTotCupom - 0.01)},
        {Fecha::IdUtilTef, f.stIdUtilTef},           {Fecha::DsObsCupFis, f.stDsObsCupFis},
        {Fecha::MovCaixa, f.cdsMovCaixa->data()},    {Fecha::ConfTipoRece, f.cdsConfTipoRece->data()},
        {Fecha::CdOperador, f.stCdOperador},         {Fecha::NmOperador, f.stNmOperador},
        {Fecha::IdImpSaldoCupom, f.stIdImpSaldoCupom}, {Fecha::SenhaCupom, f.stSenhaCupom},
        {Fecha::SaldoCred, f.cdsSaldoCred->data()},  {Fecha::FamiliaSaldo, f.cdsFamiliaSaldo->data()},
        {Fecha::EmprestimoFam, f.cdsEmprestimoFam->data()}, {Fecha::IdTpTelaVe, f.stIdTpTelaVe},
        {Fecha::Fixo36, QStringLiteral("1")},        {Fecha::DsMensCpfCup, f.stDsMensCpfCup},
        {Fecha::IdImprCupTefRed, f.stIdImprCupTefRed}, {Fecha::CupNr, f.stCupNr},
        {Fecha::SgEstadoFili, f.stSgEstadoFili},     {Fecha::NrInsJurEmpr, f.stNrInsJurEmpr},
        {Fecha::CdInscEstaEmpr, f.stCdInscEstaEmpr}, {Fecha::IdParImprLimVdc, f.stIdParImprLimVdc},
        {Fecha::Reservado49, QVariant()},
    });
    b.fill({Fecha::Reservado4, Fecha::Reservado5, Fecha::Reservado11}, false);
    b.fill({Fecha::Reservado7, Fecha::Reservado8, Fecha::Reservado37, Fecha::Reservado38, Fecha::Reservado50,
            Fecha::Reservado51, Fecha::Reservado52, Fecha::Reservado53, Fecha::Reservado54, Fecha::Reservado58},
           0);
    return b;
}

using Cancela = hostapi::block::CancelaCupomImp;

// The printer's cancel block; `doProprioCupom` is true for the receipt's own
// cancellation, false for the confirmation's undo.
hostapi::ArgumentBlock<Cancela> blocoCancelaCupom(const TfrmFidelidade& f, bool doProprioCupom)
{
    return hostapi::ArgumentBlock<Cancela>(false, {{Cancela::IdEsquema, f.stIdEsquema},
                                                   {Cancela::DoProprioCupom, doProprioCupom},
                                                   {Cancela::CdFilial, f.stCdFilial},
                                                   {Cancela::CdCaixa, f.stCdCaixa},
                                                   {Cancela::NrSerieImp, f.stNrSerieImp}});
}

// The item's description: the NCM and the CEST, each followed by "#" when the product
// has it, then the gift's name.
QString descricaoItem(const QVariant& cestNcm, const QString& nome)
{
    const QString codigo0 = cestNcm.toList().value(hostapi::answer::CodigosFiscais::Cest).toString();
    const QString codigo1 = cestNcm.toList().value(hostapi::answer::CodigosFiscais::Ncm).toString();
    QString descricao;
    if (!codigo1.isEmpty())
        descricao += codigo1 + QLatin1Char('#');
    if (!codigo0.isEmpty())
        descricao += codigo0 + QLatin1Char('#');
    return descricao + nome;
}

// Registers the current gift of cdsBrinde as one item, quantity 1, at its price cut to two
// decimals (left in `preco`). Returns why the item was refused, or "" when it was not.
QString registraBrinde(TfrmFidelidade& f, hostapi::ParamRecord& registro, int itemTrabalho, double& preco)
{
    auto brinde = [&f](const char* nome) -> platform::Field& {
        return f.cdsBrinde->fieldByName(QString::fromLatin1(nome));
    };
    platform::LocateOptions semCaixa;
    semCaixa.caseInsensitive = true;
    const double quantidade = 1.0;
    const QString aliquota = textoNumero(brinde("VRPEALIMPFIS").asFloat());
    const QVariantList chave{aliquota, brinde("IDTPIMPOSFIS").asString()};
    // A gift whose rate the printer does not know cannot be registered: it counts as a
    // refused item, and no record of another command is sent in its place.
    if (!f.cdsAliqImpFis->locate(QStringLiteral("VRALIQIMPFIS;IDALIQIMPFIS"), chave, semCaixa))
        return QStringLiteral("A alíquota %1 %2 do brinde %3 não está na tabela da impressora.")
            .arg(aliquota, chave.value(1).toString(), brinde("CDPRODUTO").asString());

    f.voCestNcm = QVariantList(2);
    possvc::getProdCodCestNcm(brinde("CDPRODUTO").asString(), f.voCestNcm);
    const QString codigo = hostkit::iif(hostkit::EmptyString(brinde("CDPRODIMPFIS").asString()),
                                        brinde("CDARVPROD").asString(), brinde("CDPRODIMPFIS").asString())
                               .toString();
    const QString descricao = descricaoItem(f.voCestNcm, brinde("NMPRODUTO").asString());
    preco = hostkit::Trunc2(brinde("VRPRECITEM").asFloat());
    registro = fiscaldev::Params_VendaItem_Kdx00000(
        f.stIdEsquema, kVazio, QStringLiteral("D"), codigo, descricao,
        f.cdsAliqImpFis->fieldByName(QStringLiteral("CDALIQIMPFIS")).asString(),
        f.cdsAliqImpFis->fieldByName(QStringLiteral("IDALIQIMPFIS")).asString(), brinde("SGUNIDADE").asString(), kVazio,
        aliquota, kVazio, itemTrabalho, quantidade, preco, 0.0, 0.0, false);
    if (!fiscaldev::VendaItem(registro))  // failure B
        return QStringLiteral("A impressora recusou o item %1 (%2).").arg(codigo, brinde("NMPRODUTO").asString());
    return {};
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
        resgate.anotaFalha(QStringLiteral("A impressora recusou a abertura do cupom."));
        InformaDesfecho();
        return false;
    }
    resgate.cupom = EstadoResgate::Cupom::Aberto;
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
    resgate.anotaFalha(motivo);
    CancelaCupom(true);
    InformaDesfecho();
    return false;
}

bool TfrmFidelidade::imprimeCupomAberto(hostapi::ParamRecord& registro, int itemTrabalho)
{
    // 2. The receipt's identity.
    stCupNr = hostkit::RecebeParams(registro, QStringLiteral("CUPNR")).toString();
    stContCupom = hostkit::RecebeParams(registro, QStringLiteral("CONTCUPOM")).toString();
    resgate.nrCupom = stCupNr;

    // 3. The day's first receipt, under the printer's fiscal date.
    const QDateTime dataFiscal = fiscaldev::DataMoviFiscal(stIdEsquema);
    Srv_Vak04100::SetGravaCupomInicial(stCdFilial, stCdCaixa, stCupNr, dataFiscal);

    // 4. One item per gift.
    vrTotCupom = 0;
    cdsBrinde->first();
    while (!cdsBrinde->eof()) {
        double preco = 0;
        const QString recusa = registraBrinde(*this, registro, itemTrabalho, preco);
        if (!recusa.isEmpty())
            return falhaCupomAberto(recusa);
        vrTotCupom += preco;
        cdsBrinde->next();
    }

    // 5-6. Password and cash movement.
    sorteiaSenha();
    InsereMovCaixa();

    // 7-8. Closing; its result text whatever it returned.
    voRetorno = NovoRetorno();
    const auto fechamento = blocoFechamento(*this);
    const bool fechou = fiscaldev::FechaCupom(fechamento.values(), fechamento.highest(), 0, voRetorno);
    stRetFechaCupom = voRetorno.toList().value(hostapi::answer::Impressora::Cupom).toString();
    if (fechou)
        resgate.cupom = EstadoResgate::Cupom::Emitido;
    const QString recusaFechamento = voRetorno.toList().value(hostapi::answer::Impressora::Mensagem).toString();

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
        const auto bloco = blocoCancelaCupom(*this, doProprioCupom);
        cancelou = fiscaldev::Cancela_Cupom_Imp(bloco.values(), bloco.highest(), voRetorno);
        if (!cancelou) {
            const QString recusa = voRetorno.toList().value(hostapi::answer::Impressora::Mensagem).toString();
            resgate.anotaFalha(QStringLiteral("A impressora não cancelou o cupom %1").arg(stCupNr)
                               + (recusa.isEmpty() ? QStringLiteral(".") : QStringLiteral(": ") + recusa));
        }
    } catch (...) {
        resgate.anotaFalha(QStringLiteral("O cancelamento do cupom %1 falhou: %2")
                               .arg(stCupNr, platform::ui::errorText(std::current_exception())));
    }
    resgate.cupom = cancelou ? EstadoResgate::Cupom::Nenhum : EstadoResgate::Cupom::CancelamentoRecusado;
    return cancelou;
}

}  // namespace Cli_Vak04100
