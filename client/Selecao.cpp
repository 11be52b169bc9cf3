// Choosing the consumer and the gifts, with the points each gift reserves in its
// campaign's balance on the screen (nothing is written to the database here).
#include "client/Selecao.h"

#include "client/Cli_Vak04100.h"
#include "client/MessageTable.h"

#include "hostapi/ArgumentBlocks.h"
#include "hostapi/possvc.h"
#include "platform/ui/ErrorDisplay.h"
#include "platform/ui/FieldLayout.h"
#include "server/Srv_Vak04100.h"
#include "terminal/TerminalFiles.h"

#include <QLocale>

namespace Cli_Vak04100 {

using platform::ui::guarded;

namespace {
const QString kUnidade = QStringLiteral("Cli_Vak04100");
const QString kSistema = QStringLiteral("002");
}  // namespace

void apresentaConsumidores(platform::ClientDataSet& ds)
{
    platform::ui::applyFieldLayout(ds, {
        {QStringLiteral("CDCONSUMIDOR"), QStringLiteral("Código do Consumidor"), 25, true},
        {QStringLiteral("NMCONSUMIDOR"), QStringLiteral("Nome do Consumidor"), 30, true},
        {QStringLiteral("CDIDCONSUMID"), QStringLiteral("Crachá"), 21, true},
        {QStringLiteral("CDCLIENTE"), QStringLiteral("Código do Cliente"), 25, true},
        {QStringLiteral("NMFANTCLIE"), QStringLiteral("Nome Fantasia"), 50, true},
        {QStringLiteral("NRCPFRESPCON"), {}, 0, false},
        {QStringLiteral("DSENDECONS"), {}, 0, false},
    });
}

void apresentaCatalogo(platform::ClientDataSet& ds)
{
    platform::ui::applyFieldLayout(ds, {
        {QStringLiteral("CDCAMPANHA"), {}, 0, false},
        {QStringLiteral("CDPRODUTO"), {}, 0, false},
        {QStringLiteral("VRPONTOBRINDE"), {}, 0, false},
        {QStringLiteral("CDARVPROD"), QStringLiteral("Código"), 11, true},
        {QStringLiteral("NMPRODUTO"), QStringLiteral("Nome"), 37, true},
        {QStringLiteral("SGUNIDADE"), {}, 0, false},
        {QStringLiteral("VRPRECITEM"), {}, 0, false},
        {QStringLiteral("VRPEALIMPFIS"), {}, 0, false},
        {QStringLiteral("CDIMPOSTO"), {}, 0, false},
        {QStringLiteral("IDTPIMPOSFIS"), {}, 0, false},
        {QStringLiteral("CDPRODIMPFIS"), QStringLiteral("Código Barras"), 20, true},
    });
}

std::optional<double> precoDaResposta(const QString& resposta)
{
    QLocale local = QLocale::system();
    local.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    const double valor = local.toDouble(resposta.trimmed(), &ok);
    if (!ok || !qIsFinite(valor))
        return std::nullopt;
    return valor;
}

int filtraPorAliquota(platform::ClientDataSet& catalogo, platform::ClientDataSet& aliquotas)
{
    return terminal::filterByTaxRate(catalogo, aliquotas);
}

void TfrmFidelidade::CarregaSaldos()
{
    const QVariant saldos = hostkit::MensagemMetodo(
        Srv_Vak04100::GetSaldoConsCamp(stCdCliente, stCdConsumidor), true, 0, QStringLiteral("GetSaldoConsCamp"),
        kUnidade, stCdCliente + QLatin1Char('-') + stCdConsumidor, kSistema);
    cdsCampanha->setData(saldos);
}

void TfrmFidelidade::blbPesqConsumidorClick(QObject*)
{
    guarded([&] {
        // The discarded gifts' points come back with the reload below, not one by one.
        if (cdsBrinde->active()) {
            cdsBrinde->emptyDataSet();
            dtsBrindeStateChange(cdsBrinde);  // emptying is no state change: F3/F5 follow here
        }
        cdsConsumidor->setFilter({});
        cdsConsumidor->setFiltered(false);
        if (possvc::Pesquisa(cdsConsumidor, QVariant(), QStringLiteral("N"), inCor1, inCor2, inCor3, inCor5, 0)) {
            stCdConsumidor = cdsConsumidor->fieldByName(QStringLiteral("CDCONSUMIDOR")).asString();
            stNmConsumidor = cdsConsumidor->fieldByName(QStringLiteral("NMCONSUMIDOR")).asString();
            stNrCpfConsumidor = cdsConsumidor->fieldByName(QStringLiteral("NRCPFRESPCON")).asString();
            stDsEndeConsumidor = cdsConsumidor->fieldByName(QStringLiteral("DSENDECONS")).asString();
            stCdCliente = cdsConsumidor->fieldByName(QStringLiteral("CDCLIENTE")).asString();
            lblConsumidor->setText(stNmConsumidor);
            // A consumer listed without a code has one the shop's text cannot hold: no
            // balance is loaded for it, and none of another consumer either.
            if (stCdConsumidor.isEmpty())
                MostraMensagem(QStringLiteral("CONS_COD_INV"), hostkit::tmAviso);
        }
        CarregaSaldos();
    });
}

void TfrmFidelidade::blbPesqBrindeClick(QObject*)
{
    guarded([&] {
        // 1. The current campaign's catalogue.
        const QString cdCampanha = cdsCampanha->fieldByName(QStringLiteral("CDCAMPANHA")).asString();
        const QVariant catalogo = hostkit::MensagemMetodo(
            Srv_Vak04100::GetBrinde(cdCampanha, stCdFilial), true, 0, QStringLiteral("GetBrinde"), kUnidade,
            cdCampanha + QLatin1Char('-') + stCdFilial, kSistema);
        cdsPesqBrinde->setData(catalogo);
        if (!cdsPesqBrinde->active())
            return;  // the error was reported by MensagemMetodo; there is nothing to offer
        apresentaCatalogo(*cdsPesqBrinde);

        // 2. Only gifts whose tax rate and type the terminal knows stay selectable. Without
        //    a tax table nothing is known: nothing is offered, and the operator is told why.
        if (!cdsAliqImpFis->active()) {
            cdsPesqBrinde->emptyDataSet();
            MostraMensagem(QStringLiteral("SEM_ALIQ"), hostkit::tmErro);
            return;
        }
        filtraPorAliquota(*cdsPesqBrinde, *cdsAliqImpFis);

        // 3. The operator's choice.
        cdsPesqBrinde->setFilter({});
        cdsPesqBrinde->setFiltered(false);
        if (!possvc::Pesquisa(cdsPesqBrinde, QVariant(), QStringLiteral("N"), inCor1, inCor2, inCor3, inCor5, 0))
            return;

        // 4. The selected-gift list exists from the first choice on.
        if (!cdsBrinde->active())
            cdsBrinde->createDataSet();

        // 5-6. The price.
        voRetorno = NovoRetorno();
        using Preco = hostapi::block::ChamaFuncaoRetornaPreco;
        const hostapi::ArgumentBlock<Preco> bloco(
            QVariant(), {{Preco::CdFilial, stCdFilial},
                         {Preco::CdCliente, stCdCliente},
                         {Preco::CdProduto, cdsPesqBrinde->fieldByName(QStringLiteral("CDPRODUTO")).asString()},
                         {Preco::CdLoja, stCdLoja},
                         {Preco::CdConsumidor, stCdConsumidor},
                         {Preco::Fixo5, QStringLiteral("B")}});
        QString resposta;
        possvc::ChamaFuncaoRetornaPreco(bloco.values(), bloco.highest(), voRetorno, resposta);

        // 7. A refusal: its message, and no gift.
        for (const QString& codigo : codigosRecusaPreco()) {
            if (resposta == codigo) {
                MostraMensagem(codigo, hostkit::tmErro);
                return;
            }
        }
        // 8. The gift, at that price.
        insereBrinde(resposta);
    });
}

void TfrmFidelidade::insereBrinde(const QString& resposta)
{
    // An answer that is no price is reported before anything is inserted: no partly
    // filled gift row, no points deducted.
    const std::optional<double> preco = precoDaResposta(resposta);
    if (!preco) {
        hostkit::Mensagem(msgPadrao->Msg(QStringLiteral("PRECO_INV")).arg(resposta), {}, QStringLiteral("N"),
                          QStringLiteral("N"), hostkit::tmErro, {}, stIdEsquema, 0, nullptr);
        return;
    }
    auto copia = [this](const char* campo) {
        const QString nome = QString::fromLatin1(campo);
        cdsBrinde->fieldByName(nome).setValue(cdsPesqBrinde->fieldByName(nome).value());
    };
    cdsBrinde->insert();  // before the current row: the latest gift stands first
    try {
        cdsBrinde->fieldByName(QStringLiteral("CDFILIAL")).setAsString(stCdFilial);
        cdsBrinde->fieldByName(QStringLiteral("CDCLIENTE")).setAsString(stCdCliente);
        copia("CDCAMPANHA");
        copia("CDPRODUTO");
        copia("VRPONTOBRINDE");
        copia("CDARVPROD");
        copia("NMPRODUTO");
        copia("SGUNIDADE");
        cdsBrinde->fieldByName(QStringLiteral("VRPRECITEM")).setAsFloat(*preco);
        copia("VRPEALIMPFIS");
        copia("CDIMPOSTO");
        copia("IDTPIMPOSFIS");
        copia("CDPRODIMPFIS");
        cdsBrinde->fieldByName(QStringLiteral("IDUTILVOUCHER"))
            .setAsString(cdsCampanha->fieldByName(QStringLiteral("IDUTILVOUCHER")).asString());
    } catch (...) {
        cdsBrinde->cancel();
        throw;
    }
    cdsBrinde->post();  // cdsBrindeAfterPost deducts the points
}

namespace {

// The campaign row of a gift, made current; false when the campaign is not listed.
bool localizaCampanha(platform::ClientDataSet& campanhas, const QString& cdCampanha)
{
    return campanhas.active() && campanhas.locate(QStringLiteral("CDCAMPANHA"), cdCampanha);
}

// Adds `pontos` to the paying balance of the current campaign row: VRRESTANTE when the
// campaign's IDUTILVOUCHER is exactly "N", VRPTOVOUCHER otherwise.
void ajustaSaldo(platform::ClientDataSet& campanhas, double pontos)
{
    const bool semVoucher = campanhas.fieldByName(QStringLiteral("IDUTILVOUCHER")).asString() == QLatin1String("N");
    platform::Field& saldo =
        campanhas.fieldByName(semVoucher ? QStringLiteral("VRRESTANTE") : QStringLiteral("VRPTOVOUCHER"));
    campanhas.edit();
    saldo.setAsFloat(saldo.asFloat() + pontos);
    campanhas.post();
}

}  // namespace

void TfrmFidelidade::cdsBrindeAfterPost(QObject*)
{
    guarded([&] {
        const QString cdCampanha = cdsBrinde->fieldByName(QStringLiteral("CDCAMPANHA")).asString();
        if (localizaCampanha(*cdsCampanha, cdCampanha))
            ajustaSaldo(*cdsCampanha, -cdsBrinde->fieldByName(QStringLiteral("VRPONTOBRINDE")).asFloat());
    });
}

void TfrmFidelidade::blbCancelaBrindeClick(QObject*)
{
    guarded([&] {
        if (!cdsBrinde->active() || cdsBrinde->isEmpty())
            return;  // nothing to remove
        const QString cdCampanha = cdsBrinde->fieldByName(QStringLiteral("CDCAMPANHA")).asString();
        if (localizaCampanha(*cdsCampanha, cdCampanha))
            ajustaSaldo(*cdsCampanha, cdsBrinde->fieldByName(QStringLiteral("VRPONTOBRINDE")).asFloat());
        cdsBrinde->remove();
        if (cdsBrinde->isEmpty())
            cdsBrinde->close();
    });
}

}  // namespace Cli_Vak04100
