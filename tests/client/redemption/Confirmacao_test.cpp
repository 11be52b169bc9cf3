// The confirmation's outcomes on each terminal profile: the calls made (their argument
// blocks element by element), what the operator sees, the screen afterwards and what the
// shop database holds.

#include "Blocos.h"
#include "RedemptionFixture.h"

#include "host/fiscaldev/SimPrinter.h"
#include "hostapi/EmptyParam.h"
#include "hostapi/fiscaldev.h"
#include "hostapi/possvc.h"

#include <QLocale>
#include <QRegularExpression>

namespace redemption {
namespace {

const QString kErroImpCup = QStringLiteral("Ocorreu um erro na impressão do cupom. Venda cancelada.");
const QString kSaldoInsuf =
    QStringLiteral("Você não possui voucher ou saldo de pontos suficiente para realizar esta operação!");

class Confirmacao : public RedemptionFixture, public ::testing::WithParamInterface<Perfil> {
protected:
    // Opens the screen on the profile and chooses gift P1 (30 points of CP1, price 10.00).
    void prepara()
    {
        perfil(GetParam());
        abreC1();
        campanha(QStringLiteral("CP1"));
        escolhe({QStringLiteral("P1")});
        ASSERT_EQ(brindes(), 1);
        ASSERT_DOUBLE_EQ(saldo(QStringLiteral("CP1"), "VRRESTANTE"), 70.0);
        esqueceChamadas();
        fakes.messages.clear();
    }
    // Prepares the sale and confirms it with the fiscal printer refusing `op` once.
    void confirmaComRecusa(const char* op)
    {
        prepara();
        fiscaldev::library().failNext(QString::fromLatin1(op));
        confirma();
    }
    bool impressora() const { return temImpressora(GetParam()); }
    // A terminal with both flags set is an NFC-e terminal: document "N", no SAT call.
    bool nfce() const { return marcaNfce(GetParam()); }
    bool sat() const { return GetParam() == Perfil::Sat; }

    // What every outcome after issuing leaves: the indicator gone, the gift list open and
    // empty with F3/F5 disabled, the balances reloaded from the database.
    void confereLimpeza()
    {
        EXPECT_FALSE(indicador);
        EXPECT_EQ(indicadores, 1);
        EXPECT_TRUE(form->isVisible());
        EXPECT_EQ(brindes(), 0);
        EXPECT_FALSE(form->blbCancelaBrinde->isEnabled());
        EXPECT_FALSE(form->blbConfirma->isEnabled());
        EXPECT_TRUE(form->blbPesqBrinde->isEnabled());
        EXPECT_DOUBLE_EQ(saldo(QStringLiteral("CP1"), "VRRESTANTE"), saldoBanco(QStringLiteral("CP1"), "VRRESTANTE"));
        EXPECT_DOUBLE_EQ(saldo(QStringLiteral("CP2"), "VRPTOVOUCHER"), saldoBanco(QStringLiteral("CP2"), "VRPTOVOUCHER"));
        const auto recargas = de(QStringLiteral("MensagemMetodo"));
        ASSERT_FALSE(recargas.isEmpty());
        EXPECT_EQ(recargas.last().args.value(3).toString(), QStringLiteral("GetSaldoConsCamp"));
        EXPECT_EQ(recargas.last().args.value(5).toString(), QStringLiteral("001-C1"));
    }
    // The redemption left nothing active and the points are back.
    void confereDesfeito()
    {
        EXPECT_EQ(vendasAtivas(), 0);
        EXPECT_DOUBLE_EQ(saldo(QStringLiteral("CP1"), "VRRESTANTE"), 100.0);
    }
    // What the operator read, each without its reason line (checked on its own).
    QStringList mensagens() const { return fakes.messageHeads(); }
    QString motivo(int i) const { return testsupport::HostFakes::reasonOf(fakes.messages.value(i).texto); }
    QStringList dispositivos() const
    {
        QStringList ops;
        for (const Chamada& c : chamadas)
            if (c.lib != QLatin1String("hostkit") && !c.op.startsWith(QLatin1String("Params_")))
                ops << c.op;
        return ops;
    }
    QVariant movimento() const { return QDateTime(QDate(2026, 12, 7), QTime(0, 0)); }

    void confereFechamentoVenda(const Chamada& c, const QString& tipoDocumento)
    {
        using DataSets = hostapi::block::ConcluiFechamentoDataSets;
        ASSERT_EQ(c.args.size(), 5);
        const QVariantList ds = c.args[0].toList();
        const hostapi::ArgumentBlock<DataSets, QString> nomes(
            QStringLiteral("cdsVazio"),
            {{DataSets::Venda, "cdsVenda"}, {DataSets::MovCaixa, "cdsMovCaixa"},
             {DataSets::VendaCancelada, "cdsVendaCancelada"}, {DataSets::FamiliaSaldo, "cdsFamiliaSaldo"},
             {DataSets::EmprestimoFam, "cdsEmprestimoFam"}, {DataSets::ItPromoComb, "cdsItPromoComb"},
             {DataSets::Brinde, "cdsBrinde"}});
        ASSERT_EQ(ds.size(), DataSets::Size);
        for (int i = 0; i < DataSets::Size; ++i)
            EXPECT_EQ(ds[i].value<QObject*>()->objectName(), nomes.values()[i]) << i;
        EXPECT_EQ(c.args[1], QVariant(hostapi::block::highestIndex<DataSets>));
        EXPECT_EQ(c.args[3], QVariant(hostapi::block::highestIndex<Conclui>));
        const bool ehNfce = tipoDocumento == QLatin1String("N");
        const QVariant daImpressora = impressora() ? outro() : vazio();
        const QVariant daNfce = ehNfce ? outro() : vazio();
        confereBloco(c.args[2].toList(),
                     Esperado<Conclui>(vazio(), {{Conclui::CdCaixa, texto("003")},
                                                 {Conclui::DtAberCaix, QDateTime(QDate(2026, 12, 7), QTime(8, 0))},
                                                 {Conclui::CdEmpresa, texto("E1")}, {Conclui::CupNr, daImpressora},
                                                 {Conclui::ContCupom, daImpressora}, {Conclui::CdFilial, texto("01")},
                                                 {Conclui::CdLoja, texto("L1")}, {Conclui::Fixo11, texto("POS")},
                                                 {Conclui::NrNfce, daNfce}, {Conclui::IdPaisIntegra, texto("N")},
                                                 {Conclui::RetFechaCupom, daImpressora},
                                                 {Conclui::NrSerieImp, texto("BE0001")}, {Conclui::TipoImpFis, 1},
                                                 {Conclui::DsModeloEcf, texto("MOD1")},
                                                 {Conclui::DsMarcaEcf, texto("MARCA")},
                                                 {Conclui::EcfImp, texto("ECF1")},
                                                 {Conclui::DtMovimento, movimento()},
                                                 {Conclui::SgEstadoFili, texto("SP")}, {Conclui::Fixo30, texto("R")},
                                                 {Conclui::Fixo32, texto("BAL_QVN")},
                                                 {Conclui::DataEmissNfce, daNfce},
                                                 {Conclui::IdAmbTrabNfce, texto("2")}, {Conclui::NrSerieNfce, daNfce},
                                                 {Conclui::TipoDocumento, tipoDocumento},
                                                 {Conclui::Reservado41, 0}}));
        const QVariantList b = c.args[2].toList();
        if (impressora()) {
            EXPECT_EQ(b[Conclui::CupNr].toString(), form->stCupNr);
            EXPECT_EQ(b[Conclui::ContCupom].toString(), form->stContCupom);
            EXPECT_EQ(b[Conclui::RetFechaCupom].toString(), form->stRetFechaCupom);
            EXPECT_FALSE(form->stCupNr.isEmpty());
        }
        if (ehNfce) {
            EXPECT_EQ(b[Conclui::NrNfce].toString(), form->stNrNfce);
            EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d+$")).match(form->stNrNfce).hasMatch());
            EXPECT_EQ(b[Conclui::DataEmissNfce].toString(), form->stDataEmissNfce);
            EXPECT_EQ(b[Conclui::NrSerieNfce].toString(), form->stNrSerieNfce);
        }
    }

    void confereImpressao(const Chamada& c, const char* tipo)
    {
        ASSERT_EQ(c.args.size(), 3);
        EXPECT_EQ(c.args[1], QVariant(hostapi::block::highestIndex<Impressao>));
        const QVariantList b = c.args[0].toList();
        confereBloco(b, Esperado<Impressao>(outro(), {{Impressao::Reservado0, false},
                                                      {Impressao::TipoImpressao, texto(tipo)},
                                                      {Impressao::Reservado6, vazio()}}));
        EXPECT_TRUE(hostapi::isEmptyParam(b.value(Impressao::Omitido)));
        const platform::DataPacket venda = pacote(b.value(Impressao::Venda));
        EXPECT_EQ(venda.fields.size(), 71);
        EXPECT_EQ(coluna(venda, QStringLiteral("NRSEQ")), QVariantList{QStringLiteral("001")});
        EXPECT_EQ(b.value(Impressao::VendaCopia), b.value(Impressao::Venda));
        const platform::DataPacket p = pacote(b.value(Impressao::ParamImpCupNF));
        ASSERT_EQ(p.fields.size(), 52);
        ASSERT_EQ(p.rows.size(), 1);
        auto v = [&](const char* campo) { return coluna(p, QString::fromLatin1(campo)).value(0); };
        EXPECT_EQ(v("NRSEQVENDA").toString(), form->stNrSeqVenda);
        EXPECT_FALSE(form->stNrSeqVenda.isEmpty());
        EXPECT_DOUBLE_EQ(v("TOTALPAGO").toDouble(), 0.01);
        EXPECT_EQ(v("CHAVEACESSONFCe").toString(), form->stChaveAcesso);
        EXPECT_EQ(v("QRCODENFCe").toString(), form->stQrCode);
        EXPECT_EQ(v("SENHACUPOM").toString(), form->stSenhaCupom);
        EXPECT_EQ(v("NRNAOFISCAL").toString(), sat() ? QString() : form->stNrNfce);
        EXPECT_EQ(v("PROTAUTNFCE").toString(), form->stProtAutNfce);
        EXPECT_EQ(v("IDREIMPRNFCE").toString(), QStringLiteral("S"));
        EXPECT_EQ(v("VENDAREALIZADA").toString(), QStringLiteral("A"));
    }

    // A completed redemption, then gift P1 of CP1 chosen for the next one, with the call
    // record emptied: where the cases about a later attempt start.
    void depoisDeUmResgate()
    {
        prepara();
        confirma();
        ASSERT_EQ(vendasAtivas(), 1);
        campanha(QStringLiteral("CP1"));
        escolhe({QStringLiteral("P1")});
        esqueceChamadas();
    }

    void confereIncluiVendaCan(const Chamada& c, int linhasVenda)
    {
        ASSERT_EQ(c.args.size(), 4);
        EXPECT_EQ(c.args[1], QVariant(hostapi::block::highestIndex<VendaCan>));
        const QVariantList b = c.args[0].toList();
        confereBloco(b, Esperado<VendaCan>(vazio(), {{VendaCan::Venda, outro()},
                                                     {VendaCan::VendaCancelada, QVariant()},
                                                     {VendaCan::CdCaixa, texto("003")},
                                                     {VendaCan::CdEmpresa, texto("E1")},
                                                     {VendaCan::NrSerieImp, texto("BE0001")},
                                                     {VendaCan::DsModeloEcf, texto("MOD1")},
                                                     {VendaCan::DsMarcaEcf, texto("MARCA")},
                                                     {VendaCan::EcfImp, texto("ECF1")},
                                                     {VendaCan::DtMovimento, movimento()}}));
        const platform::DataPacket venda = pacote(b.value(VendaCan::Venda));
        EXPECT_EQ(venda.fields.size(), 71);
        EXPECT_EQ(venda.rows.size(), linhasVenda);
        if (linhasVenda > 0) {
            EXPECT_EQ(coluna(venda, QStringLiteral("CDPRODUTO")).value(0).toString(), QStringLiteral("P1"));
            EXPECT_EQ(coluna(venda, QStringLiteral("NRCUPOMFIS")).value(0).toString().trimmed(), form->stCupNr);
        }
    }
};

// ---- a campaign overdrawn ---------------------------------------------------------------

TEST_P(Confirmacao, SaldoInsuficienteNaoTocaDispositivos)
{
    prepara();
    escolhe({QStringLiteral("P2"), QStringLiteral("P2")});  // 30 + 50 + 50 of 100
    ASSERT_DOUBLE_EQ(saldo(QStringLiteral("CP1"), "VRRESTANTE"), -30.0);
    esqueceChamadas();
    fakes.messages.clear();
    confirma();
    ASSERT_EQ(fakes.messages.size(), 1);
    EXPECT_EQ(fakes.messages[0].texto, kSaldoInsuf);
    EXPECT_EQ(fakes.messages[0].tipo, hostkit::tmAviso);
    EXPECT_EQ(fakes.messages[0].idEsquema, QStringLiteral("002"));
    EXPECT_TRUE(dispositivos().isEmpty()) << dispositivos().join(u',').toStdString();
    EXPECT_EQ(indicadores, 0);
    EXPECT_EQ(brindes(), 3);
    EXPECT_TRUE(form->blbConfirma->isEnabled());
    EXPECT_TRUE(form->blbCancelaBrinde->isEnabled());
    EXPECT_DOUBLE_EQ(saldo(QStringLiteral("CP1"), "VRRESTANTE"), -30.0);
    EXPECT_EQ(vendasAtivas(), 0);
}

TEST_P(Confirmacao, SaldoExatamenteZeroPassa)
{
    perfil(GetParam());
    abreC1();
    campanha(QStringLiteral("CP1"));
    escolhe({QStringLiteral("P2"), QStringLiteral("P2")});  // 50 + 50 of 100
    ASSERT_DOUBLE_EQ(saldo(QStringLiteral("CP1"), "VRRESTANTE"), 0.0);
    confirma();
    EXPECT_FALSE(mensagens().contains(kSaldoInsuf));
    EXPECT_EQ(vendasAtivas(), 1);
    EXPECT_DOUBLE_EQ(saldoBanco(QStringLiteral("CP1"), "VRRESTANTE"), 0.0);
    EXPECT_DOUBLE_EQ(saldo(QStringLiteral("CP1"), "VRRESTANTE"), 0.0);
}

// ---- the campaigns the balance check walks ----------------------------------------------

// Gifts of CP2 chosen first, then of CP1: the list shows the last chosen first, so the
// check walks CP1's gifts before CP2's. A campaign may be taken out of the balances grid
// before F5, as a reload that no longer lists it leaves it.
struct CasoSaldo {
    const char* nome;
    QStringList cp2, cp1;
    const char* foraDosSaldos;  // nullptr: every campaign listed
    bool recusa;
};

void PrintTo(const CasoSaldo& c, std::ostream* os)
{
    *os << c.nome << ": CP2 " << testing::PrintToString(c.cp2) << ", CP1 " << testing::PrintToString(c.cp1)
        << (c.foraDosSaldos ? std::string(", ") + c.foraDosSaldos + " out of the balances" : std::string())
        << (c.recusa ? ", refused" : ", accepted");
}

class SaldosNaConfirmacao : public RedemptionFixture, public ::testing::WithParamInterface<CasoSaldo> {};

TEST_P(SaldosNaConfirmacao, SoAsCampanhasListadasEAteAPrimeiraEstouradaContam)
{
    const CasoSaldo& caso = GetParam();
    perfil(Perfil::Nfce);
    abreC1();
    campanha(QStringLiteral("CP2"));
    escolhe(caso.cp2);
    campanha(QStringLiteral("CP1"));
    escolhe(caso.cp1);
    form->cdsBrinde->first();
    ASSERT_EQ(form->cdsBrinde->fieldByName(QStringLiteral("CDCAMPANHA")).asString(), QStringLiteral("CP1"));
    if (caso.foraDosSaldos) {
        ASSERT_TRUE(form->cdsCampanha->locate(QStringLiteral("CDCAMPANHA"), QString::fromLatin1(caso.foraDosSaldos)));
        form->cdsCampanha->remove();
    }
    esqueceChamadas();
    fakes.messages.clear();
    confirma();
    EXPECT_EQ(fakes.messageTexts().contains(kSaldoInsuf), caso.recusa) << fakes.messageTexts().join(u'\n').toStdString();
    EXPECT_EQ(vendasAtivas(), caso.recusa ? 0 : 1);
    EXPECT_EQ(indicadores, caso.recusa ? 0 : 1);
}

const QString kP1 = QStringLiteral("P1"), kP2 = QStringLiteral("P2");

INSTANTIATE_TEST_SUITE_P(
    Casos, SaldosNaConfirmacao,
    ::testing::Values(
        // CP2's gift is skipped, CP1 (30 of 100) pays: the sale goes ahead.
        CasoSaldo{"CampanhaForaDosSaldos", {kP1}, {kP1}, "CP2", false},
        // No gift's campaign is listed: nothing can pay.
        CasoSaldo{"NenhumaCampanhaEncontrada", {}, {kP1}, "CP1", true},
        // CP1 pays, CP2 (5 x 20 of 80 voucher points) does not.
        CasoSaldo{"SoASegundaEstourada", {kP1, kP1, kP1, kP1, kP1}, {kP1}, nullptr, true},
        // CP1 (3 x 50 of 100) does not pay; CP2, walked after it, would.
        CasoSaldo{"SoAPrimeiraEstourada", {kP1}, {kP2, kP2, kP2}, nullptr, true}),
    [](const ::testing::TestParamInfo<CasoSaldo>& info) { return std::string(info.param.nome); });

// ---- the sale generated -------------------------------------------------------------------

TEST_P(Confirmacao, VendaGerada)
{
    prepara();
    confirma();
    EXPECT_TRUE(fakes.errors.isEmpty()) << fakes.errors.join(u'\n').toStdString();
    EXPECT_TRUE(mensagens().isEmpty()) << mensagens().join(u'\n').toStdString();
    confereLimpeza();
    EXPECT_EQ(vendasAtivas(), 1);
    EXPECT_DOUBLE_EQ(saldo(QStringLiteral("CP1"), "VRRESTANTE"), 70.0);
    EXPECT_EQ(linhas(QStringLiteral("SELECT CDCAMPANHA, IDTPOPERITFIDEL, VRPONTOBRINDE, CDPRODUTO FROM ITFIDELIDADE")),
              (QList<QStringList>{{"CP1", "R", "30", "P1"}}));

    QStringList esperado{QStringLiteral("AtivaProcesso")};
    if (impressora())
        esperado << QStringList{"AbreCupom", "DataMoviFiscal", "getProdCodCestNcm", "VendaItem", "FechaCupom",
                                "Atu_TotGeral"};
    if (nfce())
        esperado << QStringList{"getNumeroSerieNFCe", "getDataEmissNFCe"};
    esperado << QStringLiteral("SetConcluiFechamento");
    if (nfce())
        esperado << QStringLiteral("DisparaImpressaoNaoFiscal");
    if (sat())
        esperado << QStringList{"SATOnline", "AtualizaVendaSat", "DisparaImpressaoNaoFiscal"};
    esperado << QStringLiteral("DesativaProcesso");
    EXPECT_EQ(dispositivos(), esperado);

    const QString tipo = nfce() ? QStringLiteral("N") : sat() ? QStringLiteral("S") : QStringLiteral("E");
    confereFechamentoVenda(de(QStringLiteral("SetConcluiFechamento")).value(0), tipo);
    EXPECT_EQ(form->stNrSeqVenda, de(QStringLiteral("SetConcluiFechamento")).value(0).result.toString());
    if (nfce()) {
        const QVariantList retorno = de(QStringLiteral("SetConcluiFechamento")).value(0).out.value(0).toList();
        EXPECT_EQ(form->stChaveAcesso, retorno.value(hostapi::answer::Fechamento::ChaveAcesso).toString());
        EXPECT_EQ(form->stChaveAcesso.size(), 44);
        EXPECT_EQ(form->stQrCode, retorno.value(hostapi::answer::Fechamento::QrCode).toString());
        EXPECT_EQ(form->stProtAutNfce, retorno.value(hostapi::answer::Fechamento::Protocolo).toString());
        confereImpressao(de(QStringLiteral("DisparaImpressaoNaoFiscal")).value(0), "VENDA_NFCe");
    }
    if (sat()) {
        const Chamada s = de(QStringLiteral("SATOnline")).value(0);
        confereBloco(s.args.mid(0, 8),
                     {texto("01"), texto("003"), form->stNrSeqVenda, texto("N"), texto("123456789"), vazio(),
                      texto("0"), texto("0")},
                     "SATOnline");
        const QStringList resposta = s.out.value(0).toStringList();
        QString chave;
        for (const QString& l : resposta)
            if (l.startsWith(QLatin1String("chaveConsulta=")))
                chave = l.mid(14);
        ASSERT_TRUE(chave.startsWith(QLatin1String("CFe")));
        EXPECT_EQ(form->stChaveAcesso, chave);
        EXPECT_TRUE(form->stQrCode.startsWith(chave.mid(3) + QLatin1Char('|'))) << form->stQrCode.toStdString();
        EXPECT_EQ(form->stQrCode.split(QLatin1Char('|')).size(), 5);
        EXPECT_EQ(form->stNrCfe, chave.mid(34, 6));
        const Chamada a = de(QStringLiteral("AtualizaVendaSat")).value(0);
        confereBloco(a.args, {texto("01"), texto("003"), form->stNrSeqVenda, form->stNrCfe, form->stQrCode, outro()},
                     "AtualizaVendaSat");
        const Chamada m = de(QStringLiteral("MensagemMetodo")).value(0);
        confereBloco(m.args,
                     {outro(), true, 10, texto("AtualizaVendaSat"), texto("Cli_Dul06300"),
                      QStringLiteral("01-003-%1-stlXmlSat-%2-%3").arg(form->stNrSeqVenda, form->stNrCfe, form->stQrCode),
                      texto("002")},
                     "MensagemMetodo(AtualizaVendaSat)");
        EXPECT_EQ(de(QStringLiteral("CriaCodBarra")).value(0).args.value(0).toString(), form->stChaveAcesso);
        confereImpressao(de(QStringLiteral("DisparaImpressaoNaoFiscal")).value(0), "EXTRATO_SAT");
        EXPECT_EQ(valor(QStringLiteral("SELECT COUNT(*) FROM VENDA WHERE NRSEQVENDA = '%1'").arg(form->stNrSeqVenda)),
                  QStringLiteral("1"));
    }
    if (impressora()) {
        EXPECT_TRUE(diario().contains(QStringLiteral("Caneca"))) << diario().toStdString();
    }
}

TEST_P(Confirmacao, SegundoResgateReusaSenhaEReconstroiVenda)
{
    prepara();
    confirma();
    const QString senha = form->stSenhaCupom;
    ASSERT_FALSE(senha.isEmpty());
    campanha(QStringLiteral("CP1"));
    escolhe({QStringLiteral("P2")});
    confirma();
    EXPECT_EQ(form->stSenhaCupom, senha);
    EXPECT_EQ(de(QStringLiteral("PrxVendaDia")).size(), 1);
    EXPECT_EQ(vendasAtivas(), 2);
    EXPECT_DOUBLE_EQ(saldo(QStringLiteral("CP1"), "VRRESTANTE"), 20.0);
    EXPECT_EQ(form->cdsVenda->recordCount(), 1);
    EXPECT_EQ(form->cdsVenda->fieldByName(QStringLiteral("CDPRODUTO")).asString(), QStringLiteral("P2"));
}

// ---- the receipt failed (terminals with a fiscal printer) ----------------------------------

TEST_P(Confirmacao, CupomRecusadoCancelaSemNomearVendaAnterior)
{
    if (!impressora())
        GTEST_SKIP() << "without a fiscal printer the receipt step cannot refuse";
    ASSERT_NO_FATAL_FAILURE(depoisDeUmResgate());
    fiscaldev::library().failNext(QStringLiteral("AbreCupom"));
    confirma();
    EXPECT_EQ(mensagens(), (QStringList{kErroImpCup, kErroImpCup}));
    for (const auto& m : fakes.messages)
        EXPECT_EQ(m.tipo, hostkit::tmErro);
    EXPECT_EQ(dispositivos(), (QStringList{"AtivaProcesso", "AbreCupom", "IncluiVendaCan", "DesativaProcesso"}));
    confereIncluiVendaCan(de(QStringLiteral("IncluiVendaCan")).value(0), 0);
    confereLimpeza();
    EXPECT_EQ(vendasAtivas(), 1);  // the earlier sale is untouched
    EXPECT_EQ(vendasCanceladas(), 0);
    EXPECT_DOUBLE_EQ(saldo(QStringLiteral("CP1"), "VRRESTANTE"), 70.0);
}

// A receipt step that raises, after an earlier completed redemption, with the cancelled
// sale's entry failing too: no sale of this attempt exists, so no message may name the
// earlier one as pending.
TEST_P(Confirmacao, ErroNoCupomNaoNomeiaVendaAnteriorComoPendente)
{
    if (!impressora())
        GTEST_SKIP() << "without a fiscal printer the receipt step cannot raise";
    ASSERT_NO_FATAL_FAILURE(depoisDeUmResgate());
    fiscaldev::library().failNext(QStringLiteral("VendaItem"), 1, hostapi::Fault::Raise);
    possvc::library().failNext(QStringLiteral("IncluiVendaCan"), 1, hostapi::Fault::Raise);
    confirma();
    const QString pendente = form->msgPadrao->Msg(QStringLiteral("VENDA_NAO_CANC")).section(u'%', 0, 0);
    for (const QString& m : mensagens())
        EXPECT_FALSE(m.startsWith(pendente)) << m.toStdString();
    EXPECT_TRUE(mensagens().contains(kErroImpCup));
    EXPECT_EQ(vendasAtivas(), 1);  // the earlier sale is untouched
    EXPECT_DOUBLE_EQ(saldo(QStringLiteral("CP1"), "VRRESTANTE"), 70.0);
}

TEST_P(Confirmacao, ItemRecusadoCancelaCupom)
{
    if (!impressora())
        GTEST_SKIP() << "without a fiscal printer the receipt step cannot refuse";
    confirmaComRecusa("VendaItem");
    const auto cancela = de(QStringLiteral("Cancela_Cupom_Imp"));
    ASSERT_EQ(cancela.size(), 1);
    confereBloco(cancela[0].args.value(0).toList(), cancelaEsperado(true));
    EXPECT_EQ(cancela[0].args.value(1), QVariant(hostapi::block::highestIndex<Cancela>));
    EXPECT_TRUE(de(QStringLiteral("FechaCupom")).isEmpty());
    EXPECT_TRUE(de(QStringLiteral("Atu_TotGeral")).isEmpty());
    EXPECT_EQ(mensagens(), (QStringList{kErroImpCup, kErroImpCup}));
    confereLimpeza();
    confereDesfeito();
    EXPECT_FALSE(fiscaldev::sim::status().receiptOpen);
}

TEST_P(Confirmacao, FechamentoRecusadoAtualizaTotaisECancela)
{
    if (!impressora())
        GTEST_SKIP() << "without a fiscal printer the receipt step cannot refuse";
    confirmaComRecusa("FechaCupom");
    QStringList ops = dispositivos();
    const int fecha = ops.indexOf(QStringLiteral("FechaCupom"));
    ASSERT_GE(fecha, 0);
    EXPECT_EQ(ops.mid(fecha, 3), (QStringList{"FechaCupom", "Atu_TotGeral", "Cancela_Cupom_Imp"}));
    const QVariantList retorno = de(QStringLiteral("FechaCupom")).value(0).out.value(0).toList();
    EXPECT_EQ(form->stRetFechaCupom, retorno.value(hostapi::answer::Impressora::Cupom).toString());
    EXPECT_TRUE(de(QStringLiteral("SetConcluiFechamento")).isEmpty());
    confereIncluiVendaCan(de(QStringLiteral("IncluiVendaCan")).value(0), 0);
    confereLimpeza();
    confereDesfeito();
}

// ---- the sale failed ------------------------------------------------------------------------

TEST_P(Confirmacao, FechamentoDaVendaRecusado)
{
    prepara();
    possvc::library().failNext(QStringLiteral("SetConcluiFechamento"));
    confirma();
    EXPECT_EQ(mensagens(), QStringList{kErroImpCup});  // from the sale issue only
    EXPECT_TRUE(form->stNrSeqVenda.isEmpty());
    if (impressora()) {
        const auto cancela = de(QStringLiteral("Cancela_Cupom_Imp"));
        ASSERT_EQ(cancela.size(), 1);
        confereBloco(cancela[0].args.value(0).toList(), cancelaEsperado(false));
        EXPECT_TRUE(cancela[0].result.toBool());
        confereIncluiVendaCan(de(QStringLiteral("IncluiVendaCan")).value(0), 1);
        EXPECT_TRUE(diario().contains(QStringLiteral("CUPOM FISCAL CANCELADO"))) << diario().toStdString();
    } else {
        EXPECT_TRUE(de(QStringLiteral("Cancela_Cupom_Imp")).isEmpty());
        EXPECT_TRUE(de(QStringLiteral("IncluiVendaCan")).isEmpty());
    }
    // No sale was concluded: the SAT update has nothing of this redemption to name.
    EXPECT_TRUE(de(QStringLiteral("AlteraVendaCan")).isEmpty());
    confereLimpeza();
    confereDesfeito();
}

TEST_P(Confirmacao, ImpressoraRecusaCancelarNadaMaisEDesfeito)
{
    if (!impressora())
        GTEST_SKIP() << "a terminal without a fiscal printer";
    prepara();
    possvc::library().failNext(QStringLiteral("SetConcluiFechamento"));
    fiscaldev::library().failNext(QStringLiteral("Cancela_Cupom_Imp"));
    confirma();
    ASSERT_EQ(de(QStringLiteral("Cancela_Cupom_Imp")).size(), 1);
    EXPECT_TRUE(de(QStringLiteral("IncluiVendaCan")).isEmpty());
    // The receipt stands on the printer: the operator is not told the sale was cancelled.
    EXPECT_EQ(mensagens(), QStringList{form->msgPadrao->Msg(QStringLiteral("CUPOM_NAO_CANC")).arg(form->stCupNr)});
    EXPECT_TRUE(motivo(0).contains(QStringLiteral("SetConcluiFechamento")));
    confereLimpeza();
    EXPECT_EQ(vendasAtivas(), 0);
}

// A failure after the close-out concluded the sale: the undo of the profile decides.
TEST_P(Confirmacao, FalhaDepoisDeConcluirAVenda)
{
    if (GetParam() == Perfil::Fiscal)
        GTEST_SKIP() << "on a fiscal-printer terminal nothing follows the close-out";
    prepara();
    if (sat()) {
        possvc::library().failNext(QStringLiteral("SATOnline"));
    } else {
        possvc::DisparaImpressaoNaoFiscal = [](const QVariantList&, int, QVariant&) -> bool {
            throw platform::HostError(QStringLiteral("impressora não fiscal desligada"));
        };
    }
    confirma();
    EXPECT_EQ(mensagens().value(0), sat() ? kErroImpCup
                                          : form->msgPadrao->Msg(QStringLiteral("NFCE_SEM_VIA")).arg(form->stNrNfce));
    EXPECT_EQ(motivo(0),
              sat() ? QStringLiteral("SAT em processamento. Tente novamente.")
                    : QStringLiteral("impressora não fiscal desligada"));
    ASSERT_FALSE(form->stNrSeqVenda.isEmpty());
    confereLimpeza();
    if (sat()) {
        const auto altera = de(QStringLiteral("AlteraVendaCan"));
        ASSERT_EQ(altera.size(), 1);
        confereBloco(altera[0].args.value(0).toList(),
                     Esperado<AlteraCan>(vazio(), {{AlteraCan::NrSeqVenda, form->stNrSeqVenda},
                                                   {AlteraCan::CdFilial, texto("01")},
                                                   {AlteraCan::CdCaixa, texto("003")},
                                                   {AlteraCan::DtMovimento, movimento()},
                                                   {AlteraCan::Fixo7, texto("SAT")}}));
        EXPECT_EQ(altera[0].args.value(1), QVariant(hostapi::block::highestIndex<AlteraCan>));
        const auto mm = de(QStringLiteral("MensagemMetodo"));
        ASSERT_GE(mm.size(), 2);
        const QString contexto = QStringLiteral("%1-01-003-%2").arg(
            form->stNrSeqVenda, QLocale::system().toString(QDate(2026, 12, 7), QLocale::ShortFormat));
        confereBloco(mm[0].args,
                     {outro(), true, 0, texto("AlteraVendaCan"), texto("Cli_Vak04100"), contexto, QString()},
                     "MensagemMetodo(AlteraVendaCan)");
        EXPECT_TRUE(de(QStringLiteral("DisparaImpressaoNaoFiscal")).isEmpty());
        confereDesfeito();
        EXPECT_EQ(vendasCanceladas(), 1);
    } else {
        // The NFC-e was issued: nothing is undone, the concluded sale stays, with or
        // without a fiscal printer.
        EXPECT_TRUE(de(QStringLiteral("Cancela_Cupom_Imp")).isEmpty());
        EXPECT_TRUE(de(QStringLiteral("IncluiVendaCan")).isEmpty());
        EXPECT_TRUE(de(QStringLiteral("AlteraVendaCan")).isEmpty());
        EXPECT_EQ(vendasAtivas(), 1);
        EXPECT_DOUBLE_EQ(saldo(QStringLiteral("CP1"), "VRRESTANTE"), 70.0);
    }
}

// The SAT update names only a sale this attempt concluded, never an earlier one.
TEST_P(Confirmacao, FechamentoRecusadoNaoCancelaVendaAnterior)
{
    ASSERT_NO_FATAL_FAILURE(depoisDeUmResgate());
    possvc::library().failNext(QStringLiteral("SetConcluiFechamento"));
    confirma();
    EXPECT_TRUE(de(QStringLiteral("AlteraVendaCan")).isEmpty());
    for (const Chamada& c : de(QStringLiteral("IncluiVendaCan")))
        EXPECT_EQ(coluna(pacote(c.args[0].toList().value(VendaCan::Venda)), QStringLiteral("NRCUPOMFIS")).size(), 1);
    EXPECT_EQ(vendasAtivas(), 1);
    EXPECT_EQ(vendasCanceladas(), 0);
    EXPECT_DOUBLE_EQ(saldo(QStringLiteral("CP1"), "VRRESTANTE"), 70.0);
}

// An error text from the NFC-e numbering never travels as a number.
TEST_P(Confirmacao, NumeracaoNfceComErro)
{
    if (!nfce())
        GTEST_SKIP() << "NFC-e terminals only";
    prepara();
    term.exec(QStringLiteral("DROP TABLE INUTILIZANFCE"));
    confirma();
    EXPECT_EQ(mensagens(), QStringList{kErroImpCup});
    EXPECT_TRUE(de(QStringLiteral("SetConcluiFechamento")).isEmpty());
    EXPECT_TRUE(de(QStringLiteral("getDataEmissNFCe")).isEmpty());
    EXPECT_TRUE(form->stNrNfce.isEmpty());
    confereLimpeza();
    confereDesfeito();
}

INSTANTIATE_TEST_SUITE_P(Perfis, Confirmacao,
                         ::testing::Values(Perfil::Fiscal, Perfil::Nfce, Perfil::Sat, Perfil::NfceComImpressora,
                                           Perfil::NfceESat),
                         [](const ::testing::TestParamInfo<Perfil>& info) { return std::string(nomePerfil(info.param)); });

}  // namespace
}  // namespace redemption
