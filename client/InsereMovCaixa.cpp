// The redemption's cash movement: one record of 0.01 received through the terminal's
// redemption receipt type. It travels on as a data packet (receipt closing, close-out).
#include "client/Cli_Vak04100.h"
#include "client/CamposVenda.h"
#include "terminal/TerminalFiles.h"

namespace Cli_Vak04100 {

void TfrmFidelidade::DefineCamposMovCaixa()
{
    cdsMovCaixa->fieldDefs() = camposMovCaixa();
}

void TfrmFidelidade::InsereMovCaixa()
{
    // 1. One record at most: an earlier one goes.
    if (cdsMovCaixa->active()) {
        cdsMovCaixa->emptyDataSet();
    } else {
        if (cdsMovCaixa->fieldDefs().isEmpty())
            DefineCamposMovCaixa();
        cdsMovCaixa->createDataSet();
    }

    // 2. The redemption receipt type: the first shown type of kind "4", in stored order.
    //    The filter stays on afterwards. A table that was not loaded, or lacks a field,
    //    fails below with the dataset's field-not-found error.
    cdsConfTipoRece->setFiltered(false);
    cdsConfTipoRece->setFilter(terminal::redemptionReceiptFilter());
    cdsConfTipoRece->setFiltered(true);
    if (cdsConfTipoRece->active())
        cdsConfTipoRece->first();
    // No row found: the receipt-type fields read as empty text, and the record is posted
    // all the same.
    const bool achou = cdsConfTipoRece->active() && !cdsConfTipoRece->isEmpty();
    auto tipo = [&](const char* nome) {
        platform::Field& f = cdsConfTipoRece->fieldByName(QString::fromLatin1(nome));
        return achou ? f.asString() : QString();
    };

    // 3. The record, fields in the order of the movement's layout.
    const QDateTime agora = QDateTime::currentDateTime();
    auto campo = [&](const char* nome) -> platform::Field& {
        return cdsMovCaixa->fieldByName(QString::fromLatin1(nome));
    };
    cdsMovCaixa->insert();
    try {
        campo("CDFILIAL").setAsString(stCdFilial);
        campo("IDTIPOMOVIVE").setAsString(QStringLiteral("E"));
        campo("DTHRINCMOV").setAsDateTime(agora);
        campo("CDTIPORECE").setAsString(tipo("CDTIPORECE"));
        campo("NMTIPORECE").setAsString(tipo("NMTIPORECE"));
        campo("IDTIPORECE").setAsString(tipo("IDTIPORECE"));
        campo("VRMOVIVEND").setAsFloat(0.01);
        campo("CDTIPOTROCO").setAsString(tipo("CDTIPOTROCO"));
        campo("NRORDTROCO").setAsString(tipo("NRORDTROCO"));
        campo("CDCLIENTE").setAsString(stCdCliente);
        campo("CDCONSUMIDOR").setAsString(stCdConsumidor);
        campo("CDCCUSCLIE").setAsString(stCdCCusClie);
        campo("DTMOVIMCAIXA").setAsDate(agora.date());
        campo("DSIMPFISCAL").setAsString(tipo("DSIMPFISCAL"));
        campo("CDBANCARTCR").setAsString(tipo("CDBANCARTCR"));
        campo("CDFPIMPFIS").setAsString(tipo("CDFPIMPFIS"));
    } catch (...) {
        cdsMovCaixa->cancel();  // no half-filled record stays behind
        throw;
    }
    // 4.
    cdsMovCaixa->post();
}

}  // namespace Cli_Vak04100
