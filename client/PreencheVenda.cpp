// The sale rows of a redemption: one row per gift, quantity 1, at its list price and
// discounted so that the whole sale comes to 0.01 (only the last row keeps 0.01 to pay).
#include "client/Cli_Vak04100.h"
#include "client/Venda.h"

namespace Cli_Vak04100 {

namespace {
const QString kVazio = QStringLiteral("");  // an empty text, not a null field
}  // namespace

void TfrmFidelidade::DefineCamposVenda()
{
    cdsVenda->fieldDefs() = camposVenda();
}

void TfrmFidelidade::LimpaVenda()
{
    if (cdsVenda->active()) {
        if (cdsVenda->state() != platform::DataSetState::Browse)
            cdsVenda->cancel();  // a row left half-filled by a failed attempt
        cdsVenda->emptyDataSet();
        return;
    }
    if (cdsVenda->fieldDefs().isEmpty())
        DefineCamposVenda();
    cdsVenda->createDataSet();
}

void TfrmFidelidade::PreencheVenda()
{
    // 1. Never rows of two attempts.
    LimpaVenda();

    // 2-3.
    QString nrSeq = QStringLiteral("000");
    QString ordemAliquota;  // kept from the previous gift when a gift's rate has no row
    // The last row is the last by position: the three-digit sequence text repeats after
    // 999 gifts and cannot tell it.
    const int totalItens = cdsBrinde->recordCount();
    int posicao = 0;
    platform::LocateOptions semCaixa;
    semCaixa.caseInsensitive = true;
    auto brinde = [this](const char* nome) -> platform::Field& {
        return cdsBrinde->fieldByName(QString::fromLatin1(nome));
    };
    auto venda = [this](const char* nome) -> platform::Field& {
        return cdsVenda->fieldByName(QString::fromLatin1(nome));
    };
    cdsBrinde->first();
    while (!cdsBrinde->eof()) {
        // 3.1 Tax-rate order code.
        const QString aliquota = textoNumero(brinde("VRPEALIMPFIS").asFloat());
        if (cdsAliqImpFis->locate(QStringLiteral("VRALIQIMPFIS;IDALIQIMPFIS"),
                                  QVariantList{aliquota, brinde("IDTPIMPOSFIS").asString()}, semCaixa))
            ordemAliquota = cdsAliqImpFis->fieldByName(QStringLiteral("CDALIQIMPFIS")).asString();

        // 3.2 Item sequence.
        nrSeq = hostkit::Ajusta(QString::number(nrSeq.toInt() + 1), 3);
        ++posicao;

        // 3.3 The row.
        cdsVenda->insert();
        venda("CDFILIAL").setAsString(stCdFilial);
        venda("CDPRODUTO").setAsString(brinde("CDPRODUTO").asString());
        venda("QTPRODCOMVEN").setAsFloat(1.0);
        venda("VRPRECCOMVEN").setAsFloat(brinde("VRPRECITEM").asFloat());
        venda("NRLUGARMESA").setAsString(kVazio);
        venda("CDARVPROD").setAsString(brinde("CDARVPROD").asString());
        venda("NMPRODUTO").setAsString(brinde("NMPRODUTO").asString());
        venda("CDVENDEDOR").setAsString(kVazio);
        venda("VRDESCOMANDA").setAsFloat(0);
        venda("NRCUPOMFIS").setAsString(stCupNr);
        venda("CDOPERADOR").setAsString(stCdOperador);
        venda("CDLOJA").setAsString(stCdLoja);
        venda("IDTPIMPOSFIS").setAsString(brinde("IDTPIMPOSFIS").asString());
        venda("CDIMPOSTO").setAsString(brinde("CDIMPOSTO").asString());
        venda("VRTXSERVICO").setAsFloat(0);
        venda("VRPEALIMPFIS").setAsString(aliquota);
        venda("CDLOJAIT").setAsString(stCdLoja);
        venda("NMOPERADOR").setAsString(stNmOperador);
        venda("NMLOJA").setAsString(stNmLoja);
        venda("DTABERCAIX").setAsDateTime(dtAberCaix);
        venda("VRACRCOMANDA").setAsFloat(0);
        venda("CDFAMILISALD").setAsString(kVazio);
        venda("CDSERVFILI").setAsString(kVazio);
        venda("NMCONSVEND").setAsString(stNmConsumidor);
        venda("NRINSCRCONS").setAsString(stNrCpfConsumidor);
        venda("NRSEQ").setAsString(nrSeq);
        venda("VRUNITVENDCL").setAsFloat(0);
        venda("ACRESITEM").setAsFloat(0);
        venda("CDPRODPROMOCAO").setAsString(brinde("CDPRODUTO").asString());
        venda("NRCONTCUPOMFISC").setAsString(stContCupom);
        venda("CDORDALIQIMPR").setAsString(ordemAliquota);
        venda("VRALIQIMPR").setAsFloat(brinde("VRPEALIMPFIS").asFloat());
        venda("DSENDEVENDA").setAsString(stDsEndeConsumidor);
        venda("CDVENDEDORITEM").setAsString(kVazio);
        venda("VRACRCOMVEN").setAsFloat(0);
        venda("NRMESA").setAsString(kVazio);
        venda("CDCLIENTE").setAsString(stCdCliente);
        venda("CDCONSUMIDOR").setAsString(stCdConsumidor);
        venda("CDPREFINTGCOLVEN").setAsString(stCdPrefIntgCol);
        venda("NRPESMESAVEN").setAsInteger(1);
        venda("DSOBSDESC").setAsString(kVazio);
        venda("CDGRPOCORDESC").setAsString(kVazio);
        venda("CDPRODIMPFIS").setAsString(brinde("CDPRODIMPFIS").asString());

        // 3.4 Discount: everything but 0.01 on the last gift, everything on the others.
        //     The difference is taken in extended precision and rounded to double.
        const double preco = brinde("VRPRECITEM").asFloat();
        const double desconto =
            posicao == totalItens ? static_cast<double>(static_cast<long double>(preco) - 0.01L) : preco;
        venda("VRDESCCOMVEN").setAsFloat(hostkit::Trunc2(desconto));

        // 3.5
        cdsVenda->post();
        cdsBrinde->next();
    }
}

}  // namespace Cli_Vak04100
