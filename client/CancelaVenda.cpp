// Entering the redemption's sale in the host's cancelled-sale log.
#include "client/Cli_Vak04100.h"

#include "hostapi/ArgumentBlocks.h"
#include "hostapi/possvc.h"

namespace Cli_Vak04100 {

void TfrmFidelidade::CancelaVenda()
{
    voRetorno = NovoRetorno();
    using Inclui = hostapi::block::IncluiVendaCan;
    // cdsVenda holds the rows of this redemption, or none (the confirmation empties it
    // before the receipt): an earlier, completed sale is never entered as cancelled.
    const hostapi::ArgumentBlock<Inclui> bloco(QStringLiteral(""), {
        {Inclui::Venda, cdsVenda->data()},   {Inclui::VendaCancelada, cdsVendaCancelada->data()},
        {Inclui::CdCaixa, stCdCaixa},        {Inclui::CdEmpresa, stCdEmpresa},
        {Inclui::NrSerieImp, stNrSerieImp},  {Inclui::DsModeloEcf, stDsModeloEcf},
        {Inclui::DsMarcaEcf, stDsMarcaEcf},  {Inclui::EcfImp, stEcfImp},
        {Inclui::DtMovimento, dtMovimento},
    });
    QString resposta;
    possvc::IncluiVendaCan(bloco.values(), bloco.highest(), voRetorno, resposta);
}

}  // namespace Cli_Vak04100
