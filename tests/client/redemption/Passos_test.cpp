// The steps of a redemption one at a time on an open screen: the cash movement, the
// receipt's commands, the sale rows, the print parameters.

#include "Blocos.h"
#include "RedemptionFixture.h"

#include "client/CamposVenda.h"
#include "client/TextoNumero.h"
#include "hostapi/fiscaldev.h"
#include "server/Srv_Vak04100.h"

#include <QLocale>

#include <algorithm>
#include <iterator>

namespace redemption {
namespace {

using platform::FieldType;
using platform::FieldDef;
using Cli_Vak04100::camposMovCaixa;
using Cli_Vak04100::textoNumero;

class Passos : public RedemptionFixture {
protected:
    void abreFiscal()
    {
        perfil(Perfil::Fiscal);
        abreC1();
        campanha(QStringLiteral("CP1"));
    }
    // A gift row put straight into the selection (as the gift search would, without its
    // filter on the tax table).
    void brinde(const char* produto, double aliquota, const char* tipo, double preco, const char* fiscal = "",
                double pontos = 10)
    {
        auto* b = form->cdsBrinde;
        if (!b->active())
            b->createDataSet();
        b->append();
        b->fieldByName(QStringLiteral("CDFILIAL")).setAsString(QStringLiteral("01"));
        b->fieldByName(QStringLiteral("CDCLIENTE")).setAsString(QStringLiteral("001"));
        b->fieldByName(QStringLiteral("CDCAMPANHA")).setAsString(QStringLiteral("CP1"));
        b->fieldByName(QStringLiteral("CDPRODUTO")).setAsString(QString::fromLatin1(produto));
        b->fieldByName(QStringLiteral("VRPONTOBRINDE")).setAsFloat(pontos);
        b->fieldByName(QStringLiteral("CDARVPROD")).setAsString(QStringLiteral("ARV-") + QString::fromLatin1(produto));
        b->fieldByName(QStringLiteral("NMPRODUTO")).setAsString(QStringLiteral("Brinde ") + QString::fromLatin1(produto));
        b->fieldByName(QStringLiteral("SGUNIDADE")).setAsString(QStringLiteral("UN"));
        b->fieldByName(QStringLiteral("VRPRECITEM")).setAsFloat(preco);
        b->fieldByName(QStringLiteral("VRPEALIMPFIS")).setAsFloat(aliquota);
        b->fieldByName(QStringLiteral("CDIMPOSTO")).setAsString(QStringLiteral("01"));
        b->fieldByName(QStringLiteral("IDTPIMPOSFIS")).setAsString(QString::fromLatin1(tipo));
        b->fieldByName(QStringLiteral("CDPRODIMPFIS")).setAsString(QString::fromLatin1(fiscal));
        b->fieldByName(QStringLiteral("IDUTILVOUCHER")).setAsString(QStringLiteral("N"));
        b->post();
    }
    // The rows of a dataset ordered by one text field, as (field -> value) lookups.
    QList<QVariantMap> ordenadas(platform::ClientDataSet* ds, const QString& chave)
    {
        QList<QVariantMap> rows;
        ds->first();
        while (!ds->eof()) {
            QVariantMap m;
            for (int i = 0; i < ds->fieldCount(); ++i)
                m.insert(ds->field(i).fieldName(), ds->field(i).value());
            rows << m;
            ds->next();
        }
        std::sort(rows.begin(), rows.end(),
                  [&](const QVariantMap& a, const QVariantMap& b) { return a[chave].toString() < b[chave].toString(); });
        return rows;
    }
};

// ---- cash movement ------------------------------------------------------------------------

TEST_F(Passos, MovimentoDeCaixaUmRegistroDoTipoDeResgate)
{
    abreFiscal();
    form->InsereMovCaixa();
    form->InsereMovCaixa();  // a second call leaves one record, not two
    auto* m = form->cdsMovCaixa;
    ASSERT_TRUE(m->active());
    ASSERT_EQ(m->recordCount(), 1);
    const platform::FieldDefs campos = camposMovCaixa();
    ASSERT_EQ(m->fieldCount(), 43);
    EXPECT_EQ(m->field(0).fieldName(), QStringLiteral("CDFILIAL"));
    EXPECT_EQ(m->field(42).fieldName(), QStringLiteral("DSCARTDIGITAL"));
    EXPECT_EQ(m->fieldByName(QStringLiteral("DSMOVIVEND")).size(), 250);
    EXPECT_EQ(m->fieldByName(QStringLiteral("DTMOVIMCAIXA")).dataType(), FieldType::Date);
    EXPECT_FALSE(m->field(8).visible());
    EXPECT_TRUE(m->field(9).visible());
    EXPECT_EQ(m->fieldByName(QStringLiteral("VRMOVIVEND")).displayLabel(), QStringLiteral("Valor"));
    EXPECT_EQ(m->fieldByName(QStringLiteral("NMTIPORECE")).displayLabel(), QStringLiteral("Recebimento"));

    auto v = [&](const char* campo) { return m->fieldByName(QString::fromLatin1(campo)).value(); };
    // The first shown type of kind 4: "009" is hidden ("N"), "010" has no flag (shown).
    EXPECT_EQ(v("CDTIPORECE").toString(), QStringLiteral("010"));
    EXPECT_EQ(v("NMTIPORECE").toString(), QStringLiteral("Fidelidade"));
    EXPECT_EQ(v("IDTIPORECE").toString(), QStringLiteral("4"));
    EXPECT_EQ(v("CDTIPOTROCO").toString(), QStringLiteral("002"));
    EXPECT_EQ(v("NRORDTROCO").toString(), QStringLiteral("2"));
    EXPECT_EQ(v("DSIMPFISCAL").toString(), QStringLiteral("FIDELIDADE"));
    EXPECT_EQ(v("CDBANCARTCR").toString(), QStringLiteral("BC1"));
    EXPECT_EQ(v("CDFPIMPFIS").toString(), QStringLiteral("10"));
    EXPECT_EQ(v("CDFILIAL").toString(), QStringLiteral("01"));
    EXPECT_EQ(v("IDTIPOMOVIVE").toString(), QStringLiteral("E"));
    EXPECT_DOUBLE_EQ(v("VRMOVIVEND").toDouble(), 0.01);
    EXPECT_EQ(v("CDCLIENTE").toString(), QStringLiteral("001"));
    EXPECT_EQ(v("CDCONSUMIDOR").toString(), QStringLiteral("C1"));
    EXPECT_EQ(v("CDCCUSCLIE").toString(), QStringLiteral("CC1"));
    EXPECT_EQ(v("DTMOVIMCAIXA").toDate(), QDate::currentDate());  // the clock's date, not dtMovimento
    EXPECT_LE(qAbs(v("DTHRINCMOV").toDateTime().secsTo(QDateTime::currentDateTime())), 60);
    for (const char* vazio : {"NRSEQUMOVI", "DSMOVIVEND", "NRSEQVENDA", "DTDEPCHEQUE", "VRMOVIVEOUT", "CDTIPORECEORIG"})
        EXPECT_TRUE(m->fieldByName(QString::fromLatin1(vazio)).isNull()) << vazio;
    // The filter stays on the redemption types.
    EXPECT_TRUE(form->cdsConfTipoRece->filtered());
    EXPECT_EQ(form->cdsConfTipoRece->recordCount(), 2);
}

TEST_F(Passos, MovimentoSemTipoDeResgateAindaEGravado)
{
    testsupport::TerminalFixture::writeTable(
        term.dir() + QStringLiteral("/Dados/Cadastros/ConfTipoRece.cds"),
        {FieldDef::text(QStringLiteral("CDTIPORECE"), 3), FieldDef::text(QStringLiteral("NMTIPORECE"), 40),
         FieldDef::text(QStringLiteral("IDTIPORECE"), 1), FieldDef::text(QStringLiteral("IDMOSTRARECE"), 1),
         FieldDef::text(QStringLiteral("CDTIPOTROCO"), 3), FieldDef::text(QStringLiteral("NRORDTROCO"), 3),
         FieldDef::text(QStringLiteral("DSIMPFISCAL"), 50), FieldDef::text(QStringLiteral("CDBANCARTCR"), 10),
         FieldDef::text(QStringLiteral("CDFPIMPFIS"), 10)},
        {{QStringLiteral("001"), QStringLiteral("Dinheiro"), QStringLiteral("1"), QStringLiteral("S"), QString(),
          QString(), QString(), QString(), QString()},
         {QStringLiteral("004"), QStringLiteral("Outro"), QStringLiteral("4"), QStringLiteral("X"), QString(),
          QString(), QString(), QString(), QString()}});
    abreFiscal();
    form->InsereMovCaixa();
    ASSERT_EQ(form->cdsMovCaixa->recordCount(), 1);
    EXPECT_EQ(form->cdsMovCaixa->fieldByName(QStringLiteral("CDTIPORECE")).asString(), QString());
    EXPECT_DOUBLE_EQ(form->cdsMovCaixa->fieldByName(QStringLiteral("VRMOVIVEND")).asFloat(), 0.01);
}

TEST_F(Passos, MovimentoSemTabelaDeTiposFalhaNoCampo)
{
    term.removeFile(QStringLiteral("Dados/Cadastros/ConfTipoRece.cds"));
    abreFiscal();
    EXPECT_THROW(form->InsereMovCaixa(), platform::DataSetError);
    EXPECT_EQ(form->cdsMovCaixa->state(), platform::DataSetState::Browse);
}

// ---- receipt ----------------------------------------------------------------------------------

TEST_F(Passos, CupomAbreRegistraItensFechaEAtualizaTotais)
{
    abreFiscal();
    fakes.prices = {QLocale::system().toString(10.559, 'f', 3)};
    escolhe({QStringLiteral("P1")});
    brinde("P9", 18, "T", 3.5, "789123");
    esqueceChamadas();
    ASSERT_TRUE(form->ImprimeCupom());

    const Chamada abre = de(QStringLiteral("Params_AbreCupom_Kdx00000")).value(0);
    confereBloco(abre.args,
                 {texto("002"), 0, texto("12345678901"), texto("Ana Souza"), texto("Rua A, 1"), QString(), QString(),
                  vazio(), vazio(), vazio(), vazio(), vazio(), vazio(), vazio(), false},
                 "Params_AbreCupom_Kdx00000");
    EXPECT_EQ(form->stCupNr, de(QStringLiteral("AbreCupom")).value(0).out.value(0).toMap().value("CUPNR").toString());
    EXPECT_FALSE(form->stCupNr.isEmpty());
    EXPECT_FALSE(form->stContCupom.isEmpty());

    const auto itens = de(QStringLiteral("Params_VendaItem_Kdx00000"));
    ASSERT_EQ(itens.size(), 2);
    // The gifts in the list's order; P1's product codes come from the services.
    const int p1 = itens[0].args.value(3).toString() == QLatin1String("789123") ? 1 : 0;
    confereBloco(itens[p1].args,
                 {texto("002"), vazio(), texto("D"), outro(), texto("69120000#0100100#Caneca"), texto("01"),
                  texto("t"), texto("UN"), vazio(), texto("18"), vazio(), 0, 1.0, 10.55, 0.0, 0.0, false},
                 "Params_VendaItem_Kdx00000(P1)");
    confereBloco(itens[1 - p1].args,
                 {texto("002"), vazio(), texto("D"), texto("789123"), texto("Brinde P9"), texto("01"), texto("t"),
                  texto("UN"), vazio(), texto("18"), vazio(), 0, 1.0, 3.5, 0.0, 0.0, false},
                 "Params_VendaItem_Kdx00000(P9)");
    EXPECT_DOUBLE_EQ(form->vrTotCupom, 14.05);

    const Chamada fecha = de(QStringLiteral("FechaCupom")).value(0);
    EXPECT_EQ(fecha.args.value(1), QVariant(hostapi::block::highestIndex<Fecha>));
    EXPECT_EQ(fecha.args.value(2), QVariant(0));
    Esperado<Fecha> esperado(vazio(), {{Fecha::TotCv, texto("S")},
                                       {Fecha::Md5, texto("MD-5:d41d8cd98f00b204e9800998ecf8427e")},
                                       {Fecha::IdEsquema, texto("002")}, {Fecha::TipoImpFis, 1},
                                       {Fecha::Desconto, 14.04}, {Fecha::IdUtilTef, texto("N")},
                                       {Fecha::DsObsCupFis, texto("Obrigado")}, {Fecha::MovCaixa, outro()},
                                       {Fecha::ConfTipoRece, outro()}, {Fecha::CdOperador, texto("7")},
                                       {Fecha::NmOperador, texto("Caixa Teste")},
                                       {Fecha::IdImpSaldoCupom, texto("S")}, {Fecha::SenhaCupom, form->stSenhaCupom},
                                       {Fecha::IdTpTelaVe, texto("1")}, {Fecha::Fixo36, texto("1")},
                                       {Fecha::DsMensCpfCup, texto("CPF")}, {Fecha::IdImprCupTefRed, texto("N")},
                                       {Fecha::CupNr, form->stCupNr}, {Fecha::SgEstadoFili, texto("SP")},
                                       {Fecha::NrInsJurEmpr, texto("12345678000195")},
                                       {Fecha::CdInscEstaEmpr, texto("111222333")},
                                       {Fecha::IdParImprLimVdc, texto("N")}});
    esperado.fill({Fecha::Reservado4, Fecha::Reservado5, Fecha::Reservado11}, false);
    esperado.fill({Fecha::SaldoCred, Fecha::FamiliaSaldo, Fecha::EmprestimoFam, Fecha::Reservado49}, QVariant());
    esperado.fill({Fecha::Reservado7, Fecha::Reservado8, Fecha::Reservado37, Fecha::Reservado38, Fecha::Reservado50,
                   Fecha::Reservado51, Fecha::Reservado52, Fecha::Reservado53, Fecha::Reservado54, Fecha::Reservado58},
                  0);
    const QVariantList bloco = fecha.args.value(0).toList();
    confereBloco(bloco, esperado);
    const platform::DataPacket mov = pacote(bloco.value(Fecha::MovCaixa));
    EXPECT_EQ(mov.fields.size(), 43);
    EXPECT_EQ(coluna(mov, QStringLiteral("VRMOVIVEND")), QVariantList{0.01});
    // The whole receipt-type table, not only the filtered rows.
    EXPECT_EQ(pacote(bloco.value(Fecha::ConfTipoRece)).rows.size(), 4);
    EXPECT_FALSE(form->stSenhaCupom.isEmpty());
    EXPECT_EQ(form->stRetFechaCupom, fecha.out.value(0).toList().value(hostapi::answer::Impressora::Cupom).toString());

    const Chamada totais = de(QStringLiteral("Params_Atu_TotGeral_Kdx00000")).value(0);
    confereBloco(totais.args,
                 {texto("01"), texto("003"), texto("BE0001"), texto("002"), texto("N"), false, vazio(), vazio(),
                  vazio(), vazio(), 0.0, 0.0},
                 "Params_Atu_TotGeral_Kdx00000");
    // The day's first receipt under the printer's fiscal date.
    const QDateTime fiscal = de(QStringLiteral("DataMoviFiscal")).value(0).result.toDateTime();
    EXPECT_EQ(valor(QStringLiteral("SELECT NRSEQUENCIAL FROM NOVOCODIGO WHERE CDCONTADOR = '%1'")
                        .arg(QStringLiteral("CUPINICIAL01003") + Srv_Vak04100::textoData(fiscal.date())))
                  .trimmed()
                  .toInt(),
              form->stCupNr.toInt());
}

// A gift whose rate and type the tax table does not hold is a refused item: the receipt
// is cancelled and no record of another command goes out as its item.
TEST_F(Passos, BrindeSemAliquotaNaTabelaEItemRecusado)
{
    abreFiscal();
    brinde("P1", 18, "T", 10);
    brinde("P7", 7, "T", 5);
    brinde("P8", 18, "T", 5);
    esqueceChamadas();
    EXPECT_FALSE(form->ImprimeCupom());
    EXPECT_EQ(de(QStringLiteral("VendaItem")).size(), 1);
    EXPECT_EQ(de(QStringLiteral("Params_VendaItem_Kdx00000")).size(), 1);
    const auto cancela = de(QStringLiteral("Cancela_Cupom_Imp"));
    ASSERT_EQ(cancela.size(), 1);
    confereBloco(cancela[0].args.value(0).toList(), cancelaEsperado(true));
    EXPECT_TRUE(de(QStringLiteral("FechaCupom")).isEmpty());
    EXPECT_TRUE(de(QStringLiteral("PrxVendaDia")).isEmpty());
    EXPECT_FALSE(form->cdsMovCaixa->active());
    EXPECT_EQ(fakes.messageHeads(),
              QStringList{QStringLiteral("Ocorreu um erro na impressão do cupom. Venda cancelada.")});
}

TEST_F(Passos, SemImpressoraSoSenhaEMovimento)
{
    perfil(Perfil::Nfce);
    abreC1();
    brinde("P1", 18, "T", 10);
    esqueceChamadas();
    EXPECT_TRUE(form->ImprimeCupom());
    for (const Chamada& c : chamadas)
        EXPECT_NE(c.lib, QStringLiteral("fiscaldev")) << c.op.toStdString();
    EXPECT_FALSE(form->stSenhaCupom.isEmpty());
    EXPECT_EQ(form->cdsMovCaixa->recordCount(), 1);
    EXPECT_TRUE(form->stCupNr.isEmpty());
}

// The item's code is the gift's fiscal product code, or its product-tree code when it has
// none; its description is NCM#CEST#name, each code only when the services know it.
TEST_F(Passos, CodigoEDescricaoDoItemComESemCodigosFiscais)
{
    struct Caso {
        const char *produto, *fiscal, *cest, *ncm, *codigo, *descricao;
    };
    const Caso casos[] = {
        {"P5", "789555", "0100100", "69120000", "789555", "69120000#0100100#Brinde P5"},
        {"P6", "", "", "", "ARV-P6", "Brinde P6"},
        {"P7", "", "0100100", "", "ARV-P7", "0100100#Brinde P7"},
        {"P8", "", "", "69120000", "ARV-P8", "69120000#Brinde P8"},
    };
    abreFiscal();
    possvc::getProdCodCestNcm = [&casos](const QString& produto, QVariant& codigos) {
        for (const Caso& c : casos)
            if (produto == QLatin1String(c.produto))
                codigos = QVariantList{QString::fromLatin1(c.cest), QString::fromLatin1(c.ncm)};
    };
    for (const Caso& c : casos)
        brinde(c.produto, 18, "T", 1.0, c.fiscal);
    esqueceChamadas();
    ASSERT_TRUE(form->ImprimeCupom());
    const auto itens = de(QStringLiteral("Params_VendaItem_Kdx00000"));
    ASSERT_EQ(itens.size(), int(std::size(casos)));
    for (const Caso& c : casos) {
        const QString nome = QStringLiteral("Brinde ") + QLatin1String(c.produto);
        const auto item = std::find_if(itens.cbegin(), itens.cend(), [&](const Chamada& i) {
            return i.args.value(4).toString().endsWith(nome);
        });
        ASSERT_NE(item, itens.cend()) << c.produto;
        EXPECT_EQ(item->args.value(3).toString(), QLatin1String(c.codigo)) << c.produto;
        EXPECT_EQ(item->args.value(4).toString(), QString::fromUtf8(c.descricao)) << c.produto;
    }
}

// ---- sale rows ---------------------------------------------------------------------------------

TEST_F(Passos, LinhasDaVendaDescontadasAteUmCentavo)
{
    abreFiscal();
    brinde("P1", 18, "t", 10.00);
    brinde("P7", 7, "T", 0.29);   // no tax row: repeats the code of the gift before
    brinde("P8", 0, "I", 25.50);
    form->stCupNr = QStringLiteral("000042");
    form->stContCupom = QStringLiteral("000017");
    form->PreencheVenda();
    ASSERT_EQ(form->cdsVenda->fieldCount(), 71);
    const auto rows = ordenadas(form->cdsVenda, QStringLiteral("NRSEQ"));
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows[0]["NRSEQ"].toString(), QStringLiteral("001"));
    EXPECT_EQ(rows[2]["NRSEQ"].toString(), QStringLiteral("003"));
    double total = 0;
    for (const auto& r : rows)
        total += r["VRPRECCOMVEN"].toDouble() - r["VRDESCCOMVEN"].toDouble();
    EXPECT_NEAR(total, 0.01, 1e-9);
    EXPECT_DOUBLE_EQ(rows[0]["VRDESCCOMVEN"].toDouble(), 10.00);
    EXPECT_DOUBLE_EQ(rows[1]["VRDESCCOMVEN"].toDouble(), 0.29);
    EXPECT_DOUBLE_EQ(rows[2]["VRDESCCOMVEN"].toDouble(), 25.49);
    EXPECT_EQ(rows[0]["CDORDALIQIMPR"].toString(), QStringLiteral("01"));
    EXPECT_EQ(rows[1]["CDORDALIQIMPR"].toString(), QStringLiteral("01"));
    EXPECT_EQ(rows[2]["CDORDALIQIMPR"].toString(), QStringLiteral("03"));
    EXPECT_EQ(rows[0]["VRPEALIMPFIS"].toString(), QStringLiteral("18"));
    EXPECT_DOUBLE_EQ(rows[0]["VRALIQIMPR"].toDouble(), 18.0);
    EXPECT_EQ(rows[1]["VRPEALIMPFIS"].toString(), textoNumero(7));
    EXPECT_EQ(rows[0]["NRCUPOMFIS"].toString().trimmed(), QStringLiteral("000042"));
    EXPECT_EQ(rows[0]["NRCONTCUPOMFISC"].toString(), QStringLiteral("000017"));
    EXPECT_EQ(rows[0]["CDPRODPROMOCAO"].toString(), QStringLiteral("P1"));
    EXPECT_EQ(rows[0]["NRPESMESAVEN"], QVariant(1));
    EXPECT_EQ(rows[0]["CDCONSUMIDOR"].toString(), QStringLiteral("C1"));
    EXPECT_EQ(rows[0]["NMCONSVEND"].toString(), QStringLiteral("Ana Souza"));
    EXPECT_EQ(rows[0]["DTABERCAIX"].toDateTime(), QDateTime(QDate(2026, 12, 7), QTime(8, 0)));
    EXPECT_EQ(rows[0]["NRLUGARMESA"], QVariant(QString()));  // empty text, not null
    EXPECT_FALSE(rows[0]["NRVENDAREST"].isValid());          // not set: null
    EXPECT_TRUE(form->cdsBrinde->eof());

    // A second call rebuilds: never rows of two attempts.
    form->cdsBrinde->first();
    form->cdsBrinde->remove();
    form->PreencheVenda();
    EXPECT_EQ(form->cdsVenda->recordCount(), 2);
}

TEST_F(Passos, UmBrindeDezReaisDescontoNoveNoventaENove)
{
    abreFiscal();
    brinde("P1", 18, "T", 10.00);
    form->PreencheVenda();
    ASSERT_EQ(form->cdsVenda->recordCount(), 1);
    EXPECT_DOUBLE_EQ(form->cdsVenda->fieldByName(QStringLiteral("VRDESCCOMVEN")).asFloat(), 9.99);
    EXPECT_EQ(form->cdsVenda->fieldByName(QStringLiteral("NRSEQ")).asString(), QStringLiteral("001"));
}

// The sequence text repeats after 999 gifts: only the last row by position keeps 0.01 to pay,
// and the confirmation refuses such a redemption before any device is touched.
TEST_F(Passos, MilEUmBrindesSomamUmCentavoEAConfirmacaoRecusa)
{
    abreFiscal();
    for (int i = 0; i < 1001; ++i)
        brinde("P1", 18, "T", 10.00);
    form->PreencheVenda();
    ASSERT_EQ(form->cdsVenda->recordCount(), 1001);
    double total = 0;
    int comSaldo = 0;
    for (form->cdsVenda->first(); !form->cdsVenda->eof(); form->cdsVenda->next()) {
        const double resta = form->cdsVenda->fieldByName(QStringLiteral("VRPRECCOMVEN")).asFloat()
                             - form->cdsVenda->fieldByName(QStringLiteral("VRDESCCOMVEN")).asFloat();
        total += resta;
        comSaldo += resta > 0.005 ? 1 : 0;
    }
    EXPECT_NEAR(total, 0.01, 1e-6);
    EXPECT_EQ(comSaldo, 1);

    fakes.messages.clear();
    esqueceChamadas();
    confirma();
    EXPECT_EQ(fakes.messageTexts(), QStringList{form->msgPadrao->Msg(QStringLiteral("LIMITE_BRINDES")).arg(999)});
    EXPECT_TRUE(de(QStringLiteral("AbreCupom")).isEmpty());
    EXPECT_EQ(indicadores, 0);
    EXPECT_EQ(brindes(), 1001);
}

// The limit itself: 999 gifts go on to the receipt, 1,000 are refused before anything is
// touched (the refusal names the limit).
class LimiteDeBrindes : public Passos, public ::testing::WithParamInterface<int> {};

TEST_P(LimiteDeBrindes, NoveNoveNoveSeguemMilSaoRecusados)
{
    const int quantos = GetParam();
    const bool recusa = quantos > 999;
    abreFiscal();
    for (int i = 0; i < quantos; ++i)
        brinde("P1", 18, "T", 10.00, "", 0);  // free gifts: the balance never refuses
    // An opening the printer refuses ends an accepted confirmation at its first device call.
    fiscaldev::library().failNext(QStringLiteral("AbreCupom"));
    fakes.messages.clear();
    esqueceChamadas();
    confirma();
    const QString limite = form->msgPadrao->Msg(QStringLiteral("LIMITE_BRINDES")).arg(999);
    EXPECT_EQ(fakes.messageTexts().contains(limite), recusa) << fakes.messageTexts().join(u'\n').toStdString();
    EXPECT_EQ(de(QStringLiteral("AbreCupom")).size(), recusa ? 0 : 1);
    EXPECT_EQ(indicadores, recusa ? 0 : 1);
    EXPECT_EQ(brindes(), recusa ? quantos : 0);
}

INSTANTIATE_TEST_SUITE_P(Quantidades, LimiteDeBrindes, ::testing::Values(999, 1000),
                         [](const ::testing::TestParamInfo<int>& info) { return std::to_string(info.param); });

// ---- print parameters -----------------------------------------------------------------------

TEST_F(Passos, ParametrosDeImpressaoUmaLinha)
{
    perfil(Perfil::Sat);
    abreC1();
    form->stNrSeqVenda = QStringLiteral("123");
    form->stSenhaCupom = QStringLiteral("7");
    form->stChaveAcesso = QStringLiteral("CFe35150708723218000186599000040190000215133408");
    form->stQrCode = QString(8000, QLatin1Char('Q'));
    form->PreencheParamImpCupNF();
    form->PreencheParamImpCupNF();
    auto* p = form->cdsParamImpCupNF;
    ASSERT_EQ(p->fieldCount(), 52);
    ASSERT_EQ(p->recordCount(), 1);
    EXPECT_EQ(p->state(), platform::DataSetState::Browse);
    auto v = [&](const char* campo) { return p->fieldByName(QString::fromLatin1(campo)).value(); };
    EXPECT_EQ(v("NRSEQVENDA").toString(), QStringLiteral("123"));
    EXPECT_EQ(v("NRNAOFISCAL").toString(), QString());
    EXPECT_DOUBLE_EQ(v("TOTALPAGO").toDouble(), 0.01);
    EXPECT_EQ(v("QRCODENFCe").toString().size(), 8000);
    EXPECT_EQ(v("CHAVEACESSONFCe").toString(), form->stChaveAcesso);
    EXPECT_EQ(v("SENHACUPOM").toString(), QStringLiteral("7"));
    EXPECT_EQ(v("STIDPAISINTEGRA").toString(), QStringLiteral("N"));
    EXPECT_EQ(v("IDAMBTRABNFCE").toString(), QStringLiteral("2"));
    EXPECT_EQ(v("DTABERTURACAIXA").toDateTime(), QDateTime(QDate(2026, 12, 7), QTime(8, 0)));
    EXPECT_EQ(v("BOIMPREDZEPSON"), QVariant(false));
    EXPECT_EQ(v("STIBPT").toString(), QStringLiteral("0"));
    EXPECT_EQ(v("IDREIMPRNFCE").toString(), QStringLiteral("S"));
    EXPECT_EQ(v("DATAEMISSNFCE").toString(), QString());
}

}  // namespace
}  // namespace redemption
