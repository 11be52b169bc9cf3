// The one-row record of print parameters that goes with the customer copy of an NFC-e or
// a SAT extract. The restaurant parameters a redemption does not use go empty or zero.
#include "client/Cli_Vak04100.h"
#include "client/CamposVenda.h"

namespace Cli_Vak04100 {

void TfrmFidelidade::DefineCamposParamImpCupNF()
{
    cdsParamImpCupNF->fieldDefs() = camposParamImpCupNF();
}

void TfrmFidelidade::PreencheParamImpCupNF()
{
    // 1. Anew, whatever it held.
    cdsParamImpCupNF->close();
    if (cdsParamImpCupNF->fieldDefs().isEmpty())
        DefineCamposParamImpCupNF();
    cdsParamImpCupNF->createDataSet();

    // 2. Editing the empty dataset starts its row.
    cdsParamImpCupNF->append();
    auto campo = [this](const char* nome) -> platform::Field& {
        return cdsParamImpCupNF->fieldByName(QString::fromLatin1(nome));
    };
    const QString vazio = QStringLiteral("");

    // 3. First group.
    for (const char* nome : {"CDIDCONSUMID", "NMCONSUMIDOR", "DSCOMANDA", "CDPRODCOUVER", "CDPRODCONSUM",
                             "stIdTipoImpNF1", "stIdTipoImpNF2", "stCdPortImpNF1", "stCdPortImpNF2",
                             "stIdVendImpNF1", "stIdVendImpNF2", "stRedZLeituraX", "stImpFechaCaixa",
                             "stImpRelProduto", "stImpRedZLeituX", "stNrSerieECF", "stRelProdutoDia", "NRMESA",
                             "BUSCANRPESSOAS", "NRPESMESAALT", "NMVENDEDOR", "AGRUPADO", "COBRATAXA_FECHAMENTO",
                             "COBRACOUVER_FECHAMENTO", "COBRACONSUMACAO_FECHAMENTO", "NRPESSOAS", "CDCLIENTE",
                             "TIPOCONTA", "STIMPPOSOBS", "TIPOVENDA", "NRNAOFISCAL", "NRSEQVENDA"})
        campo(nome).setAsString(vazio);
    for (const char* nome : {"DOVALACR", "VRCOUVERT", "VRCONSUMACA", "VRTXSERVICO", "VRBASECONSUM", "TOTALPAGO"})
        campo(nome).setAsFloat(0);
    campo("BOIMPREDZEPSON").setAsBoolean(false);
    campo("VENDAREALIZADA").setAsString(QStringLiteral("A"));
    campo("STIDPAISINTEGRA").setAsString(stIdPaisIntegra);
    campo("DTABERTURACAIXA").setAsDateTime(dtAberCaix);
    campo("IDIMPCOMPCUPVEN").setAsString(stIdImpCompCupVen);
    campo("IDREIMPRNFCE").setAsString(QStringLiteral("S"));

    // 4. Second group: a failure here is swallowed; what was assigned stands.
    try {
        campo("SENHACUPOM").setAsString(stSenhaCupom);
        campo("TOTALPAGO").setAsFloat(0.01);
        campo("NRNAOFISCAL").setAsString(stNrNfce);
        campo("NRSEQVENDA").setAsString(stNrSeqVenda);
        campo("DATAEMISSNFCE").setAsString(stDataEmissNfce);
        campo("IDAMBTRABNFCE").setAsString(stIdAmbTrabNfce);
        campo("CHAVEACESSONFCe").setAsString(stChaveAcesso);
        campo("QRCODENFCe").setAsString(stQrCode);
        campo("STIBPT").setAsString(QStringLiteral("0"));
        campo("STIBPTES").setAsString(QStringLiteral("0"));
        campo("PROTAUTNFCE").setAsString(stProtAutNfce);
    } catch (const std::exception&) {
    }

    // 5.
    cdsParamImpCupNF->post();
}

}  // namespace Cli_Vak04100
