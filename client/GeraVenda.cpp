// Booking the redemption as a sale in the host (the close-out) and, on terminals that
// issue electronic documents, the NFC-e or the SAT CF-e with its customer copy.
#include "client/Cli_Vak04100.h"
#include "client/Venda.h"

#include "hostapi/EmptyParam.h"
#include "hostapi/possvc.h"
#include "platform/ui/ErrorDisplay.h"
#include "server/Srv_Vak04100.h"

#include <QRegularExpression>

namespace Cli_Vak04100 {

namespace {

const QString kVazio = QStringLiteral("");

// The close-out's value block: 42 values, highest index 41.
QVariantList blocoFechamento(const TfrmFidelidade& f, const QString& tipoDocumento)
{
    QVariantList b(42, kVazio);
    b[0] = f.stCdCaixa;
    b[1] = f.dtAberCaix;
    b[2] = f.stCdEmpresa;
    b[3] = f.stCupNr;
    b[4] = f.stContCupom;
    b[5] = f.stCdFilial;
    b[8] = f.stCdLoja;
    b[11] = QStringLiteral("POS");
    b[12] = f.stNrNfce;
    b[13] = f.stIdPaisIntegra;
    b[14] = f.stRetFechaCupom;
    b[15] = f.stNrSerieImp;
    b[16] = f.inTipoImpFis;
    b[17] = f.stDsModeloEcf;
    b[18] = f.stDsMarcaEcf;
    b[19] = f.stEcfImp;
    b[20] = f.dtMovimento;
    b[23] = f.stSgEstadoFili;
    b[30] = QStringLiteral("R");
    b[32] = QStringLiteral("BAL_QVN");
    b[34] = f.stDataEmissNfce;
    b[35] = f.stIdAmbTrabNfce;
    b[36] = f.stNrSerieNfce;
    b[39] = tipoDocumento;
    b[41] = 0;
    return b;
}

// The non-fiscal print block: 7 values, highest index 6. Index 4 is the marker of an
// omitted optional parameter.
QVariantList blocoImpressao(const TfrmFidelidade& f, const QString& tipo)
{
    return {false, tipo, f.cdsVenda->data(), f.cdsVenda->data(), hostapi::emptyParam(),
            f.cdsParamImpCupNF->data(), kVazio};
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
    if (!possvc::DisparaImpressaoNaoFiscal(blocoImpressao(f, tipo), 6, f.voRetorno))
        f.AnotaMotivo(QStringLiteral("A via do consumidor não foi impressa."));
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
        const QString mensagem = valorRetornoSat(f.slRetornoSat, QStringLiteral("mensagem"));
        throw platform::HostError(mensagem.isEmpty() ? QStringLiteral("SAT: CF-e não emitido") : mensagem);
    }
    f.boDocumentoEmitido = true;

    // The QR code carries the 44-digit key without its "CFe" prefix; the key itself is
    // kept as the device gave it.
    f.stChaveAcesso = valorRetornoSat(f.slRetornoSat, QStringLiteral("chaveConsulta"));
    f.stNrCfe = numeroCfe(xmlRetornoSat(f.slRetornoSat), f.stChaveAcesso);
    f.stQrCode = qrCodeSat(f.slRetornoSat);
    hostkit::CriaCodBarra(f.stChaveAcesso, kVazio);

    const QString contexto = QStringList{f.stCdFilial, f.stCdCaixa, f.stNrSeqVenda, QStringLiteral("stlXmlSat"),
                                         f.stNrCfe, f.stQrCode}
                                 .join(QLatin1Char('-'));
    const QVariant atualizacao =
        possvc::AtualizaVendaSat(f.stCdFilial, f.stCdCaixa, f.stNrSeqVenda, f.stNrCfe, f.stQrCode, f.slRetornoSat);
    hostkit::MensagemMetodo(atualizacao, true, 10, QStringLiteral("AtualizaVendaSat"), QStringLiteral("Cli_Dul06300"),
                            contexto, f.stIdEsquema);
    // The extract is printed all the same: the CF-e exists.
    if (hostkit::isErrorResult(atualizacao))
        f.AnotaMotivo(atualizacao.toString());

    imprimeVia(f, QStringLiteral("EXTRATO_SAT"));
}

}  // namespace

bool TfrmFidelidade::GeraVenda()
{
    // No sale is concluded yet: nothing may name an earlier one if this attempt fails.
    stNrSeqVenda.clear();

    // 1. Document type.
    const QString tipoDocumento = boSistemaNfce ? QStringLiteral("N") : boSistemaSat ? QStringLiteral("S")
                                                                                     : QStringLiteral("E");
    // 2. NFC-e numbering, outside the guard: its errors go to the confirmation.
    if (boSistemaNfce) {
        stNrSerieNfce = possvc::getNumeroSerieNFCe(stCdFilial, stCdCaixa);
        const QString numero =
            Srv_Vak04100::setNumeroNFCe(stCdFilial, stCdCaixa, stNrSerieNfce, stIdAmbTrabNfce, true).toString();
        // The numbering answers with an error text when the database fails: that text is
        // never to travel as a document number.
        if (!numeroNfceValido(numero)) {
            stNrNfce.clear();
            AnotaMotivo(numero);
            return false;
        }
        stNrNfce = numero;
        stDataEmissNfce = possvc::getDataEmissNFCe();
    }

    // 3. Guarded block. The confirmation tells the operator how it ended, once it knows
    //    what could be undone.
    try {
        PreencheVenda();
        voRetorno = NovoRetorno();
        const QList<ClientDataSet*> dataSets{cdsVenda,        cdsMovCaixa,    cdsVendaCancelada, cdsFamiliaSaldo,
                                             cdsEmprestimoFam, cdsItPromoComb, cdsVazio,          cdsBrinde,
                                             cdsVazio,         cdsVazio,       cdsVazio,          cdsVazio};
        const QString sequencia =
            possvc::SetConcluiFechamento(dataSets, 11, blocoFechamento(*this, tipoDocumento), 41, voRetorno).toString();
        // A close-out that gives no sale number concluded nothing; its answer says why.
        if (sequencia.trimmed().isEmpty()) {
            const QString recusa = voRetorno.toList().value(0).toString();
            throw platform::HostError(recusa.isEmpty() ? QStringLiteral("O fechamento não devolveu o número da venda.")
                                                       : recusa);
        }
        stNrSeqVenda = sequencia;

        if (boSistemaNfce) {
            // The close-out issued the NFC-e: the sale stands from here on.
            boDocumentoEmitido = true;
            const QVariantList retorno = voRetorno.toList();
            stChaveAcesso = retorno.value(1).toString();
            stQrCode = retorno.value(2).toString();
            stProtAutNfce = retorno.value(3).toString();
            imprimeVia(*this, QStringLiteral("VENDA_NFCe"));
        } else if (boSistemaSat) {
            emiteSat(*this);
        }
    } catch (...) {
        AnotaMotivo(platform::ui::errorText(std::current_exception()));
        return false;
    }
    return slMotivosFalha.isEmpty();
}

}  // namespace Cli_Vak04100
