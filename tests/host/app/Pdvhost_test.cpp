// pdvhost end to end on SQLite: scripts played against the real module, checked through
// the transcript (host calls, states after each line, events) and the exit status.
#include "TerminalFixture.h"
#include "support/CashierLocale.h"
#include "support/Transcript.h"

#include "hostapi/ArgumentBlocks.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <functional>

#include <gtest/gtest.h>

namespace {

class PdvhostTest : public ::testing::Test {
protected:
    void SetUp() override { term.writeAll(); }

    // Runs pdvhost with `script`; returns the exit status and reads the transcript.
    int roda(const QString& script, const QStringList& extra = {})
    {
        const QString scriptPath = term.dir() + QStringLiteral("/script.txt");
        QFile f(scriptPath);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(script.toUtf8());
        f.close();
        transcriptPath = term.dir() + QStringLiteral("/transcript.jsonl");
        QFile::remove(transcriptPath);
        // The platform and the locale of this test run (offscreen or a real X server;
        // pt_BR.UTF-8 or C.UTF-8) are the host's too.
        QProcess p;
        p.start(qEnvironmentVariable("VAK_BIN_DIR") + QStringLiteral("/pdvhost"),
                QStringList{QStringLiteral("--terminal"), term.dir(), QStringLiteral("--db"), term.connectionString(),
                            QStringLiteral("--script"), scriptPath, QStringLiteral("--transcript"), transcriptPath,
                            QStringLiteral("--out"), term.dir() + QStringLiteral("/out")} +
                    extra);
        if (!p.waitForFinished(60000)) {
            p.kill();
            ADD_FAILURE() << "pdvhost did not finish";
            return -1;
        }
        stderrText = QString::fromLocal8Bit(p.readAllStandardError());
        transcript = testsupport::Transcript::read(transcriptPath);
        return p.exitCode();
    }
    QList<QJsonObject> chamadas(const QString& op) const { return transcript.calls(op); }
    QJsonObject estado(const QString& step) const { return transcript.state(step); }
    QStringList eventos() const { return transcript.events(); }
    // VRRESTANTE (or another field) of a campaign in a state's cdsCampanha.
    static double saldo(const QJsonObject& state, const QString& campanha, const QString& campo)
    {
        return testsupport::campaignValue(state.value(QStringLiteral("cdsCampanha")).toObject(), campanha, campo);
    }

    testsupport::TerminalFixture term;
    QString transcriptPath, stderrText;
    testsupport::Transcript transcript;
};

TEST_F(PdvhostTest, AWalkThroughIsTranscribedCallByCallAndStepByStep)
{
    const int status = roda(QStringLiteral("pick CDCONSUMIDOR=C1\n"
                                           "key F2\n"
                                           "pick 1\n"
                                           "price %1\n"
                                           "key F4 shift\n"
                                           "screenshot tela.png\n"
                                           "key F3\n")
                                .arg(testsupport::localMoney(12.5)));
    ASSERT_EQ(status, 0) << stderrText.toStdString();
    EXPECT_EQ(eventos(), (QStringList{QStringLiteral("shown"), QStringLiteral("closed")}));

    const QJsonObject aposF2 = estado(QStringLiteral("key F2"));
    EXPECT_EQ(aposF2.value(QStringLiteral("consumer")).toString(), QStringLiteral("Ana Souza"));
    EXPECT_EQ(saldo(aposF2, QStringLiteral("CP1"), QStringLiteral("VRRESTANTE")), 100);
    EXPECT_TRUE(aposF2.value(QStringLiteral("enabled")).toObject().value(QStringLiteral("blbPesqBrinde")).toBool());
    EXPECT_TRUE(aposF2.value(QStringLiteral("cdsBrinde")).isNull());

    const QJsonObject aposF4 = estado(QStringLiteral("key F4 shift"));
    EXPECT_EQ(saldo(aposF4, QStringLiteral("CP1"), QStringLiteral("VRRESTANTE")), 70);
    EXPECT_EQ(aposF4.value(QStringLiteral("cdsBrinde")).toObject().value(QStringLiteral("rows")).toArray().size(), 1);
    const QJsonObject enabled = aposF4.value(QStringLiteral("enabled")).toObject();
    EXPECT_TRUE(enabled.value(QStringLiteral("blbCancelaBrinde")).toBool());
    EXPECT_TRUE(enabled.value(QStringLiteral("blbConfirma")).toBool());

    const QJsonObject aposF3 = estado(QStringLiteral("key F3"));
    EXPECT_EQ(saldo(aposF3, QStringLiteral("CP1"), QStringLiteral("VRRESTANTE")), 100);
    EXPECT_TRUE(aposF3.value(QStringLiteral("cdsBrinde")).isNull());  // closed with its last gift

    // The host calls, with their arguments and by-reference results.
    const auto pesquisas = chamadas(QStringLiteral("Pesquisa"));
    ASSERT_EQ(pesquisas.size(), 2);
    EXPECT_EQ(pesquisas[0].value(QStringLiteral("lib")).toString(), QStringLiteral("possvc"));
    EXPECT_TRUE(pesquisas[0].value(QStringLiteral("result")).toBool());
    const QJsonArray args = pesquisas[0].value(QStringLiteral("args")).toArray();
    EXPECT_EQ(args.at(2).toString(), QStringLiteral("N"));
    EXPECT_EQ(args.at(3).toInt(), 1);  // INCOR1 of the terminal
    const auto precos = chamadas(QStringLiteral("ChamaFuncaoRetornaPreco"));
    ASSERT_EQ(precos.size(), 1);
    const QJsonArray bloco = precos[0].value(QStringLiteral("args")).toArray().at(0).toArray();
    EXPECT_EQ(bloco.size(), hostapi::block::ChamaFuncaoRetornaPreco::Size);
    EXPECT_EQ(bloco.at(hostapi::block::ChamaFuncaoRetornaPreco::CdProduto).toString(), QStringLiteral("P1"));
    EXPECT_EQ(precos[0].value(QStringLiteral("out")).toArray().last().toString(), testsupport::localMoney(12.5));
    const auto metodos = chamadas(QStringLiteral("MensagemMetodo"));
    ASSERT_GE(metodos.size(), 3);  // consumer list, balances, catalogue
    EXPECT_EQ(metodos[0].value(QStringLiteral("args")).toArray().at(3).toString(), QStringLiteral("GetConsumidor"));
    EXPECT_TRUE(QFile::exists(term.dir() + QStringLiteral("/out/tela.png")));
}

TEST_F(PdvhostTest, AGivenConsumerLocksF2AndARefusedPriceIsShown)
{
    const int status = roda(QStringLiteral("key F2\npick 1\nprice DTLOJ\nkey F4\n"),
                            {QStringLiteral("--consumer"), QStringLiteral("C1"), QStringLiteral("--name"),
                             QStringLiteral("Ana Souza"), QStringLiteral("--client"), QStringLiteral("001")});
    ASSERT_EQ(status, 0) << stderrText.toStdString();
    const QJsonObject aposF2 = estado(QStringLiteral("key F2"));
    EXPECT_FALSE(aposF2.value(QStringLiteral("enabled")).toObject().value(QStringLiteral("blbPesqConsumidor")).toBool());
    EXPECT_EQ(aposF2.value(QStringLiteral("consumer")).toString(), QStringLiteral("Ana Souza"));
    // The consumer list is never read: the only data-service results passed to
    // MensagemMetodo are the given consumer's balances and then the gift catalogue.
    const auto metodos = chamadas(QStringLiteral("MensagemMetodo"));
    ASSERT_GE(metodos.size(), 2);
    EXPECT_EQ(metodos[0].value(QStringLiteral("args")).toArray().at(3).toString(), QStringLiteral("GetSaldoConsCamp"));
    for (const auto& metodo : metodos)
        EXPECT_NE(metodo.value(QStringLiteral("args")).toArray().at(3).toString(), QStringLiteral("GetConsumidor"));
    const auto mensagens = chamadas(QStringLiteral("Mensagem"));
    ASSERT_EQ(mensagens.size(), 1);
    const QJsonArray args = mensagens[0].value(QStringLiteral("args")).toArray();
    EXPECT_EQ(args.at(0).toString(), QStringLiteral("Não há tabela de preço da loja vigente."));
    EXPECT_EQ(args.at(4).toInt(), 3);
    EXPECT_EQ(saldo(estado(QStringLiteral("key F4")), QStringLiteral("CP1"), QStringLiteral("VRRESTANTE")), 100);
}

TEST_F(PdvhostTest, APlannedFaultMakesTheSearchGiveUp)
{
    ASSERT_EQ(roda(QStringLiteral("fail Pesquisa\npick 1\nkey F2\n")), 0) << stderrText.toStdString();
    const auto pesquisas = chamadas(QStringLiteral("Pesquisa"));
    ASSERT_EQ(pesquisas.size(), 1);
    EXPECT_FALSE(pesquisas[0].value(QStringLiteral("result")).toBool());
    EXPECT_TRUE(estado(QStringLiteral("key F2")).value(QStringLiteral("consumer")).toString().isEmpty());
}

TEST_F(PdvhostTest, AFailedOpeningIsReportedOnceNeverShownAndExitsOneWithTheReasonOnStderr)
{
    const QString params = term.dir() + QStringLiteral("/PARAMETROSQVN.CDS");
    auto truncate = [&](qsizetype size) {
        QFile f(params);
        f.open(QIODevice::ReadWrite);
        f.resize(size);
    };
    const struct {
        const char* what;
        std::function<void()> damage;
        QStringList extra;
        const char* reason;
    } cases[] = {
        {"missing", [&] { QFile::remove(params); }, {}, "PARAMETROSQVN.CDS não foi encontrado"},
        {"empty", [&] { truncate(0); }, {}, "empty file"},
        {"truncated", [&] { truncate(60); }, {}, "truncated"},
        {"a directory", [&] { QFile::remove(params); QDir().mkpath(params); }, {}, "is a directory"},
        {"unknown provider", [] {}, {QStringLiteral("--db"), QStringLiteral("Provider=Nope;Data Source=x")}, "Nope"},
        {"database missing", [] {}, {QStringLiteral("--db"), QStringLiteral("Provider=SQLite;Data Source=/nao/ha.db")},
         "/nao/ha.db"},
    };
    // On a host of the contract alone as well: the entry's message keeps its shape (exit
    // 1, not 3).
    const QList<QStringList> hosts{{}, {QStringLiteral("--contract-only")}};
    for (const auto& c : cases) {
        for (const QStringList& host : hosts) {
            SCOPED_TRACE(c.what);
            SCOPED_TRACE(host.join(u' ').toStdString());
            term.writeAll();
            c.damage();
            EXPECT_EQ(roda(QStringLiteral("key F2\n"), c.extra + host), 1) << stderrText.toStdString();
            EXPECT_TRUE(eventos().isEmpty());
            const auto mensagens = chamadas(QStringLiteral("Mensagem"));
            ASSERT_EQ(mensagens.size(), 1);
            const QString reason = mensagens[0].value(QStringLiteral("args")).toArray().at(0).toString();
            EXPECT_TRUE(reason.contains(QString::fromUtf8(c.reason))) << reason.toStdString();
            EXPECT_TRUE(stderrText.contains(QStringLiteral("the screen did not open: ") + reason))
                << stderrText.toStdString();
            QDir(params).removeRecursively();
        }
    }
}

TEST_F(PdvhostTest, EscEndsTheScriptAndABadScriptNeverOpensTheScreen)
{
    ASSERT_EQ(roda(QStringLiteral("key Esc\nkey F2\n")), 0);
    EXPECT_EQ(eventos(), (QStringList{QStringLiteral("shown"), QStringLiteral("closed")}));
    EXPECT_TRUE(chamadas(QStringLiteral("Pesquisa")).isEmpty());  // the line after Esc is not played

    EXPECT_EQ(roda(QStringLiteral("key F2\nfail Voar\n")), 2);
    EXPECT_TRUE(stderrText.contains(QStringLiteral(":2:")));
    EXPECT_TRUE(transcript.lines.isEmpty());
}

TEST_F(PdvhostTest, AnErrorInAHandlerReachesTheHostsDisplayAndTheScreenStaysOpen)
{
    ASSERT_EQ(roda(QStringLiteral("pick CDCONSUMIDOR=C1\nkey F2\nfail ChamaFuncaoRetornaPreco\npick 1\n"
                                  "key F4\npick 1\nprice ") + testsupport::localMoney(12.5) + QStringLiteral("\nkey F4\n")),
              0)
        << stderrText.toStdString();
    EXPECT_EQ(eventos(), (QStringList{QStringLiteral("shown"), QStringLiteral("error"), QStringLiteral("closed")}));
    const auto precos = chamadas(QStringLiteral("ChamaFuncaoRetornaPreco"));
    ASSERT_EQ(precos.size(), 2);
    EXPECT_TRUE(precos[0].contains(QStringLiteral("error")));
    EXPECT_FALSE(precos[0].contains(QStringLiteral("result")));
    // The first F4 added nothing; the screen went on and the second one added the gift.
    EXPECT_EQ(saldo(estado(QStringLiteral("key F4")), QStringLiteral("CP1"), QStringLiteral("VRRESTANTE")), 100);
    const QJsonObject fim = transcript.lines[transcript.lines.size() - 2].value(QStringLiteral("state")).toObject();
    EXPECT_EQ(saldo(fim, QStringLiteral("CP1"), QStringLiteral("VRRESTANTE")), 70);
}

TEST_F(PdvhostTest, ClickingAnUnknownComponentStopsTheScript)
{
    EXPECT_EQ(roda(QStringLiteral("click blbNada\nkey F2\n")), 2);
    EXPECT_TRUE(stderrText.contains(QStringLiteral("blbNada")));
    EXPECT_TRUE(eventos().contains(QStringLiteral("closed")));
}

}  // namespace
