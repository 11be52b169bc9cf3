// The redemption through the reference host: pdvhost loads the module, plays a script
// against the screen (F4 chooses a gift, F5 confirms, "fail" makes a host operation
// refuse) and writes its transcript; the shop database is checked afterwards. Each run
// also as a host of the published contract alone (--contract-only), which ends with
// status 3 at any call outside it.

#include "RedemptionFixture.h"
#include "TerminalFixture.h"
#include "support/CashierLocale.h"
#include "support/Transcript.h"

#include "hostapi/ArgumentBlocks.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>

#include <gtest/gtest.h>

#include <tuple>

namespace {

using redemption::Perfil;
using AlteraCan = hostapi::block::AlteraVendaCan;
using Impressao = hostapi::block::DisparaImpressaoNaoFiscal;
using VendaCan = hostapi::block::IncluiVendaCan;

using Execucao = testsupport::Transcript;
using testsupport::campaignValue;

class Pdvhost : public ::testing::TestWithParam<std::tuple<Perfil, bool>> {
protected:
    Perfil perfil() const { return std::get<0>(GetParam()); }
    bool soContrato() const { return std::get<1>(GetParam()); }
    void SetUp() override
    {
        const Perfil p = perfil();
        term.params[QStringLiteral("UTILIZAIMPFIS")] = p == Perfil::Fiscal;
        term.params[QStringLiteral("SISTEMAQVNNFCE")] = p == Perfil::Nfce;
        term.params[QStringLiteral("SISTEMAQVNSAT")] = p == Perfil::Sat;
        term.writeAll();
        redemption::escreveTiposRecebimento(term.dir());
    }

    // `envolto`: a program (and its arguments) that runs pdvhost, given as its last arguments.
    Execucao executa(const QString& script, const QStringList& envolto = {})
    {
        const QString dir = term.dir();
        QFile f(dir + QStringLiteral("/script.txt"));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(script.toUtf8());
        f.close();
        QDir(dir).mkpath(QStringLiteral("out"));
        QProcess p;
        p.setWorkingDirectory(dir + QStringLiteral("/out"));
        p.setProcessChannelMode(QProcess::ForwardedChannels);
        const QString transcricao = dir + QStringLiteral("/out/transcript.jsonl");
        QFile::remove(transcricao);
        QStringList programa{QStringLiteral(PDVHOST)};
        if (!envolto.isEmpty())
            programa = envolto + programa;
        p.start(programa.first(),
                programa.mid(1) + QStringList{QStringLiteral("--terminal"), dir, QStringLiteral("--db"), term.connectionString(),
                 QStringLiteral("--consumer"), QStringLiteral("C1"), QStringLiteral("--name"), QStringLiteral("Ana Souza"),
                 QStringLiteral("--cpf"), QStringLiteral("12345678901"), QStringLiteral("--address"),
                 QStringLiteral("Rua A, 1"), QStringLiteral("--client"), QStringLiteral("001"), QStringLiteral("--script"),
                 f.fileName(), QStringLiteral("--transcript"), transcricao, QStringLiteral("--out"),
                 dir + QStringLiteral("/out")}
                    + (soContrato() ? QStringList{QStringLiteral("--contract-only")} : QStringList{}));
        EXPECT_TRUE(p.waitForFinished(120000));
        EXPECT_EQ(p.exitCode(), 0);
        return Execucao::read(transcricao);
    }

    QString valor(const QString& sql) const { return term.rows(sql).value(0).value(0); }
    int vendas(const char* situacao) const
    {
        return valor(QStringLiteral("SELECT COUNT(*) FROM VENDA WHERE IDSITUVENDA = '%1'").arg(QLatin1String(situacao)))
            .toInt();
    }

    static QString escolheEConfirma(const QString& falha = {})
    {
        return QStringLiteral("pick CDARVPROD=0101\nprice %1\nkey F4\n").arg(testsupport::localMoney(10.0)) + falha
               + QStringLiteral("key F5\n");
    }

    testsupport::TerminalFixture term;
};

const QString kErroImpCup = QStringLiteral("Ocorreu um erro na impressão do cupom. Venda cancelada.");

TEST_P(Pdvhost, ResgateConcluido)
{
    const Execucao e = executa(escolheEConfirma());
    ASSERT_EQ(e.calls(QStringLiteral("SetConcluiFechamento")).size(), 1);
    EXPECT_FALSE(e.calls(QStringLiteral("SetConcluiFechamento"))[0].value(QStringLiteral("result")).toString().isEmpty());
    EXPECT_TRUE(e.messages().isEmpty()) << e.messages().join(u'\n').toStdString();
    const QJsonObject estado = e.lastState();
    EXPECT_TRUE(estado.value(QStringLiteral("cdsBrinde")).toObject().value(QStringLiteral("rows")).toArray().isEmpty());
    EXPECT_FALSE(estado.value(QStringLiteral("enabled")).toObject().value(QStringLiteral("blbConfirma")).toBool());
    EXPECT_DOUBLE_EQ(campaignValue(estado.value(QStringLiteral("cdsCampanha")).toObject(), QStringLiteral("CP1"),
                                   QStringLiteral("VRRESTANTE")),
                     70.0);
    EXPECT_EQ(vendas("O"), 1);
    if (perfil() == Perfil::Fiscal) {
        EXPECT_TRUE(QFile::exists(term.dir() + QStringLiteral("/out/fiscal/journal.txt")));
    }
    if (perfil() != Perfil::Fiscal) {
        const auto impressao = e.calls(QStringLiteral("DisparaImpressaoNaoFiscal"));
        ASSERT_EQ(impressao.size(), 1);
        const QJsonArray bloco = impressao[0].value(QStringLiteral("args")).toArray().at(0).toArray();
        EXPECT_EQ(bloco.at(Impressao::Omitido).toObject(),
                  (QJsonObject{{QStringLiteral("empty"), true}}));
    }
}

// Two gifts whose prices have cents, as the price lookup answers them in the cashier's
// locale (12,34 under pt_BR): the closing's packets, read back into columns by the host
// for its transcript, once held a text column a row short, which the Release build read
// past its end at F5.
TEST_P(Pdvhost, DoisBrindesComCentavosNoIdiomaDoCaixa)
{
    const Execucao e = executa(QStringLiteral("pick CDARVPROD=0101\nprice %1\nkey F4\n"
                                              "pick CDARVPROD=0102\nprice %2\nkey F4\nkey F5\n")
                                   .arg(testsupport::localMoney(12.34), testsupport::localMoney(10.0)));
    EXPECT_TRUE(e.messages().isEmpty()) << e.messages().join(u'\n').toStdString();
    EXPECT_EQ(vendas("O"), 1);
    EXPECT_EQ(valor(QStringLiteral("SELECT COUNT(*) FROM ITFIDELIDADE")).toInt(), 2);
    EXPECT_DOUBLE_EQ(campaignValue(e.lastState().value(QStringLiteral("cdsCampanha")).toObject(), QStringLiteral("CP1"),
                                   QStringLiteral("VRRESTANTE")),
                     20.0);
}

TEST_P(Pdvhost, FechamentoRecusadoDesfazOResgate)
{
    const Execucao e = executa(escolheEConfirma(QStringLiteral("fail SetConcluiFechamento\n")));
    // The cancelled redemption, with the refusal as its reason.
    EXPECT_EQ(e.messageHeads().value(0), kErroImpCup);
    EXPECT_TRUE(e.messages().value(0).startsWith(kErroImpCup + QStringLiteral("\nMotivo: ")));
    const bool impressora = perfil() == Perfil::Fiscal;
    EXPECT_EQ(e.calls(QStringLiteral("Cancela_Cupom_Imp")).size(), impressora ? 1 : 0);
    EXPECT_EQ(e.calls(QStringLiteral("IncluiVendaCan")).size(), impressora ? 1 : 0);
    EXPECT_TRUE(e.calls(QStringLiteral("AlteraVendaCan")).isEmpty());
    EXPECT_DOUBLE_EQ(campaignValue(e.lastState().value(QStringLiteral("cdsCampanha")).toObject(), QStringLiteral("CP1"),
                                   QStringLiteral("VRRESTANTE")),
                     100.0);
    EXPECT_EQ(vendas("O"), 0);
}

TEST_P(Pdvhost, FalhaDepoisDoFechamento)
{
    if (perfil() != Perfil::Sat)
        GTEST_SKIP() << "on these terminals no refusal follows the close-out that fails the sale";
    const Execucao e = executa(escolheEConfirma(QStringLiteral("fail SATOnline\n")));
    ASSERT_EQ(e.calls(QStringLiteral("AlteraVendaCan")).size(), 1);
    const QJsonArray bloco = e.calls(QStringLiteral("AlteraVendaCan"))[0].value(QStringLiteral("args")).toArray().at(0).toArray();
    EXPECT_EQ(bloco.size(), AlteraCan::Size);
    EXPECT_EQ(bloco.at(AlteraCan::NrSeqVenda).toString(),
              e.calls(QStringLiteral("SetConcluiFechamento"))[0].value(QStringLiteral("result")).toString());
    EXPECT_EQ(bloco.at(AlteraCan::Fixo7).toString(), QStringLiteral("SAT"));
    EXPECT_EQ(vendas("O"), 0);
    EXPECT_EQ(vendas("C"), 1);
}

// A customer copy that the disk cannot take: the copies folder is a tmpfs of 16 kB of its
// own, mounted for pdvhost alone in a user and mount namespace (skipped where the system
// allows none). The copy call answers false, nothing of the copy is left on the full disk,
// the sale stands with its document and the cashier is told so.
TEST_P(Pdvhost, ViaQueODiscoNaoComportaEUmaFalha)
{
    if (perfil() == Perfil::Fiscal)
        GTEST_SKIP() << "a fiscal-printer terminal prints no customer copy";
    const QString copias = term.dir() + QStringLiteral("/out/copias");
    QDir().mkpath(copias);
    const QString monta = QStringLiteral("mount -t tmpfs -o size=16k vakcopias \"$0\" || exit 97; ");
    QProcess sonda;
    sonda.start(QStringLiteral("unshare"), {QStringLiteral("--user"), QStringLiteral("--map-root-user"),
                                            QStringLiteral("--mount"), QStringLiteral("sh"), QStringLiteral("-c"), monta, copias});
    if (!sonda.waitForFinished(30000) || sonda.exitStatus() != QProcess::NormalExit || sonda.exitCode() != 0)
        GTEST_SKIP() << "no user and mount namespace here for a disk of its own: "
                     << sonda.readAllStandardError().toStdString();

    const QString lista = term.dir() + QStringLiteral("/out/copias.lista");
    const Execucao e = executa(escolheEConfirma(),
                               {QStringLiteral("unshare"), QStringLiteral("--user"), QStringLiteral("--map-root-user"),
                                QStringLiteral("--mount"), QStringLiteral("sh"), QStringLiteral("-c"),
                                monta + QStringLiteral("\"$@\"; rc=$?; ls -A \"$0\" > \"$0.lista\"; exit $rc"), copias});
    const auto impressao = e.calls(QStringLiteral("DisparaImpressaoNaoFiscal"));
    ASSERT_EQ(impressao.size(), 1);
    EXPECT_EQ(impressao[0].value(QStringLiteral("result")).toVariant(), QVariant(false));
    QFile deixado(lista);
    ASSERT_TRUE(deixado.open(QIODevice::ReadOnly)) << "the listing of the full disk";
    EXPECT_EQ(deixado.readAll().toStdString(), "") << "a part of the copy was left";
    EXPECT_EQ(vendas("O"), 1);
    const QString mensagem = e.messages().value(0);
    if (perfil() == Perfil::Sat) {
        EXPECT_TRUE(mensagem.contains(QStringLiteral("foi emitido e a venda"))) << mensagem.toStdString();
    } else {
        EXPECT_TRUE(mensagem.contains(QStringLiteral("a via do consumidor não foi impressa"))) << mensagem.toStdString();
    }
}

TEST_P(Pdvhost, CupomRecusado)
{
    if (perfil() != Perfil::Fiscal)
        GTEST_SKIP() << "a terminal without a fiscal printer prints no receipt";
    const Execucao e = executa(escolheEConfirma(QStringLiteral("fail AbreCupom\n")));
    EXPECT_EQ(e.messageHeads(), (QStringList{kErroImpCup, kErroImpCup}));
    ASSERT_EQ(e.calls(QStringLiteral("IncluiVendaCan")).size(), 1);
    const QJsonArray bloco = e.calls(QStringLiteral("IncluiVendaCan"))[0].value(QStringLiteral("args")).toArray().at(0).toArray();
    const QJsonObject venda = bloco.at(VendaCan::Venda).toObject();
    EXPECT_EQ(venda.value(QStringLiteral("fields")).toArray().size(), 71);
    EXPECT_TRUE(venda.value(QStringLiteral("rows")).toArray().isEmpty());
    EXPECT_EQ(vendas("O"), 0);
}

INSTANTIATE_TEST_SUITE_P(Perfis, Pdvhost,
                         ::testing::Combine(::testing::Values(Perfil::Fiscal, Perfil::Nfce, Perfil::Sat), ::testing::Bool()),
                         [](const ::testing::TestParamInfo<std::tuple<Perfil, bool>>& info) {
                             return std::string(redemption::nomePerfil(std::get<0>(info.param)))
                                    + (std::get<1>(info.param) ? "_contrato" : "");
                         });

}  // namespace
