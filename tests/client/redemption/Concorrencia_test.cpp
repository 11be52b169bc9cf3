// Two terminals on one PostgreSQL server redeeming the same consumer's last points at the
// same moment, each a process of its own: exactly one sale is concluded, the other
// redemption is undone, and both screens show the balance the database holds.
// Runs when scripts/services.sh exported VAK_PG_CONNSTR; skipped otherwise.

#include "RedemptionFixture.h"
#include "TerminalFixture.h"

#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <gtest/gtest.h>

namespace redemption {
namespace {

QJsonObject executa(QProcess& p, const QString& saida)
{
    EXPECT_TRUE(p.waitForFinished(120000)) << p.errorString().toStdString();
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    QFile f(saida);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(f.readAll()).object();
}

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

    const qint64 instante = QDateTime::currentMSecsSinceEpoch() + 4000;
    QProcess p1, p2;
    const QString saida1 = t1.dir() + QStringLiteral("/resultado.json");
    const QString saida2 = t2.dir() + QStringLiteral("/resultado.json");
    auto inicia = [&](QProcess& p, const testsupport::TerminalFixture& t, const QString& saida) {
        p.setProcessChannelMode(QProcess::ForwardedChannels);
        p.start(QStringLiteral(REDEMPTION_TERMINAL),
                {QStringLiteral("--dir"), t.dir(), QStringLiteral("--db"), t1.connectionString(),
                 QStringLiteral("--consumer"), QStringLiteral("C1"), QStringLiteral("--client"), QStringLiteral("001"),
                 QStringLiteral("--campaign"), QStringLiteral("CP1"), QStringLiteral("--gift"), QStringLiteral("P2"),
                 QStringLiteral("--at"), QString::number(instante), QStringLiteral("--out"), saida});
    };
    inicia(p1, t1, saida1);
    inicia(p2, t2, saida2);
    const QJsonObject r1 = executa(p1, saida1);
    const QJsonObject r2 = executa(p2, saida2);

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
    EXPECT_TRUE(perdedor[QStringLiteral("messages")].toArray().contains(
        QStringLiteral("Ocorreu um erro na impressão do cupom. Venda cancelada.")));

    EXPECT_EQ(valor("SELECT COUNT(*) FROM VENDA WHERE IDSITUVENDA = 'O'"), QStringLiteral("1"));
    EXPECT_EQ(valor("SELECT COUNT(*) FROM ITFIDELIDADE"), QStringLiteral("1"));
    EXPECT_EQ(valor("SELECT SUM(VRMOVIVEND) FROM MOVCAIXA").toDouble(), 0.01);
}

}  // namespace
}  // namespace redemption
