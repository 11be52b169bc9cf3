// Messages, service results, the message table, the footer and the call observer.

#include "host/hostkit/HostHooks.h"
#include "hostapi/hostkit.h"

#include "platform/dataset/DataPacket.h"
#include "platform/db/ServiceResult.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

using namespace hostkit;

namespace {

// Scripted messages and a recording observer for the duration of one test.
class Recording : public ::testing::Test {
protected:
    void SetUp() override
    {
        setScriptedMessages(true);
        clearRecordedMessages();
        setCallObserver([this](const CallRecord& r) { calls.append(r); });
    }
    void TearDown() override
    {
        setCallObserver({});
        setScriptedMessages(false);
        clearRecordedMessages();
        setMessagePresenter({});
    }
    QList<CallRecord> calls;
};

QByteArray packetBytes()
{
    platform::DataPacket p;
    platform::FieldDef f;
    f.name = QStringLiteral("CDCAMPANHA");
    f.size = 10;
    p.fields = {f};
    p.rows = {{QStringLiteral("C1")}};
    return platform::writePacket(p);
}

}  // namespace

using MensagemMetodoTest = Recording;

TEST_F(MensagemMetodoTest, PayloadsPassThroughUnchanged)
{
    const QByteArray packet = packetBytes();
    const QVariantList payloads{QVariant(packet), QVariant(QStringLiteral("123")), QVariant(QStringLiteral(" 45 ")),
                                QVariant(QStringLiteral("12,50")), QVariant(QStringLiteral("-3.5")), QVariant(QString()),
                                QVariant(), QVariant(true), QVariant(7),
                                QVariant(QByteArray("<?xml version=\"1.0\"?><DATAPACKET/>"))};
    for (const QVariant& v : payloads) {
        EXPECT_FALSE(platform::db::isErrorResult(v)) << qPrintable(v.toString());
        const QVariant back = MensagemMetodo(v, true, 0, QStringLiteral("GetBrinde"), QStringLiteral("Cli_Vak04100"),
                                             QStringLiteral("C1-0001"), QStringLiteral("002"));
        EXPECT_EQ(back, v);
    }
    EXPECT_TRUE(recordedMessages().isEmpty());
    ASSERT_EQ(calls.size(), payloads.size());
    EXPECT_EQ(calls[0].op, QStringLiteral("MensagemMetodo"));
    EXPECT_EQ(calls[0].args.size(), 7);
    EXPECT_EQ(calls[0].result, QVariant(packet));
}

TEST_F(MensagemMetodoTest, AnErrorTextIsReportedNamingMethodUnitAndContextAndGivesNull)
{
    const QString error = QStringLiteral("Erro de banco de dados (SQLite): no such table: BRINDECAMPANHA");
    const QVariant back = MensagemMetodo(error, true, 0, QStringLiteral("GetBrinde"), QStringLiteral("Cli_Vak04100"),
                                         QStringLiteral("C1-0001"), QStringLiteral("002"));
    EXPECT_FALSE(back.isValid());
    const auto shown = recordedMessages();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].tipo, tmErro);
    EXPECT_EQ(shown[0].idEsquema, QStringLiteral("002"));
    for (const char* part : {"GetBrinde", "Cli_Vak04100", "C1-0001", "no such table: BRINDECAMPANHA"})
        EXPECT_TRUE(shown[0].texto.contains(QLatin1String(part))) << part << " in " << qPrintable(shown[0].texto);
    // The nested message is not a module call: one transcript line, with a null result.
    ASSERT_EQ(calls.size(), 1);
    EXPECT_FALSE(calls[0].result.isValid());
    EXPECT_FALSE(calls[0].raised);

    // An error text that arrived as bytes is still an error; with errors hidden nothing shows.
    clearRecordedMessages();
    EXPECT_FALSE(MensagemMetodo(QByteArray("AtualizaVendaSat: a venda 12 não existe"), false, 10,
                                QStringLiteral("AtualizaVendaSat"), QStringLiteral("Cli_Dul06300"), {}, {})
                     .isValid());
    EXPECT_TRUE(recordedMessages().isEmpty());
}

TEST_F(MensagemMetodoTest, ADatabaseErrorMessageIsAlwaysRecognisedAsAnError)
{
    for (const QString& driverText : {QString(), QStringLiteral("42"), QStringLiteral("   ")}) {
        const QString text = ADOExceptionMessage(platform::DatabaseError(driverText), nullptr, {});
        EXPECT_TRUE(platform::db::isErrorResult(text)) << qPrintable(text);
    }
    platform::db::Connection conn(QStringLiteral("Provider=SQLite;Data Source=:memory:"));
    conn.open();
    const QString text = ADOExceptionMessage(platform::DatabaseError(QStringLiteral("no such column: X")), &conn,
                                             QStringLiteral("GetConsumidor"));
    EXPECT_EQ(text, QStringLiteral("Erro de banco de dados (SQLite): no such column: X\nGetConsumidor"));
    const QString plain = ADOExceptionMessage(std::runtime_error("boom"), nullptr, {});
    EXPECT_EQ(plain, QStringLiteral("Erro de banco de dados: boom"));
}

using MensagemTest = Recording;

TEST_F(MensagemTest, ScriptedModeRecordsAndAcknowledges)
{
    platform::ClientDataSet ds;
    platform::FieldDef f;
    f.name = QStringLiteral("NOME");
    f.size = 10;
    ds.fieldDefs() = {f};
    ds.createDataSet();
    ds.append();
    ds.fieldByName(QStringLiteral("NOME")).setValue(QStringLiteral("Ana"));
    ds.post();
    EXPECT_TRUE(Mensagem(QStringLiteral("Preço do produto deve ser cadastrado."), {}, QStringLiteral("N"),
                         QStringLiteral("N"), tmErro, {}, QStringLiteral("001"), 0, &ds));
    const auto shown = recordedMessages();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].texto, QStringLiteral("Preço do produto deve ser cadastrado."));
    ASSERT_EQ(shown[0].dados.rows.size(), 1);
    ASSERT_EQ(calls.size(), 1);
    EXPECT_EQ(calls[0].op, QStringLiteral("Mensagem"));
    EXPECT_EQ(calls[0].args.size(), 9);
    EXPECT_EQ(calls[0].args[4], QVariant(3));
    EXPECT_TRUE(calls[0].args[8].canConvert<platform::DataPacket>());
}

TEST_F(MensagemTest, APresenterAnswersAndItsFailureDoesNotEscape)
{
    setScriptedMessages(false);
    QStringList seen;
    setMessagePresenter([&](const MessageRequest& r) {
        seen << r.texto;
        if (r.texto == QLatin1String("boom"))
            throw std::runtime_error("display gone");
        return r.pergunta == QLatin1String("S") ? false : true;
    });
    EXPECT_FALSE(Mensagem(QStringLiteral("Continuar?"), {}, QStringLiteral("S"), QStringLiteral("N"), tmConfirmacao, {}, {}, 0, nullptr));
    EXPECT_TRUE(Mensagem(QStringLiteral("boom"), {}, QStringLiteral("N"), QStringLiteral("N"), tmErro, {}, {}, 0, nullptr));
    EXPECT_EQ(seen, (QStringList{"Continuar?", "boom"}));
}

TEST(TMessagesTest, MsgMatchesTheWholeKeyBeforeTheBar)
{
    TMessages msg;
    msg.setMessages({QStringLiteral("DTCLIENTE|texto errado"), QStringLiteral("DTCLI|Não há tabela de preço do cliente vigente."),
                     QStringLiteral("Falha_Conex_SAT|Falha na conexão|com barra"), QStringLiteral("VAZIO|")});
    EXPECT_EQ(msg.Msg(QStringLiteral("DTCLI")), QStringLiteral("Não há tabela de preço do cliente vigente."));
    EXPECT_EQ(msg.Msg(QStringLiteral("DTCLIENTE")), QStringLiteral("texto errado"));
    EXPECT_EQ(msg.Msg(QStringLiteral("Falha_Conex_SAT")), QStringLiteral("Falha na conexão|com barra"));
    EXPECT_EQ(msg.Msg(QStringLiteral("FALHA_CONEX_SAT")), QString());  // keys as written
    EXPECT_EQ(msg.Msg(QStringLiteral("DT")), QString());
    EXPECT_EQ(msg.Msg(QStringLiteral("VAZIO")), QString());
}

using RodapeTest = Recording;

TEST_F(RodapeTest, FooterFollowsTheFlags)
{
    EXPECT_EQ(MontaRodapeGeral(true, QStringLiteral("VAK04100"), QStringLiteral("S")), QStringLiteral("F1 - Menu Fiscal - Vak04100"));
    EXPECT_EQ(MontaRodapeGeral(true, QStringLiteral("VAK04100"), QStringLiteral("N")), QStringLiteral("Menu Fiscal - Vak04100"));
    EXPECT_EQ(MontaRodapeGeral(false, QStringLiteral("VAK04100"), QStringLiteral("N")), QStringLiteral("Vak04100"));
    ASSERT_EQ(calls.size(), 3);
    EXPECT_EQ(calls[2].op, QStringLiteral("MontaRodapeGeral"));
    EXPECT_EQ(calls[2].args, (QVariantList{false, QStringLiteral("VAK04100"), QStringLiteral("N")}));
    EXPECT_EQ(calls[2].result, QVariant(QStringLiteral("Vak04100")));
}

// An error is logged whether a person or a script acknowledges it, its lines on one log
// line; a reason the caller wrote into the text stays in the text the box shows.
TEST_F(MensagemTest, AnErrorIsLoggedAndShownAsWritten)
{
    const QString texto = QStringLiteral("Ocorreu um erro na impressão do cupom. Venda cancelada.\n"
                                         "Motivo: Saldo insuficiente na campanha CP1");

    testing::internal::CaptureStderr();
    EXPECT_TRUE(Mensagem(texto, {}, QStringLiteral("N"), QStringLiteral("N"), tmErro, {}, QStringLiteral("002"), 0, nullptr));
    const std::string scriptedLog = testing::internal::GetCapturedStderr();
    EXPECT_NE(scriptedLog.find("Venda cancelada. | Motivo: Saldo insuficiente na campanha CP1"), std::string::npos)
        << scriptedLog;

    setScriptedMessages(false);
    QString title, text, informative;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        text = box->text();
        informative = box->informativeText();
        box->accept();
    });
    testing::internal::CaptureStderr();
    EXPECT_TRUE(Mensagem(texto, {}, QStringLiteral("N"), QStringLiteral("N"), tmErro, {}, QStringLiteral("002"), 0, nullptr));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Motivo:"), std::string::npos);
    EXPECT_EQ(title, QStringLiteral("Erro [002]"));
    EXPECT_EQ(text, texto);
    EXPECT_EQ(informative, QString());

    // A notice keeps its title argument as the title, and logs only when asked to.
    setScriptedMessages(true);
    testing::internal::CaptureStderr();
    Mensagem(QStringLiteral("Aviso"), QStringLiteral("Título"), QStringLiteral("N"), QStringLiteral("N"), tmAviso, {}, {}, 0, nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}
