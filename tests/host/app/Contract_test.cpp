// A host of the published contract alone: which calls keep the contract, and the run
// ending with status 3 at the first that does not.

#include "host/app/ContractGuard.h"
#include "host/app/Host.h"
#include "hostapi/PublishedContract.h"

#include <gtest/gtest.h>

namespace {

using hostapi::CallRecord;

CallRecord chamada(const char* lib, const char* op, QVariantList args = {})
{
    CallRecord c;
    c.lib = QString::fromLatin1(lib);
    c.op = QString::fromLatin1(op);
    c.args = std::move(args);
    return c;
}

// The screen's message, with one argument changed.
CallRecord mensagem(int indice = -1, const QVariant& valor = {})
{
    QVariantList args{QStringLiteral("texto\nMotivo: x"), QString(), QStringLiteral("N"), QStringLiteral("N"), 3,
                      QString(), QStringLiteral("001"), 0, QVariant()};
    if (indice >= 0)
        args[indice] = valor;
    return chamada("hostkit", "Mensagem", args);
}

CallRecord metodo(int nivel, const char* nome, const char* unidade, const char* codigo, bool mostra = true)
{
    return chamada("hostkit", "MensagemMetodo",
                   {QStringLiteral("erro"), mostra, nivel, QString::fromLatin1(nome), QString::fromLatin1(unidade),
                    QStringLiteral("contexto"), QString::fromLatin1(codigo)});
}

struct Caso {
    const char* what;
    CallRecord call;
    bool beforeScreen;
    const char* violation;  // a part of the text naming what is wrong; "" when the call keeps the contract
};

TEST(PublishedContract, CallsKeepTheirPublishedShape)
{
    const Caso casos[] = {
        {"the screen's error", mensagem(), false, ""},
        {"the balance notice", mensagem(4, 0), false, ""},
        {"the entry's error before the screen", mensagem(6, QStringLiteral("002")), true, ""},
        {"a reason as second text", mensagem(1, QStringLiteral("motivo")), false, "second text"},
        {"a question", mensagem(2, QStringLiteral("S")), false, "\"S\""},
        {"a logged message", mensagem(3, QStringLiteral("S")), false, "\"S\""},
        {"an information kind", mensagem(4, 1), false, "kind 1"},
        {"a detail", mensagem(5, QStringLiteral("d")), false, "sixth text"},
        {"another schema", mensagem(6, QStringLiteral("009")), false, "schema \"009\""},
        {"the fixed schema on the open screen", mensagem(6, QStringLiteral("002")), false, "schema \"002\""},
        {"a message code", mensagem(7, 12), false, "code 12"},
        {"a dataset", mensagem(8, QByteArray("x")), false, "dataset"},
        {"a data service's result", metodo(0, "GetBrinde", "Cli_Vak04100", "002"), false, ""},
        {"the SAT cancellation", metodo(0, "AlteraVendaCan", "Cli_Vak04100", ""), false, ""},
        {"the SAT update", metodo(10, "AtualizaVendaSat", "Cli_Dul06300", "001"), false, ""},
        {"errors hidden", metodo(0, "GetBrinde", "Cli_Vak04100", "002", false), false, "without showing"},
        {"another level", metodo(3, "GetBrinde", "Cli_Vak04100", "002"), false, "level 3"},
        {"a data service without its code", metodo(0, "GetBrinde", "Cli_Vak04100", ""), false, "GetBrinde"},
        {"the SAT update with another schema", metodo(10, "AtualizaVendaSat", "Cli_Dul06300", "002"), false, "AtualizaVendaSat"},
        {"a published printer command", chamada("fiscaldev", "FechaCupom"), false, ""},
        {"a published service", chamada("possvc", "AlteraVendaCan"), false, ""},
        {"the numbering", chamada("hostkit", "PrxNumeroNFCe"), false, ""},
        {"the settling of pending sales", chamada("possvc", "ResolveVendasPendentes"), false, "not a published"},
        {"an unknown toolkit routine", chamada("hostkit", "hostDirectory"), false, "not a published"},
    };
    for (const Caso& c : casos) {
        const QString v = hostapi::contract::contractViolation(c.call, QStringLiteral("001"), c.beforeScreen);
        if (*c.violation == '\0') {
            EXPECT_EQ(v, QString()) << c.what;
        } else {
            EXPECT_TRUE(v.contains(QString::fromUtf8(c.violation))) << c.what << ": " << v.toStdString();
        }
    }
}

TEST(PublishedContract, AHostOfTheContractEndsTheRunAtTheFirstCallOutsideIt)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const pdvhost::ContractGuard guard(true, QStringLiteral("001"));
    guard.check(mensagem(), true);  // keeps the contract: the run goes on
    EXPECT_EXIT(guard.check(mensagem(1, QStringLiteral("motivo")), true),
                ::testing::ExitedWithCode(pdvhost::kContractViolationStatus),
                "contract: Mensagem called with second text \"motivo\"");
    const pdvhost::ContractGuard reference(false, QStringLiteral("001"));
    reference.check(chamada("possvc", "ResolveVendasPendentes"), true);  // the reference host checks nothing
}

TEST(PublishedContract, TheOptionAsksForIt)
{
    pdvhost::HostOptions o;
    EXPECT_FALSE(pdvhost::parseOptions({QStringLiteral("--terminal"), QStringLiteral("/t"), QStringLiteral("--contract-only")}, o));
    EXPECT_TRUE(o.contractOnly);
    pdvhost::HostOptions p;
    EXPECT_FALSE(pdvhost::parseOptions({QStringLiteral("--terminal"), QStringLiteral("/t")}, p));
    EXPECT_FALSE(p.contractOnly);
}

}  // namespace
