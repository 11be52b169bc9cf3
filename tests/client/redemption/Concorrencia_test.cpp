// Two terminals on one PostgreSQL server redeeming the same consumer's last points at the
// same moment, each a process of its own: exactly one sale is concluded, the other
// redemption is undone, and both screens show the balance the database holds.
// Runs when scripts/services.sh exported VAK_PG_CONNSTR; skipped otherwise.

#include "RedemptionFixture.h"
#include "TerminalFixture.h"

#include "bench/terminal/TerminalRun.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

namespace redemption {
namespace {

TEST(DoisTerminais, MesmosUltimosPontosNoMesmoInstante)
{
    if (qEnvironmentVariableIsEmpty("VAK_PG_CONNSTR"))
        GTEST_SKIP() << "VAK_PG_CONNSTR not set (scripts/services.sh starts PostgreSQL)";
    // The shop: C1 holds 50 points of CP1, enough for one gift P2 of 50 points.
    testsupport::TerminalFixture t1, t2;
    ASSERT_TRUE(t1.usePostgres());
    t1.exec(QStringLiteral("UPDATE MOVPONTOCONS SET VRSALDOCONS = 50 WHERE CDCAMPANHA = 'CP1';"
                           "DELETE FROM MOVPONTOCONS WHERE CDCAMPANHA = 'CP2'"));
    auto valor = [&t1](const char* sql) {
        const auto r = t1.rows(QString::fromLatin1(sql));
        return r.isEmpty() ? QString() : r.first().value(0);
    };

    // Two registers of branch 01, each with its own printer.
    t1.params[QStringLiteral("CDCAIXA")] = QStringLiteral("001");
    t2.params[QStringLiteral("CDCAIXA")] = QStringLiteral("002");
    for (auto* t : {&t1, &t2}) {
        t->writeAll();
        escreveTiposRecebimento(t->dir());
    }

    QList<terminalrun::Run> runs{{t1.dir(), QStringLiteral("C1")}, {t2.dir(), QStringLiteral("C1")}};
    terminalrun::runTerminals({t1.connectionString(), QStringLiteral("001"), QStringLiteral("CP1"), QStringLiteral("P2")}, runs);
    const QStringList problemas = terminalrun::problems(runs, 0);
    EXPECT_TRUE(problemas.isEmpty()) << problemas.join(u'\n').toStdString();
    const QJsonObject& r1 = runs[0].result;
    const QJsonObject& r2 = runs[1].result;

    for (const QJsonObject& r : {r1, r2}) {
        EXPECT_EQ(r[QStringLiteral("selected")].toInt(), 1) << QJsonDocument(r).toJson().toStdString();
        EXPECT_TRUE(r[QStringLiteral("errors")].toArray().isEmpty()) << QJsonDocument(r).toJson().toStdString();
        EXPECT_EQ(r[QStringLiteral("remaining")].toInt(), 0);
        // Both screens show what the database holds: no points left.
        EXPECT_DOUBLE_EQ(r[QStringLiteral("balances")].toObject()[QStringLiteral("CP1")].toDouble(), 0.0);
    }
    const bool venceu1 = !r1[QStringLiteral("sale")].toString().isEmpty();
    const bool venceu2 = !r2[QStringLiteral("sale")].toString().isEmpty();
    EXPECT_NE(venceu1, venceu2) << "exactly one terminal concludes the sale";
    const QJsonObject& perdedor = venceu1 ? r2 : r1;
    // The loser's redemption is undone; the message's last line gives the reason.
    QStringList cabecas;
    for (const QJsonValue& m : perdedor[QStringLiteral("messages")].toArray())
        cabecas << testsupport::HostFakes::headOf(m.toString());
    EXPECT_TRUE(cabecas.contains(QStringLiteral("Ocorreu um erro na impressão do cupom. Venda cancelada.")))
        << cabecas.join(u'\n').toStdString();

    EXPECT_EQ(valor("SELECT COUNT(*) FROM VENDA WHERE IDSITUVENDA = 'O'"), QStringLiteral("1"));
    EXPECT_EQ(valor("SELECT COUNT(*) FROM ITFIDELIDADE"), QStringLiteral("1"));
    EXPECT_EQ(valor("SELECT SUM(VRMOVIVEND) FROM MOVCAIXA").toDouble(), 0.01);
}

}  // namespace
}  // namespace redemption
