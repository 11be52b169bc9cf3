// Choosing gifts and the points they reserve: deductions, vouchers, cancellations,
// price refusals and the mends around them.
#include "ScreenFixture.h"

#include "client/MessageTable.h"
#include "client/Selecao.h"
#include "hostapi/ArgumentBlocks.h"
#include "server/Srv_Vak04100.h"

#include <QLocale>

namespace {

using testsupport::Botoes;
using testsupport::ScreenFixture;

class SelectionTest : public ScreenFixture {
protected:
    void SetUp() override
    {
        ScreenFixture::SetUp();
        abre(QStringLiteral("C1"), QStringLiteral("Ana Souza"));
    }
    // Picks the `row`-th offered gift of the current campaign.
    void escolhe(int row, const QString& preco = {})
    {
        fakes.picks = {row};
        if (!preco.isNull())
            fakes.prices = {preco};
        tecla(Qt::Key_F4);
    }
    QString texto(const QString& chave) const { return form->msgPadrao->Msg(chave); }
};

TEST_F(SelectionTest, BalancesAreShownAsLoaded)
{
    EXPECT_EQ(form->cdsCampanha->recordCount(), 2);
    EXPECT_DOUBLE_EQ(saldo("CP1", "VRSALDOCONS"), 100);
    EXPECT_DOUBLE_EQ(saldo("CP1", "VRRESTANTE"), 100);
    EXPECT_DOUBLE_EQ(saldo("CP2", "VRSALDOCONS"), 50);
    EXPECT_DOUBLE_EQ(saldo("CP2", "VRPTOVOUCHER"), 80);
}

TEST_F(SelectionTest, OnlyGiftsWithAKnownTaxRateAreOffered)
{
    escolhe(0);  // give up
    ASSERT_EQ(fakes.searches.size(), 1);
    EXPECT_EQ(fakes.searches[0].dataSet, QStringLiteral("cdsPesqBrinde"));
    EXPECT_EQ(fakes.searches[0].rows, 2);  // P3 (7 %) is not in the terminal's table
    EXPECT_EQ(fakes.searches[0].visibleFields,
              (QStringList{QStringLiteral("CDARVPROD"), QStringLiteral("NMPRODUTO"), QStringLiteral("CDPRODIMPFIS")}));
    // Giving up changes nothing, not even the gift list.
    EXPECT_FALSE(form->cdsBrinde->active());
    EXPECT_TRUE(fakes.priceCalls.isEmpty());
}

TEST_F(SelectionTest, AGiftOfAPointsCampaignIsPaidFromTheRemainingPoints)
{
    escolhe(1, QLocale::system().toString(12.5));
    ASSERT_EQ(brindes(), 1);
    auto& b = *form->cdsBrinde;
    EXPECT_EQ(b.fieldByName(QStringLiteral("CDFILIAL")).asString(), QStringLiteral("01"));
    EXPECT_EQ(b.fieldByName(QStringLiteral("CDCLIENTE")).asString(), QStringLiteral("001"));
    EXPECT_EQ(b.fieldByName(QStringLiteral("CDCAMPANHA")).asString(), QStringLiteral("CP1"));
    EXPECT_EQ(b.fieldByName(QStringLiteral("CDPRODUTO")).asString(), QStringLiteral("P1"));
    EXPECT_EQ(b.fieldByName(QStringLiteral("NMPRODUTO")).asString(), QStringLiteral("Caneca"));
    EXPECT_DOUBLE_EQ(b.fieldByName(QStringLiteral("VRPONTOBRINDE")).asFloat(), 30);
    EXPECT_DOUBLE_EQ(b.fieldByName(QStringLiteral("VRPRECITEM")).asFloat(), 12.5);
    EXPECT_DOUBLE_EQ(b.fieldByName(QStringLiteral("VRPEALIMPFIS")).asFloat(), 18);
    EXPECT_EQ(b.fieldByName(QStringLiteral("IDTPIMPOSFIS")).asString(), QStringLiteral("T"));
    EXPECT_EQ(b.fieldByName(QStringLiteral("CDPRODIMPFIS")).asString(), QStringLiteral("7890000000011"));
    EXPECT_EQ(b.fieldByName(QStringLiteral("IDUTILVOUCHER")).asString(), QStringLiteral("N"));
    EXPECT_DOUBLE_EQ(saldo("CP1", "VRRESTANTE"), 70);
    EXPECT_DOUBLE_EQ(saldo("CP1", "VRSALDOCONS"), 100);
    EXPECT_DOUBLE_EQ(saldo("CP1", "VRPTOVOUCHER"), 0);
    // The price lookup's block and a fresh result array.
    ASSERT_EQ(fakes.priceCalls.size(), 1);
    using Preco = hostapi::block::ChamaFuncaoRetornaPreco;
    EXPECT_EQ(fakes.priceCalls[0].block,
              hostapi::ArgumentBlock<Preco>(QVariant(), {{Preco::CdFilial, QStringLiteral("01")},
                                                         {Preco::CdCliente, QStringLiteral("001")},
                                                         {Preco::CdProduto, QStringLiteral("P1")},
                                                         {Preco::CdLoja, QStringLiteral("L1")},
                                                         {Preco::CdConsumidor, QStringLiteral("C1")},
                                                         {Preco::Fixo5, QStringLiteral("B")}})
                  .values());
    EXPECT_EQ(fakes.priceCalls[0].highest, hostapi::block::highestIndex<Preco>);
    EXPECT_TRUE(fakes.priceCalls[0].freshRetorno);
}

TEST_F(SelectionTest, AGiftOfAVoucherCampaignIsPaidFromTheVoucher)
{
    form->blbProximoCamp->click();  // CP2
    escolhe(1);
    ASSERT_EQ(brindes(), 1);
    EXPECT_DOUBLE_EQ(saldo("CP2", "VRPTOVOUCHER"), 60);
    EXPECT_DOUBLE_EQ(saldo("CP2", "VRRESTANTE"), 50);
    EXPECT_DOUBLE_EQ(saldo("CP1", "VRRESTANTE"), 100);
}

TEST_F(SelectionTest, TheCampaignRowsVoucherFlagDecidesAndAnEmptyFlagMeansVoucher)
{
    auto& c = *form->cdsCampanha;
    c.first();
    c.edit();
    c.fieldByName(QStringLiteral("IDUTILVOUCHER")).setAsString({});
    c.post();
    escolhe(1);
    EXPECT_DOUBLE_EQ(saldo("CP1", "VRPTOVOUCHER"), -30);
    EXPECT_DOUBLE_EQ(saldo("CP1", "VRRESTANTE"), 100);
}

TEST_F(SelectionTest, TheSameGiftTwiceGivesTwoRowsAndCancellingOneGivesOneShareBack)
{
    escolhe(1);
    escolhe(1);
    EXPECT_EQ(brindes(), 2);
    EXPECT_DOUBLE_EQ(saldo("CP1", "VRRESTANTE"), 40);
    tecla(Qt::Key_F3);
    EXPECT_EQ(brindes(), 1);
    EXPECT_DOUBLE_EQ(saldo("CP1", "VRRESTANTE"), 70);
    tecla(Qt::Key_F3);
    EXPECT_EQ(brindes(), -1);  // closed with the last gift
    EXPECT_DOUBLE_EQ(saldo("CP1", "VRRESTANTE"), 100);
}

TEST_F(SelectionTest, TheLatestGiftStandsFirst)
{
    escolhe(1);  // Caneca
    escolhe(2);  // Camiseta
    ASSERT_EQ(brindes(), 2);
    const int nome = form->cdsBrinde->fieldByName(QStringLiteral("NMPRODUTO")).index();
    EXPECT_EQ(form->cdsBrinde->valueAt(0, nome).toString(), QStringLiteral("Camiseta"));
    EXPECT_EQ(form->cdsBrinde->recNo(), 1);
    // Cancelling removes the current gift (the Camiseta, 50 points).
    tecla(Qt::Key_F3);
    EXPECT_DOUBLE_EQ(saldo("CP1", "VRRESTANTE"), 70);
}

TEST_F(SelectionTest, BalancesMayGoNegativeAndTheConfirmationRefuses)
{
    escolhe(2);  // 50
    escolhe(2);  // 50: exactly 0 left
    EXPECT_DOUBLE_EQ(saldo("CP1", "VRRESTANTE"), 0);
    escolhe(1);  // 30 more: -30
    EXPECT_DOUBLE_EQ(saldo("CP1", "VRRESTANTE"), -30);
    tecla(Qt::Key_F5);
    ASSERT_EQ(fakes.messages.size(), 1);
    EXPECT_EQ(fakes.messages[0].texto, texto(QStringLiteral("SALDO_INSUF")));
    EXPECT_EQ(fakes.messages[0].tipo, hostkit::tmAviso);
    EXPECT_EQ(fakes.indicators, 0);  // refused before anything is issued
    EXPECT_EQ(brindes(), 3);         // the selection stays
    EXPECT_DOUBLE_EQ(saldo("CP1", "VRRESTANTE"), -30);
    EXPECT_EQ(botoes(), (Botoes{false, true, true, true}));
}

TEST_F(SelectionTest, AnExactlySpentBalancePassesTheCheck)
{
    escolhe(2);
    escolhe(2);
    EXPECT_DOUBLE_EQ(saldo("CP1", "VRRESTANTE"), 0);
    tecla(Qt::Key_F5);
    EXPECT_FALSE(fakes.messageTexts().contains(texto(QStringLiteral("SALDO_INSUF"))));
    EXPECT_EQ(fakes.indicators, 1);  // the issuing started
}

TEST_F(SelectionTest, EachPriceRefusalShowsItsMessageAndAddsNoGift)
{
    const QStringList textos{
        QStringLiteral("Preço do produto deve ser cadastrado."),
        QStringLiteral("Tabela de preço deve ser parametrizada."),
        QStringLiteral("Não há tabela de preço do cliente vigente."),
        QStringLiteral("Não há tabela de preço padrão vigente."),
        QStringLiteral("Não há tabela de preço da loja vigente."),
        QStringLiteral("Preço do produto deve ser maior que zero."),
        QStringLiteral("Operação bloqueada. Produto indisponível no momento."),
    };
    const QStringList codigos = Cli_Vak04100::codigosRecusaPreco();
    ASSERT_EQ(codigos.size(), textos.size());
    for (int i = 0; i < codigos.size(); ++i) {
        fakes.messages.clear();
        escolhe(1, codigos[i]);
        ASSERT_EQ(fakes.messages.size(), 1) << codigos[i].toStdString();
        const auto& m = fakes.messages[0];
        EXPECT_EQ(m.texto, textos[i]);
        EXPECT_EQ(m.tipo, hostkit::tmErro);
        EXPECT_EQ(m.pergunta, QStringLiteral("N"));
        EXPECT_EQ(m.registra, QStringLiteral("N"));
        EXPECT_EQ(m.idEsquema, QStringLiteral("002"));
        EXPECT_EQ(m.codigo, 0);
        EXPECT_EQ(brindes(), 0);  // created empty, no row
        EXPECT_DOUBLE_EQ(saldo("CP1", "VRRESTANTE"), 100);
    }
    EXPECT_EQ(botoes(), (Botoes{false, true, false, false}));
    // Codes are compared exactly: a lower-case code is no refusal and no price either.
    fakes.messages.clear();
    escolhe(1, QStringLiteral("dtloj"));
    ASSERT_EQ(fakes.messages.size(), 1);
    EXPECT_TRUE(fakes.messages[0].texto.contains(QStringLiteral("dtloj")));
    EXPECT_EQ(brindes(), 0);
}

TEST_F(SelectionTest, AnAnswerThatIsNoPriceIsReportedAndDeductsNothing)
{
    escolhe(1, QStringLiteral("ERRO: tabela travada"));
    ASSERT_EQ(fakes.messages.size(), 1);
    EXPECT_EQ(fakes.messages[0].tipo, hostkit::tmErro);
    EXPECT_TRUE(fakes.messages[0].texto.contains(QStringLiteral("ERRO: tabela travada")));
    EXPECT_EQ(brindes(), 0);
    EXPECT_DOUBLE_EQ(saldo("CP1", "VRRESTANTE"), 100);
    EXPECT_TRUE(fakes.errors.isEmpty());
    EXPECT_EQ(form->cdsBrinde->state(), platform::DataSetState::Browse);
}

TEST_F(SelectionTest, WithoutATaxTableNothingIsOfferedAndTheOperatorIsTold)
{
    fecha();
    term.removeFile(QStringLiteral("Dados/Cadastros/AliqImpFis.cds"));
    abre(QStringLiteral("C1"), QStringLiteral("Ana Souza"));
    escolhe(1);
    EXPECT_TRUE(fakes.searches.isEmpty());
    ASSERT_EQ(fakes.messages.size(), 1);
    EXPECT_EQ(fakes.messages[0].texto, texto(QStringLiteral("SEM_ALIQ")));
    EXPECT_FALSE(form->cdsBrinde->active());
    EXPECT_TRUE(fakes.errors.isEmpty());
}

TEST_F(SelectionTest, ChoosingAnotherConsumerReloadsTheBalances)
{
    fecha();
    abre();
    fakes.picks = {1};
    tecla(Qt::Key_F2);
    EXPECT_EQ(form->stCdConsumidor, QStringLiteral("C1"));
    EXPECT_EQ(form->stNrCpfConsumidor, QStringLiteral("12345678901"));
    EXPECT_EQ(form->stDsEndeConsumidor, QStringLiteral("Rua A, 1"));
    EXPECT_EQ(form->stCdCliente, QStringLiteral("001"));
    escolhe(1);
    EXPECT_DOUBLE_EQ(saldo("CP1", "VRRESTANTE"), 70);
    // Giving up the next consumer search still empties the gifts and reloads Ana's balances.
    fakes.picks = {0};
    tecla(Qt::Key_F2);
    EXPECT_EQ(brindes(), 0);
    EXPECT_EQ(form->stCdConsumidor, QStringLiteral("C1"));
    EXPECT_DOUBLE_EQ(saldo("CP1", "VRRESTANTE"), 100);
}

// A code Windows-1252 cannot hold never reads or spends the points of the consumer whose
// code its substitutes would spell.
TEST_F(SelectionTest, ACodeOutsideTheShopsCodePageNamesNoOtherConsumer)
{
    const QString yamada = QStringLiteral("山田X");
    term.exec(QStringLiteral("INSERT INTO CONSUMIDOR (CDCLIENTE, CDCONSUMIDOR, NMCONSUMIDOR) VALUES ('001', '??X', 'Outro');"
                             "INSERT INTO CONSUMIDOR (CDCLIENTE, CDCONSUMIDOR, NMCONSUMIDOR) VALUES ('001', '%1', '山田 太郎');"
                             "INSERT INTO MOVPONTOCONS (CDCLIENTE, CDCONSUMIDOR, CDCAMPANHA, IDTPMOVCONS, VRSALDOCONS)"
                             "  VALUES ('001', '??X', 'CP1', 'C', 500)")
                  .arg(yamada));
    const QString erro = Srv_Vak04100::GetSaldoConsCamp(QStringLiteral("001"), yamada).toString();
    EXPECT_TRUE(erro.contains(yamada)) << erro.toStdString();

    // Chosen from the list: listed, but without a code, and nobody's balances load.
    fecha();
    abre();
    auto* lista = form->cdsConsumidor;
    ASSERT_EQ(lista->recordCount(), 4);
    const int codigo = lista->fieldByName(QStringLiteral("CDCONSUMIDOR")).index();
    for (int r = 0; r < lista->recordCount(); ++r)
        if (lista->valueAt(r, codigo).toString().isEmpty())
            fakes.picks = {r + 1};
    ASSERT_EQ(fakes.picks.size(), 1u) << "the consumer is listed, without a code";
    fakes.messages.clear();
    tecla(Qt::Key_F2);
    EXPECT_TRUE(form->stCdConsumidor.isEmpty());
    EXPECT_EQ(fakes.messageTexts(), QStringList{texto(QStringLiteral("CONS_COD_INV"))});
    EXPECT_EQ(form->cdsCampanha->active() ? form->cdsCampanha->recordCount() : 0, 0);

    // Named by the host: the balance query reports the value and loads nothing.
    fecha();
    fakes.messages.clear();
    abre(yamada, QStringLiteral("山田 太郎"));
    ASSERT_EQ(fakes.messages.size(), 1);
    EXPECT_TRUE(fakes.messages[0].texto.contains(yamada)) << fakes.messages[0].texto.toStdString();
    EXPECT_EQ(form->cdsCampanha->active() ? form->cdsCampanha->recordCount() : 0, 0);
}

TEST(PriceAnswer, OnlyPlainNumbersOfTheSystemLocaleArePrices)
{
    const QLocale local = QLocale::system();
    EXPECT_EQ(Cli_Vak04100::precoDaResposta(local.toString(12.5)), 12.5);
    EXPECT_EQ(Cli_Vak04100::precoDaResposta(QStringLiteral("7")), 7.0);
    EXPECT_FALSE(Cli_Vak04100::precoDaResposta(QStringLiteral("")).has_value());
    EXPECT_FALSE(Cli_Vak04100::precoDaResposta(QStringLiteral("DTLOJ")).has_value());
    EXPECT_FALSE(Cli_Vak04100::precoDaResposta(QStringLiteral("nan")).has_value());
    EXPECT_FALSE(Cli_Vak04100::precoDaResposta(local.toString(1234567.5, 'f', 1).prepend(QStringLiteral("x"))).has_value());
}

}  // namespace
