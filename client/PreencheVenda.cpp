// The sale rows of a redemption: one row per gift, quantity 1, at its list price and
// discounted so that the whole sale comes to 0.01 (only the last row keeps 0.01 to pay).
#include "client/Cli_Vak04100.h"
#include "client/CamposVenda.h"
#include "client/TextoNumero.h"

#include <utility>

namespace Cli_Vak04100 {

namespace {

const QString kVazio = QStringLiteral("");  // an empty text, not a null field

// The values of a sale row that no gift decides: the screen's state and the restaurant
// fields a redemption leaves empty or zero.
void preencheDoTerminal(const TfrmFidelidade& f, ClientDataSet& venda)
{
    const std::pair<const char*, QString> textos[] = {
        {"CDFILIAL", f.stCdFilial},         {"NRCUPOMFIS", f.stCupNr},           {"CDOPERADOR", f.stCdOperador},
        {"CDLOJA", f.stCdLoja},             {"CDLOJAIT", f.stCdLoja},            {"NMOPERADOR", f.stNmOperador},
        {"NMLOJA", f.stNmLoja},             {"NMCONSVEND", f.stNmConsumidor},    {"NRINSCRCONS", f.stNrCpfConsumidor},
        {"NRCONTCUPOMFISC", f.stContCupom}, {"DSENDEVENDA", f.stDsEndeConsumidor}, {"CDCLIENTE", f.stCdCliente},
        {"CDCONSUMIDOR", f.stCdConsumidor}, {"CDPREFINTGCOLVEN", f.stCdPrefIntgCol},
    };
    for (const auto& [nome, valor] : textos)
        venda.fieldByName(QString::fromLatin1(nome)).setAsString(valor);
    for (const char* nome : {"NRLUGARMESA", "CDVENDEDOR", "CDFAMILISALD", "CDSERVFILI", "CDVENDEDORITEM", "NRMESA",
                             "DSOBSDESC", "CDGRPOCORDESC"})
        venda.fieldByName(QString::fromLatin1(nome)).setAsString(kVazio);
    for (const char* nome : {"VRDESCOMANDA", "VRTXSERVICO", "VRACRCOMANDA", "VRUNITVENDCL", "ACRESITEM", "VRACRCOMVEN"})
        venda.fieldByName(QString::fromLatin1(nome)).setAsFloat(0);
    venda.fieldByName(QStringLiteral("QTPRODCOMVEN")).setAsFloat(1.0);
    venda.fieldByName(QStringLiteral("DTABERCAIX")).setAsDateTime(f.dtAberCaix);
    venda.fieldByName(QStringLiteral("NRPESMESAVEN")).setAsInteger(1);
}

// The values a sale row takes from its gift (the current row of `brinde`).
void preencheDoBrinde(ClientDataSet& brinde, ClientDataSet& venda)
{
    auto copia = [&](const char* de, const char* para) {
        venda.fieldByName(QString::fromLatin1(para)).setAsString(brinde.fieldByName(QString::fromLatin1(de)).asString());
    };
    for (const char* nome : {"CDPRODUTO", "CDARVPROD", "NMPRODUTO", "IDTPIMPOSFIS", "CDIMPOSTO", "CDPRODIMPFIS"})
        copia(nome, nome);
    copia("CDPRODUTO", "CDPRODPROMOCAO");
    venda.fieldByName(QStringLiteral("VRPRECCOMVEN")).setAsFloat(brinde.fieldByName(QStringLiteral("VRPRECITEM")).asFloat());
    venda.fieldByName(QStringLiteral("VRALIQIMPR")).setAsFloat(brinde.fieldByName(QStringLiteral("VRPEALIMPFIS")).asFloat());
}

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
        preencheDoTerminal(*this, *cdsVenda);
        preencheDoBrinde(*cdsBrinde, *cdsVenda);
        venda("VRPEALIMPFIS").setAsString(aliquota);
        venda("NRSEQ").setAsString(nrSeq);
        venda("CDORDALIQIMPR").setAsString(ordemAliquota);

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
