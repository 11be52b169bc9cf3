// Opening the screen from the terminal's files.
#include "ScreenFixture.h"
#include "platform/db/ServiceResult.h"

#include <QDir>
#include <QFile>

namespace {

using testsupport::ScreenFixture;

class InitTest : public ScreenFixture {
protected:
    // Opens expecting a failure; returns its text.
    QString falha(const QString& consumidor = {})
    {
        try {
            abre(consumidor);
        } catch (const platform::Error& e) {
            return e.text();
        }
        ADD_FAILURE() << "the opening did not fail";
        return {};
    }
    QList<hostkit::CallRecord> chamadas;
    void observa()
    {
        hostkit::setCallObserver([this](const hostkit::CallRecord& r) { chamadas << r; });
    }
};

TEST_F(InitTest, ReadsEveryKeyOfTheParameterFile)
{
    abre();
    EXPECT_EQ(form->stIdEsquema, QStringLiteral("002"));
    EXPECT_EQ(form->stNrSerieImp, QStringLiteral("BE0001"));
    EXPECT_EQ(form->stCdFilial, QStringLiteral("01"));
    EXPECT_EQ(form->stCdLoja, QStringLiteral("L1"));
    EXPECT_EQ(form->stNmLoja, QStringLiteral("Loja Teste"));
    EXPECT_EQ(form->stCdCaixa, QStringLiteral("003"));
    EXPECT_EQ(form->stCdCliente, QStringLiteral("001"));
    EXPECT_EQ((QList<int>{form->inCor1, form->inCor2, form->inCor3, form->inCor4, form->inCor5, form->inCor6}),
              (QList<int>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(form->inTipoImpFis, 1);
    EXPECT_EQ(form->stDsObsCupFis, QStringLiteral("Obrigado"));
    EXPECT_EQ(form->dtAberCaix, QDateTime(QDate(2026, 12, 7), QTime(8, 0)));
    EXPECT_EQ(form->stDsModeloEcf, QStringLiteral("MOD1"));
    EXPECT_TRUE(form->boUtilizaImpFis);
    EXPECT_FALSE(form->boSistemaSat);
    EXPECT_EQ(form->stNrInsJurEmpr, QStringLiteral("12345678000195"));
    EXPECT_EQ(form->stIdUtilSatComp, QStringLiteral("N"));
    EXPECT_EQ(form->stMd5, QStringLiteral("MD-5:d41d8cd98f00b204e9800998ecf8427e"));
    EXPECT_EQ(form->stCdOperador, QStringLiteral("7"));
    EXPECT_EQ(form->stNmOperador, QStringLiteral("Caixa Teste"));
    EXPECT_EQ(form->dtMovimento, QDateTime(QDate(2026, 12, 7), QTime(0, 0)));
    EXPECT_TRUE(form->cdsAliqImpFis->active());
    EXPECT_TRUE(form->cdsConfTipoRece->active());
    // Not a SAT terminal: the register opening is not read.
    EXPECT_TRUE(form->stCdAtivacaoSat.isEmpty());
    EXPECT_FALSE(form->cdsValidaAbertura->active());
}

TEST_F(InitTest, FilesNamedWithAnotherLetterCaseAreFound)
{
    term.removeFile(QStringLiteral("PARAMETROSQVN.CDS"));
    term.writeParams({}, QStringLiteral("ParametrosQvn.cds"));
    QDir(term.dir()).rename(QStringLiteral("Dados"), QStringLiteral("DADOS"));
    term.params[QStringLiteral("DSDIRCAD")] = term.dir() + QStringLiteral("/dados/");
    term.removeFile(QStringLiteral("ParametrosQvn.cds"));
    term.writeParams({}, QStringLiteral("ParametrosQvn.cds"));
    hostkit::setStringConexQvn(QStringLiteral("Provider=SQLite;Data Source=") + term.dir() + QStringLiteral("/DADOS/loja.db"));
    abre();
    EXPECT_EQ(form->stCdFilial, QStringLiteral("01"));
    EXPECT_TRUE(form->cdsAliqImpFis->active());
    EXPECT_EQ(form->stNmOperador, QStringLiteral("Caixa Teste"));
    EXPECT_EQ(form->stMd5, QStringLiteral("MD-5:d41d8cd98f00b204e9800998ecf8427e"));
}

TEST_F(InitTest, WithoutTheParameterFileTheOpeningStopsNamingIt)
{
    term.removeFile(QStringLiteral("PARAMETROSQVN.CDS"));
    EXPECT_TRUE(falha().contains(QStringLiteral("PARAMETROSQVN.CDS não foi encontrado")));
}

TEST_F(InitTest, AMissingKeyStopsTheOpeningAtThatKey)
{
    term.writeParams(QStringLiteral("CDLOJA"));
    EXPECT_TRUE(falha().contains(QStringLiteral("CDLOJA")));
}

TEST_F(InitTest, AParameterFileWithoutARowStopsTheOpeningNamingTheFile)
{
    const QString arquivo = term.dir() + QStringLiteral("/PARAMETROSQVN.CDS");
    platform::DataPacket p = platform::readPacketFile(arquivo);
    p.rows.clear();
    platform::writePacketFile(p, arquivo);
    const QString erro = falha();
    EXPECT_TRUE(erro.contains(arquivo)) << erro.toStdString();
    EXPECT_TRUE(erro.contains(QStringLiteral("nenhum registro"))) << erro.toStdString();
}

TEST_F(InitTest, AFailedConnectionStopsTheOpening)
{
    hostkit::setStringConexQvn(QStringLiteral("Provider=SQLite;Data Source=") + term.dir() +
                               QStringLiteral("/nao/existe/loja.db"));
    EXPECT_FALSE(falha().isEmpty());
}

TEST_F(InitTest, MissingCadastreFilesLeaveTheirFieldsAtTheirInitialValues)
{
    for (const char* f : {"Dados/Cadastros/ControleAcess.cds", "Dados/Cadastros/DataMovimento.cds",
                          "Dados/Cadastros/ConfTipoRece.cds", "Dados/Cadastros/AliqImpFis.cds", "Dados/QUORVAN.CDS"})
        term.removeFile(QString::fromLatin1(f));
    abre();
    EXPECT_TRUE(form->stCdOperador.isEmpty());
    EXPECT_TRUE(form->stNmOperador.isEmpty());
    EXPECT_EQ(form->dtMovimento, QDateTime(QDate(1899, 12, 30), QTime(0, 0)));
    EXPECT_FALSE(form->cdsConfTipoRece->active());
    EXPECT_FALSE(form->cdsAliqImpFis->active());
    EXPECT_TRUE(form->stMd5.isEmpty());
}

TEST_F(InitTest, DsDirCadWithoutATrailingSeparatorFindsNoHostData)
{
    term.params[QStringLiteral("DSDIRCAD")] = term.dir() + QStringLiteral("/Dados");
    term.writeParams();
    abre();
    EXPECT_TRUE(form->stMd5.isEmpty());
}

TEST_F(InitTest, ASatTerminalDecodesTheActivationCode)
{
    term.params[QStringLiteral("SISTEMAQVNSAT")] = true;
    term.writeParams();
    abre();
    EXPECT_EQ(form->stCdAtivacaoSat, QStringLiteral("123456789"));
}

TEST_F(InitTest, AGivenConsumerReplacesTheClientCodeEvenWithEmptyText)
{
    abre(QStringLiteral("C1"), QStringLiteral("Ana Souza"), QString());
    EXPECT_TRUE(form->stCdCliente.isEmpty());
    EXPECT_TRUE(!form->cdsCampanha->active() || form->cdsCampanha->recordCount() == 0);
    EXPECT_FALSE(form->blbPesqBrinde->isEnabled());
    EXPECT_FALSE(form->cdsConsumidor->active());
}

TEST_F(InitTest, WithoutAConsumerTheClientArgumentIsIgnored)
{
    abre({}, QStringLiteral("Ignorado"), QStringLiteral("999"));
    EXPECT_EQ(form->stCdCliente, QStringLiteral("001"));
    EXPECT_TRUE(form->lblConsumidor->text().isEmpty());
    EXPECT_TRUE(form->cdsConsumidor->active());
}

TEST_F(InitTest, TheServiceCallsCarryTheirContexts)
{
    observa();
    abre(QStringLiteral("C1"), QStringLiteral("Ana Souza"));
    QStringList metodo;
    for (const auto& c : chamadas)
        if (c.op == QLatin1String("MensagemMetodo"))
            metodo << c.args.value(3).toString() + QLatin1Char('|') + c.args.value(5).toString() + QLatin1Char('|') +
                          c.args.value(6).toString();
    EXPECT_EQ(metodo, QStringList{QStringLiteral("GetSaldoConsCamp|001-C1|002")});
}

// The opening's one data step, with a consumer given and without: every argument of its
// MensagemMetodo call, and what a database error in that step leaves.
struct PassoDeAbertura {
    const char* nome;
    QString consumidor;
    QString metodo, contexto;
    QString tabela;  // the table whose loss makes the step fail
};

void PrintTo(const PassoDeAbertura& p, std::ostream* os)
{
    *os << p.nome << ": " << p.metodo.toStdString() << " " << testing::PrintToString(p.contexto) << ", fails without "
        << p.tabela.toStdString();
}

class OpeningStepTest : public InitTest, public ::testing::WithParamInterface<PassoDeAbertura> {
protected:
    QList<hostkit::CallRecord> metodos() const
    {
        QList<hostkit::CallRecord> r;
        for (const auto& c : chamadas)
            if (c.op == QLatin1String("MensagemMetodo"))
                r << c;
        return r;
    }
    platform::ClientDataSet* carregado() const
    {
        return GetParam().consumidor.isEmpty() ? form->cdsConsumidor : form->cdsCampanha;
    }
};

TEST_P(OpeningStepTest, PassesEveryArgumentOfMensagemMetodo)
{
    const PassoDeAbertura& p = GetParam();
    observa();
    abre(p.consumidor, p.consumidor.isEmpty() ? QString() : QStringLiteral("Ana Souza"));
    const auto chamadasMetodo = metodos();
    ASSERT_EQ(chamadasMetodo.size(), 1);
    const QVariantList& args = chamadasMetodo[0].args;
    ASSERT_EQ(args.size(), 7);
    EXPECT_FALSE(args[0].isNull()) << "the data service's packet";
    EXPECT_FALSE(platform::db::isErrorResult(args[0]));
    EXPECT_EQ(args[1], QVariant(true));  // errors are shown
    EXPECT_EQ(args[2], QVariant(0));     // level
    EXPECT_EQ(args[3].toString(), p.metodo);
    EXPECT_EQ(args[4].toString(), QStringLiteral("Cli_Vak04100"));
    EXPECT_EQ(args[5].toString(), p.contexto);
    EXPECT_EQ(args[6].toString(), QStringLiteral("002"));
    EXPECT_TRUE(carregado()->active());
}

TEST_P(OpeningStepTest, ADatabaseErrorIsReportedOnceAndTheScreenStillOpens)
{
    const PassoDeAbertura& p = GetParam();
    term.exec(QStringLiteral("DROP TABLE ") + p.tabela);
    observa();
    abre(p.consumidor, p.consumidor.isEmpty() ? QString() : QStringLiteral("Ana Souza"));
    // MensagemMetodo got the error text, reported it naming method and unit, and gave
    // null back: the dataset it is loaded into stays closed.
    const auto chamadasMetodo = metodos();
    ASSERT_EQ(chamadasMetodo.size(), 1);
    EXPECT_EQ(chamadasMetodo[0].args.value(0).typeId(), QMetaType::QString);
    EXPECT_FALSE(chamadasMetodo[0].result.isValid());
    ASSERT_EQ(fakes.messages.size(), 1);
    EXPECT_TRUE(fakes.messages[0].texto.contains(p.metodo)) << fakes.messages[0].texto.toStdString();
    EXPECT_TRUE(fakes.messages[0].texto.contains(QStringLiteral("Cli_Vak04100")));
    EXPECT_FALSE(carregado()->active());
    EXPECT_NE(form, nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Openings, OpeningStepTest,
    ::testing::Values(
        PassoDeAbertura{"consumer_list", {}, QStringLiteral("GetConsumidor"), {}, QStringLiteral("CONSUMIDOR")},
        PassoDeAbertura{"given_consumer", QStringLiteral("C1"), QStringLiteral("GetSaldoConsCamp"),
                        QStringLiteral("001-C1"), QStringLiteral("MOVPONTOCONS")}),
    [](const auto& info) { return std::string(info.param.nome); });

struct Rodape {
    bool lumivend, nfce, sat;
    QVariantList args;
    QString texto;
};

// The products the terminal's parameters switch on, as the case's name and as shown.
std::string produtos(const Rodape& r)
{
    std::string name = r.lumivend ? "lumivend" : "";
    if (r.nfce)
        name += name.empty() ? "nfce" : "_nfce";
    if (r.sat)
        name += name.empty() ? "sat" : "_sat";
    return name.empty() ? "fiscal" : name;
}

void PrintTo(const Rodape& r, std::ostream* os)
{
    *os << produtos(r) << ": " << testing::PrintToString(r.texto);
}

class FooterTest : public InitTest, public ::testing::WithParamInterface<Rodape> {};

TEST_P(FooterTest, FollowsTheTerminalsProducts)
{
    const Rodape& r = GetParam();
    term.params[QStringLiteral("SISTEMALUMIVEND")] = r.lumivend;
    term.params[QStringLiteral("SISTEMAQVNNFCE")] = r.nfce;
    term.params[QStringLiteral("SISTEMAQVNSAT")] = r.sat;
    term.writeParams();
    observa();
    abre();
    QVariantList args;
    for (const auto& c : chamadas)
        if (c.op == QLatin1String("MontaRodapeGeral"))
            args = c.args;
    EXPECT_EQ(args, r.args);
    EXPECT_EQ(form->lblCodTela->text(), r.texto);
}

INSTANTIATE_TEST_SUITE_P(
    Terminals, FooterTest,
    ::testing::Values(
        Rodape{false, false, false, {true, QStringLiteral("VAK04100"), QStringLiteral("S")},
               QStringLiteral("F1 - Menu Fiscal - Vak04100")},
        Rodape{false, false, true, {true, QStringLiteral("VAK04100"), QStringLiteral("S")},
               QStringLiteral("F1 - Menu Fiscal - Vak04100")},
        Rodape{true, false, false, {false, QStringLiteral("VAK04100"), QStringLiteral("N")}, QStringLiteral("Vak04100")},
        Rodape{false, true, false, {false, QStringLiteral("VAK04100"), QStringLiteral("N")}, QStringLiteral("Vak04100")}),
    [](const ::testing::TestParamInfo<Rodape>& info) { return produtos(info.param); });

}  // namespace
