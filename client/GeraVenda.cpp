// Booking the redemption as a sale in the host (the close-out) and, on terminals that
// issue electronic documents, the NFC-e or the SAT CF-e with its customer copy.
#include "client/Cli_Vak04100.h"

#include "hostapi/ArgumentBlocks.h"
#include "hostapi/EmptyParam.h"
#include "hostapi/SatAnswer.h"
#include "hostapi/possvc.h"
#include "platform/Error.h"
#include "platform/db/ServiceResult.h"
#include "platform/ui/ErrorDisplay.h"
#include "server/Srv_Vak04100.h"

#include <QRegularExpression>

namespace Cli_Vak04100 {

namespace {

const QString kVazio = QStringLiteral("");

using Conclui = hostapi::block::SetConcluiFechamento;
using ConcluiDataSets = hostapi::block::ConcluiFechamentoDataSets;
using Impressao = hostapi::block::DisparaImpressaoNaoFiscal;

// The close-out's value block. Positions not set by name hold an empty text.
hostapi::ArgumentBlock<Conclui> blocoFechamento(const TfrmFidelidade& f, const QString& tipoDocumento)
{
    return hostapi::ArgumentBlock<Conclui>(kVazio, {
        {Conclui::CdCaixa, f.stCdCaixa},             {Conclui::DtAberCaix, f.dtAberCaix},
        {Conclui::CdEmpresa, f.stCdEmpresa},         {Conclui::CupNr, f.stCupNr},
        {Conclui::ContCupom, f.stContCupom},         {Conclui::CdFilial, f.stCdFilial},
        {Conclui::CdLoja, f.stCdLoja},               {Conclui::Fixo11, QStringLiteral("POS")},
        {Conclui::NrNfce, f.stNrNfce},               {Conclui::IdPaisIntegra, f.stIdPaisIntegra},
        {Conclui::RetFechaCupom, f.stRetFechaCupom}, {Conclui::NrSerieImp, f.stNrSerieImp},
        {Conclui::TipoImpFis, f.inTipoImpFis},       {Conclui::DsModeloEcf, f.stDsModeloEcf},
        {Conclui::DsMarcaEcf, f.stDsMarcaEcf},       {Conclui::EcfImp, f.stEcfImp},
        {Conclui::DtMovimento, f.dtMovimento},       {Conclui::SgEstadoFili, f.stSgEstadoFili},
        {Conclui::Fixo30, QStringLiteral("R")},      {Conclui::Fixo32, QStringLiteral("BAL_QVN")},
        {Conclui::DataEmissNfce, f.stDataEmissNfce}, {Conclui::IdAmbTrabNfce, f.stIdAmbTrabNfce},
        {Conclui::NrSerieNfce, f.stNrSerieNfce},     {Conclui::TipoDocumento, tipoDocumento},
        {Conclui::Reservado41, 0},
    });
}

// The close-out's datasets; the unused positions hold the empty dataset.
hostapi::ArgumentBlock<ConcluiDataSets, ClientDataSet*> dataSetsFechamento(const TfrmFidelidade& f)
{
    return hostapi::ArgumentBlock<ConcluiDataSets, ClientDataSet*>(
        f.cdsVazio, {{ConcluiDataSets::Venda, f.cdsVenda},
                     {ConcluiDataSets::MovCaixa, f.cdsMovCaixa},
                     {ConcluiDataSets::VendaCancelada, f.cdsVendaCancelada},
                     {ConcluiDataSets::FamiliaSaldo, f.cdsFamiliaSaldo},
                     {ConcluiDataSets::EmprestimoFam, f.cdsEmprestimoFam},
                     {ConcluiDataSets::ItPromoComb, f.cdsItPromoComb},
                     {ConcluiDataSets::Brinde, f.cdsBrinde}});
}

// The non-fiscal print block of kind `tipo`.
hostapi::ArgumentBlock<Impressao> blocoImpressao(const TfrmFidelidade& f, const QString& tipo)
{
    return hostapi::ArgumentBlock<Impressao>(kVazio, {{Impressao::Reservado0, false},
                                                      {Impressao::TipoImpressao, tipo},
                                                      {Impressao::Venda, f.cdsVenda->data()},
                                                      {Impressao::VendaCopia, f.cdsVenda->data()},
                                                      {Impressao::Omitido, hostapi::emptyParam()},
                                                      {Impressao::ParamImpCupNF, f.cdsParamImpCupNF->data()}});
}

// An NFC-e number as the numbering hands it out: decimal digits only.
bool numeroNfceValido(const QString& numero)
{
    static const QRegularExpression digitos(QStringLiteral("^\\d{1,9}$"));
    return digitos.match(numero).hasMatch();
}

// The customer copy. A copy that was not printed leaves the sale as it is; the operator
// is told so at the end.
void imprimeVia(TfrmFidelidade& f, const QString& tipo)
{
    f.PreencheParamImpCupNF();
    f.voRetorno = TfrmFidelidade::NovoRetorno();
    const auto bloco = blocoImpressao(f, tipo);
    if (!possvc::DisparaImpressaoNaoFiscal(bloco.values(), bloco.highest(), f.voRetorno))
        f.resgate.anotaFalha(QStringLiteral("A via do consumidor não foi impressa."));
}

// The close-out; its answer is the sale number. After a database error whose commit answer
// was lost, or that lost the connection, it is not known whether the database kept the
// sale. Any other (a refusal, a lock) kept nothing: the sale is undone at once.
QString concluiFechamento(TfrmFidelidade& f, const QString& tipoDocumento)
{
    f.voRetorno = TfrmFidelidade::NovoRetorno();
    const auto dataSets = dataSetsFechamento(f);
    const auto bloco = blocoFechamento(f, tipoDocumento);
    try {
        return possvc::SetConcluiFechamento(dataSets.values(), dataSets.highest(), bloco.values(), bloco.highest(),
                                            f.voRetorno)
            .toString();
    } catch (const platform::DatabaseError& e) {
        if (e.uncertain())
            f.resgate.venda = EstadoResgate::Venda::Incerta;
        throw;
    }
}

// The SAT steps after the close-out: the device issues the CF-e; the QR-code text, the key
// and the CF-e number come from its answer; the result is recorded with the sale; the
// extract is printed. A refusal raises the device's message. Once the device issued the
// CF-e the sale stands, whatever fails after it.
void emiteSat(TfrmFidelidade& f)
{
    const bool emitido = possvc::SATOnline(f.stCdFilial, f.stCdCaixa, f.stNrSeqVenda, f.stIdUtilSatComp,
                                           f.stCdAtivacaoSat, kVazio, QStringLiteral("0"), QStringLiteral("0"),
                                           f.slRetornoSat);
    if (!emitido) {
        const QString mensagem = hostapi::sat::answerValue(f.slRetornoSat, QStringLiteral("mensagem"));
        throw platform::HostError(mensagem.isEmpty() ? QStringLiteral("SAT: CF-e não emitido") : mensagem);
    }
    f.resgate.venda = EstadoResgate::Venda::DocumentoEmitido;

    // The QR code carries the 44-digit key without its "CFe" prefix; the key itself is
    // kept as the device gave it.
    f.stChaveAcesso = hostapi::sat::answerValue(f.slRetornoSat, QStringLiteral("chaveConsulta"));
    f.stNrCfe = hostapi::sat::cfeNumber(hostapi::sat::answerXml(f.slRetornoSat), f.stChaveAcesso);
    f.stQrCode = hostapi::sat::qrText(f.slRetornoSat);
    f.resgate.nrDocumento = f.stNrCfe.isEmpty() ? f.stChaveAcesso : f.stNrCfe;
    hostkit::CriaCodBarra(f.stChaveAcesso, kVazio);

    const QString contexto = QStringList{f.stCdFilial, f.stCdCaixa, f.stNrSeqVenda, QStringLiteral("stlXmlSat"),
                                         f.stNrCfe, f.stQrCode}
                                 .join(QLatin1Char('-'));
    const QVariant atualizacao =
        possvc::AtualizaVendaSat(f.stCdFilial, f.stCdCaixa, f.stNrSeqVenda, f.stNrCfe, f.stQrCode, f.slRetornoSat);
    hostkit::MensagemMetodo(atualizacao, true, 10, QStringLiteral("AtualizaVendaSat"), QStringLiteral("Cli_Dul06300"),
                            contexto, f.stIdEsquema);
    // The extract is printed all the same: the CF-e exists.
    if (platform::db::isErrorResult(atualizacao))
        f.resgate.anotaFalha(atualizacao.toString());

    imprimeVia(f, QStringLiteral("EXTRATO_SAT"));
}

}  // namespace

bool TfrmFidelidade::GeraVenda()
{
    // 1. Document type.
    using terminal::DocumentKind;
    const QString tipoDocumento = tpDocumento == DocumentKind::Nfce  ? QStringLiteral("N")
                                  : tpDocumento == DocumentKind::Sat ? QStringLiteral("S")
                                                                     : QStringLiteral("E");
    // 2. NFC-e numbering, outside the guard: its errors go to the confirmation.
    if (tpDocumento == DocumentKind::Nfce) {
        stNrSerieNfce = possvc::getNumeroSerieNFCe(stCdFilial, stCdCaixa);
        const QString numero =
            Srv_Vak04100::setNumeroNFCe(stCdFilial, stCdCaixa, stNrSerieNfce, stIdAmbTrabNfce, true).toString();
        // The numbering answers with an error text when the database fails: that text is
        // never to travel as a document number.
        if (!numeroNfceValido(numero)) {
            stNrNfce.clear();
            resgate.anotaFalha(numero);
            return false;
        }
        stNrNfce = numero;
        resgate.nrDocumento = numero;
        stDataEmissNfce = possvc::getDataEmissNFCe();
    }

    // 3. Guarded block. The confirmation tells the operator how it ended, once it knows
    //    what could be undone.
    try {
        PreencheVenda();
        const QString sequencia = concluiFechamento(*this, tipoDocumento);
        // A close-out that gives no sale number concluded nothing; its answer says why.
        if (sequencia.trimmed().isEmpty()) {
            const QString recusa = voRetorno.toList().value(hostapi::answer::Fechamento::Recusa).toString();
            throw platform::HostError(recusa.isEmpty() ? QStringLiteral("O fechamento não devolveu o número da venda.")
                                                       : recusa);
        }
        stNrSeqVenda = sequencia;
        resgate.nrVenda = sequencia;
        resgate.venda = EstadoResgate::Venda::Gravada;

        if (tpDocumento == DocumentKind::Nfce) {
            // The close-out issued the NFC-e: the sale stands from here on.
            resgate.venda = EstadoResgate::Venda::DocumentoEmitido;
            const QVariantList retorno = voRetorno.toList();
            using Resposta = hostapi::answer::Fechamento;
            stChaveAcesso = retorno.value(Resposta::ChaveAcesso).toString();
            stQrCode = retorno.value(Resposta::QrCode).toString();
            stProtAutNfce = retorno.value(Resposta::Protocolo).toString();
            imprimeVia(*this, QStringLiteral("VENDA_NFCe"));
        } else if (tpDocumento == DocumentKind::Sat) {
            emiteSat(*this);
        }
    } catch (...) {
        resgate.anotaFalha(platform::ui::errorText(std::current_exception()));
        return false;
    }
    return !resgate.falhou;
}

}  // namespace Cli_Vak04100
