// Entering the redemption's sale in the host's cancelled-sale log.
#include "client/Cli_Vak04100.h"

#include "hostapi/possvc.h"

namespace Cli_Vak04100 {

void TfrmFidelidade::CancelaVenda()
{
    voRetorno = NovoRetorno();
    const QString vazio = QStringLiteral("");
    // cdsVenda holds the rows of this redemption, or none (the confirmation empties it
    // before the receipt): an earlier, completed sale is never entered as cancelled.
    const QVariantList bloco{cdsVenda->data(), cdsVendaCancelada->data(), stCdCaixa, stCdEmpresa, vazio,
                             stNrSerieImp,     stDsModeloEcf,             stDsMarcaEcf, stEcfImp, vazio,
                             vazio,            vazio,                     vazio,        dtMovimento};
    QString resposta;
    possvc::IncluiVendaCan(bloco, 13, voRetorno, resposta);
}

}  // namespace Cli_Vak04100
