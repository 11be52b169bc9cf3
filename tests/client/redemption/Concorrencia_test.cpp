// Two terminals on one PostgreSQL server redeeming the same consumer's last points at the
// same moment, each a process of its own: exactly one sale is concluded, the other
// redemption is undone, and both screens show the balance the database holds.
// Runs when scripts/services.sh exported VAK_PG_CONNSTR; skipped otherwise.

#include "RedemptionFixture.h"
#include "TerminalFixture.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <gtest/gtest.h>

#include <memory>

namespace redemption {
namespace {

QString fonte()
{
    const QByteArray dir = qgetenv("VAK_SOURCE_DIR");
    return dir.isEmpty() ? QStringLiteral(VAK_SOURCE_DIR_DEFAULT) : QString::fromLocal8Bit(dir);
}

class PostgresShop {
public:
    explicit PostgresShop(const QString& nome) : nome_(nome)
    {
        exec(manutencao(), QStringLiteral("DROP DATABASE IF EXISTS ") + nome_);
        exec(manutencao(), QStringLiteral("CREATE DATABASE ") + nome_);
        QFile schema(fonte() + QStringLiteral("/schema/postgresql.sql"));
        if (!schema.open(QIODevice::ReadOnly))
            throw std::runtime_error("schema/postgresql.sql not found");
        QStringList linhas;
        for (const QString& l : QString::fromUtf8(schema.readAll()).split(QLatin1Char('\n'))) {
            const int c = l.indexOf(QStringLiteral("--"));
            linhas << (c >= 0 ? l.left(c) : l);
        }
        for (const QString& s : linhas.join(QLatin1Char('\n')).split(QLatin1Char(';')))
            if (!s.trimmed().isEmpty())
                exec(loja(), s);
    }
    ~PostgresShop()
    {
        QSqlDatabase::removeDatabase(QStringLiteral("h8_loja"));
        exec(manutencao(), QStringLiteral("DROP DATABASE IF EXISTS ") + nome_ + QStringLiteral(" WITH (FORCE)"));
        QSqlDatabase::removeDatabase(QStringLiteral("h8_manutencao"));
    }
    QString connectionString() const
    {
        QString s = qEnvironmentVariable("VAK_PG_CONNSTR");
        s.replace(QRegularExpression(QStringLiteral("Database=[^;]*")), QStringLiteral("Database=") + nome_);
        return s;
    }
    void exec(const QString& sql) { exec(loja(), sql); }
    QString valor(const QString& sql)
    {
        QSqlQuery q(loja());
        if (!q.exec(sql) || !q.next())
            return {};
        return q.value(0).toString();
    }

private:
    static QSqlDatabase abre(const QString& conexao, const QString& banco)
    {
        if (QSqlDatabase::contains(conexao))
            return QSqlDatabase::database(conexao);
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), conexao);
        db.setHostName(qEnvironmentVariable("VAK_PG_HOST"));
        db.setPort(qEnvironmentVariable("VAK_PG_PORT").toInt());
        db.setUserName(qEnvironmentVariable("VAK_PG_USER"));
        db.setDatabaseName(banco);
        if (!db.open())
            throw std::runtime_error(db.lastError().text().toStdString());
        return db;
    }
    QSqlDatabase manutencao() const { return abre(QStringLiteral("h8_manutencao"), qEnvironmentVariable("VAK_PG_DATABASE")); }
    QSqlDatabase loja() const { return abre(QStringLiteral("h8_loja"), nome_); }
    static void exec(QSqlDatabase db, const QString& sql)
    {
        QSqlQuery q(db);
        if (!q.exec(sql))
            throw std::runtime_error((q.lastError().text() + QStringLiteral(": ") + sql).toStdString());
    }
    QString nome_;
};

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
    PostgresShop loja(QStringLiteral("vak_h8_resgate_%1").arg(QCoreApplication::applicationPid()));
    for (const char* sql : {
             "INSERT INTO CLIENTE (CDCLIENTE, NMFANTCLIE) VALUES ('001', 'Cliente Demo')",
             "INSERT INTO CONSUMIDOR (CDCLIENTE, CDCONSUMIDOR, NMCONSUMIDOR, CDIDCONSUMID, NRCPFRESPCON, DSENDECONS)"
             " VALUES ('001', 'C1', 'Ana Souza', 'B1', '12345678901', 'Rua A, 1')",
             "INSERT INTO CAMPANHA (CDCAMPANHA, DSCAMPANHA, IDUTILVOUCHER) VALUES ('CP1', 'Pontos', 'N')",
             "INSERT INTO MOVPONTOCONS (CDCLIENTE, CDCONSUMIDOR, CDCAMPANHA, IDTPMOVCONS, VRSALDOCONS)"
             " VALUES ('001', 'C1', 'CP1', 'C', 50)",
             "INSERT INTO PRODUTO (CDPRODUTO, NMPRODUTO, CDARVPROD, SGUNIDADE, CDBARPRODUTO)"
             " VALUES ('P2', 'Camiseta', '0102', 'UN', '7890000000028')",
             "INSERT INTO BRINDECAMPANHA (CDCAMPANHA, CDPRODUTO, VRPONTOBRINDE) VALUES ('CP1', 'P2', 50)",
             "INSERT INTO ALIQIMPFIS (CDFILIAL, CDPRODUTO, VRPEALIMPFIS, CDIMPOSTO, IDTPIMPOSFIS)"
             " VALUES ('01', 'P2', 18, '01', 'T')"})
        loja.exec(QString::fromLatin1(sql));

    // Two registers of branch 01, each with its own printer.
    testsupport::TerminalFixture t1, t2;
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
                {QStringLiteral("--dir"), t.dir(), QStringLiteral("--db"), loja.connectionString(),
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

    EXPECT_EQ(loja.valor(QStringLiteral("SELECT COUNT(*) FROM VENDA WHERE IDSITUVENDA = 'O'")), QStringLiteral("1"));
    EXPECT_EQ(loja.valor(QStringLiteral("SELECT COUNT(*) FROM ITFIDELIDADE")), QStringLiteral("1"));
    EXPECT_EQ(loja.valor(QStringLiteral("SELECT SUM(VRMOVIVEND) FROM MOVCAIXA")).toDouble(), 0.01);
}

}  // namespace
}  // namespace redemption
