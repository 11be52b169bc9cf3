// GetConsumidor, GetSaldoConsCamp and GetBrinde on every configured backend: the
// consumer list, the balance rules and the gift catalogue's product-tree rules; and the
// statement texts each provider's dialect gets.

#include "ShopDb.h"

#include "hostapi/hostkit.h"
#include "platform/dataset/DataPacket.h"
#include "platform/db/ConnectionString.h"
#include "platform/db/Query.h"
#include "server/FidelidadeSql.h"
#include "server/TrdmFidelidade.h"
#include "tools/shopgen/Schema.h"
#include "platform/db/ServiceResult.h"

#include <QRegularExpression>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>

#include <gtest/gtest.h>

using namespace Srv_Vak04100;
using srvtest::day;
using srvtest::Kind;
using srvtest::packetRows;
using srvtest::ShopDb;

namespace {

class LoyaltyQueries : public srvtest::BackendTest {
protected:
    void campanha(const QString& code, const QString& voucher = QStringLiteral("N"))
    {
        db->insert(QStringLiteral("CAMPANHA"), {"CDCAMPANHA", "DSCAMPANHA", "IDUTILVOUCHER"},
                   {{code, QStringLiteral("Campanha ") + code, voucher}});
    }
    void credito(const QString& consumidor, const QString& camp, double pontos, const QVariant& validade,
                 const QString& tipo = QStringLiteral("C"), const QString& cliente = QStringLiteral("CLI1"))
    {
        db->insert(QStringLiteral("MOVPONTOCONS"),
                   {"CDCLIENTE", "CDCONSUMIDOR", "CDCAMPANHA", "IDTPMOVCONS", "VRSALDOCONS", "DTVALIDAPONTO"},
                   {{cliente, consumidor, camp, tipo, pontos, validade}});
    }
    void voucher(const QString& consumidor, const QString& camp, double pontos, const QString& usado,
                 const QVariant& validade)
    {
        db->insert(QStringLiteral("VOUCHERVND"),
                   {"CDCLIENTE", "CDCONSUMIDOR", "CDCAMPANHA", "IDUTIVOUCHER", "VRPTOVOUCHER", "DTVALVOUCHER"},
                   {{QStringLiteral("CLI1"), consumidor, camp, usado, pontos, validade}});
    }
    // A sale with one loyalty item of `pontos` points.
    void resgate(const QString& consumidor, const QString& camp, double pontos, const QString& tipo,
                 const QString& situacao, const QString& impressa)
    {
        const QString numero = QString::number(++vendas_);
        db->insert(QStringLiteral("VENDA"), {"CDFILIAL", "CDCAIXA", "NRSEQVENDA", "IDSITUVENDA", "IDIMPVENDA"},
                   {{QStringLiteral("0001"), QStringLiteral("001"), numero, situacao, impressa}});
        db->insert(QStringLiteral("ITFIDELIDADE"),
                   {"CDFILIAL", "CDCAIXA", "NRSEQVENDA", "CDCLIENTE", "CDCONSUMIDOR", "CDCAMPANHA", "IDTPOPERITFIDEL",
                    "VRPONTOBRINDE"},
                   {{QStringLiteral("0001"), QStringLiteral("001"), numero, QStringLiteral("CLI1"), consumidor, camp, tipo,
                     pontos}});
    }

private:
    int vendas_ = 0;
};

QStringList column(const srvtest::PacketRows& p, const QString& field)
{
    QStringList values;
    for (int r = 0; r < p.rows.size(); ++r)
        values << p.value(r, field).toString();
    return values;
}

}  // namespace

TEST_P(LoyaltyQueries, ConsumerListHasEveryClientsConsumersInCodeOrderButNotOrphans)
{
    db->insert(QStringLiteral("CLIENTE"), {"CDCLIENTE", "NMFANTCLIE"},
               {{QStringLiteral("C1"), QStringLiteral("Padaria Pão Quente")}, {QStringLiteral("C2"), QStringLiteral("Empório")}});
    db->insert(QStringLiteral("CONSUMIDOR"),
               {"CDCLIENTE", "CDCONSUMIDOR", "NMCONSUMIDOR", "CDIDCONSUMID", "NRCPFRESPCON", "DSENDECONS"},
               {{QStringLiteral("C2"), QStringLiteral("003"), QStringLiteral("Ana"), QStringLiteral("X3"),
                 QStringLiteral("12345678909"), QStringLiteral("Rua A, 1")},
                {QStringLiteral("C1"), QStringLiteral("001"), QStringLiteral("José Ávila"), QVariant(), QVariant(), QVariant()},
                {QStringLiteral("C1"), QStringLiteral("002"), QStringLiteral("Maria"), QVariant(), QVariant(), QVariant()},
                {QStringLiteral("C9"), QStringLiteral("000"), QStringLiteral("Sem cliente"), QVariant(), QVariant(), QVariant()}});
    srvtest::ModuleScope module(db->moduleConnectionString());

    const QVariant result = GetConsumidor();
    const platform::DataPacket packet = platform::packetFromVariant(result);
    QStringList names;
    for (const platform::FieldDef& f : packet.fields) {
        names << f.name;
        EXPECT_EQ(f.type, platform::FieldType::String) << f.name.toStdString();
    }
    EXPECT_EQ(names, QStringList({"CDCONSUMIDOR", "NMCONSUMIDOR", "CDIDCONSUMID", "CDCLIENTE", "NMFANTCLIE",
                                  "NRCPFRESPCON", "DSENDECONS"}));
    EXPECT_EQ(packet.fields.at(0).size, 21);
    EXPECT_EQ(packet.fields.at(5).size, 11);

    const srvtest::PacketRows p = packetRows(result);
    EXPECT_EQ(column(p, "CDCONSUMIDOR"), QStringList({"001", "002", "003"}));
    EXPECT_EQ(column(p, "NMFANTCLIE"), QStringList({"Padaria Pão Quente", "Padaria Pão Quente", "Empório"}));
    EXPECT_EQ(p.value(0, "NMCONSUMIDOR").toString(), QStringLiteral("José Ávila"));
    EXPECT_EQ(p.value(2, "NRCPFRESPCON").toString(), QStringLiteral("12345678909"));
    EXPECT_TRUE(p.value(0, "CDIDCONSUMID").isNull());
}

TEST_P(LoyaltyQueries, BalanceIsValidCreditsLessRedemptionsOnConcludedPrintedSales)
{
    campanha(QStringLiteral("A"));
    credito("K1", "A", 100, QVariant());   // no validity date: never expires
    credito("K1", "A", 50, day(10));
    credito("K1", "A", 30, day(0));         // valid through today
    credito("K1", "A", 40, day(-1));        // expired yesterday
    credito("K1", "A", 25, QVariant(), QStringLiteral("D"));  // not a credit
    credito("K2", "A", 999, QVariant());    // another consumer
    credito("K1", "A", 777, QVariant(), QStringLiteral("C"), QStringLiteral("CLI2"));  // same code, other client
    resgate("K1", "A", 30, "R", "O", "I");
    resgate("K1", "A", 20, "R", "C", "I");  // cancelled sale
    resgate("K1", "A", 10, "R", "O", "N");  // not printed
    resgate("K1", "A", 15, "R", "A", "I");  // still open
    resgate("K1", "Z", 5, "R", "O", "I");   // campaign that does not exist
    srvtest::ModuleScope module(db->moduleConnectionString());

    const srvtest::PacketRows p = packetRows(GetSaldoConsCamp("CLI1", "K1"));
    EXPECT_EQ(p.fields, QStringList({"CDCAMPANHA", "CDCLIENTE", "CDCONSUMIDOR", "DSCAMPANHA", "VRSALDOCONS", "VRRESTANTE",
                                     "VRPTOVOUCHER", "IDUTILVOUCHER"}));
    ASSERT_EQ(p.rows.size(), 1);
    EXPECT_EQ(p.value(0, "CDCAMPANHA").toString(), QStringLiteral("A"));
    EXPECT_EQ(p.value(0, "CDCLIENTE").toString(), QStringLiteral("CLI1"));
    EXPECT_EQ(p.value(0, "CDCONSUMIDOR").toString(), QStringLiteral("K1"));
    EXPECT_EQ(p.value(0, "DSCAMPANHA").toString(), QStringLiteral("Campanha A"));
    EXPECT_DOUBLE_EQ(p.value(0, "VRSALDOCONS").toDouble(), 150.0);
    EXPECT_DOUBLE_EQ(p.value(0, "VRRESTANTE").toDouble(), 150.0);
    EXPECT_DOUBLE_EQ(p.value(0, "VRPTOVOUCHER").toDouble(), 0.0);
    EXPECT_EQ(p.value(0, "IDUTILVOUCHER").toString(), QStringLiteral("N"));
}

TEST_P(LoyaltyQueries, VoucherPointsAreOpenUnexpiredVouchersLessVoucherRedemptions)
{
    campanha(QStringLiteral("V"), QStringLiteral("S"));
    credito("K1", "V", 10, QVariant());
    voucher("K1", "V", 80, "N", day(5));
    voucher("K1", "V", 20, "N", day(0));
    voucher("K1", "V", 50, "S", day(5));     // used
    voucher("K1", "V", 30, "N", day(-1));    // expired
    voucher("K1", "V", 25, "N", QVariant()); // without validity date: not counted
    resgate("K1", "V", 15, "V", "O", "I");
    resgate("K1", "V", 40, "V", "C", "I");   // cancelled sale
    resgate("K1", "V", 5, "R", "O", "I");    // points redemption in the same campaign
    srvtest::ModuleScope module(db->moduleConnectionString());

    const srvtest::PacketRows p = packetRows(GetSaldoConsCamp("CLI1", "K1"));
    ASSERT_EQ(p.rows.size(), 1);
    EXPECT_DOUBLE_EQ(p.value(0, "VRPTOVOUCHER").toDouble(), 85.0);
    EXPECT_DOUBLE_EQ(p.value(0, "VRSALDOCONS").toDouble(), 5.0);
    EXPECT_EQ(p.value(0, "IDUTILVOUCHER").toString(), QStringLiteral("S"));
}

TEST_P(LoyaltyQueries, OnlyCampaignsWithValidCreditsAppearInCodeOrderAndMayGoNegative)
{
    for (const char* c : {"B", "A", "X", "Y"})
        campanha(QString::fromLatin1(c));
    credito("K1", "B", 20, day(30));
    resgate("K1", "B", 50, "R", "O", "I");
    resgate("K1", "B", 10, "V", "O", "I");
    credito("K1", "A", 5, QVariant());
    credito("K1", "X", 60, day(-3));          // only expired credits
    voucher("K1", "X", 40, "N", day(3));
    voucher("K1", "Y", 40, "N", day(3));      // vouchers without credits
    resgate("K1", "Y", 10, "R", "O", "I");
    srvtest::ModuleScope module(db->moduleConnectionString());

    const srvtest::PacketRows p = packetRows(GetSaldoConsCamp("CLI1", "K1"));
    EXPECT_EQ(column(p, "CDCAMPANHA"), QStringList({"A", "B"}));
    if (p.rows.size() == 2) {
        EXPECT_DOUBLE_EQ(p.value(1, "VRSALDOCONS").toDouble(), -30.0);
        EXPECT_DOUBLE_EQ(p.value(1, "VRRESTANTE").toDouble(), -30.0);
        EXPECT_DOUBLE_EQ(p.value(1, "VRPTOVOUCHER").toDouble(), -10.0);
    }
    EXPECT_TRUE(packetRows(GetSaldoConsCamp("CLI1", "NINGUEM")).rows.isEmpty());
}

TEST_P(LoyaltyQueries, EmptyClientCodeGivesAnEmptyBalancePacket)
{
    campanha(QStringLiteral("A"));
    credito("K1", "A", 100, QVariant(), QStringLiteral("C"), QString(""));
    credito("K1", "A", 100, QVariant());
    srvtest::ModuleScope module(db->moduleConnectionString());

    const srvtest::PacketRows p = packetRows(GetSaldoConsCamp(QString(), "K1"));
    EXPECT_EQ(p.fields.size(), 8);
    EXPECT_TRUE(p.rows.isEmpty());
}

TEST_P(LoyaltyQueries, EachCallReadsAfresh)
{
    campanha(QStringLiteral("A"));
    credito("K1", "A", 100, QVariant());
    srvtest::ModuleScope module(db->moduleConnectionString());

    EXPECT_DOUBLE_EQ(packetRows(GetSaldoConsCamp("CLI1", "K1")).value(0, "VRSALDOCONS").toDouble(), 100.0);
    resgate("K1", "A", 40, "R", "O", "I");
    EXPECT_DOUBLE_EQ(packetRows(GetSaldoConsCamp("CLI1", "K1")).value(0, "VRSALDOCONS").toDouble(), 60.0);
}

namespace {

// A small product tree: node 0101 with three products beneath, one of them extended by
// a longer position; a product of another node; node 02.
void catalogo(ShopDb& db)
{
    const QStringList cols = {"CDPRODUTO", "NMPRODUTO", "CDARVPROD", "SGUNIDADE", "CDBARPRODUTO"};
    db.insert(QStringLiteral("PRODUTO"), cols,
              {{QStringLiteral("G01"), QStringLiteral("Bebidas"), QStringLiteral("01"), QStringLiteral("UN"), QVariant()},
               {QStringLiteral("G0101"), QStringLiteral("Refrigerantes"), QStringLiteral("0101"), QStringLiteral("UN"), QVariant()},
               {QStringLiteral("P1"), QStringLiteral("Cola 2L"), QStringLiteral("0101001"), QStringLiteral("UN"), QStringLiteral("7891000000011")},
               {QStringLiteral("P1X"), QStringLiteral("Cola 2L fardo"), QStringLiteral("0101001X"), QStringLiteral("FD"), QStringLiteral("7891000000028")},
               {QStringLiteral("P2"), QStringLiteral("Guaraná 2L"), QStringLiteral("0101002"), QStringLiteral("UN"), QStringLiteral("7891000000035")},
               {QStringLiteral("P3"), QStringLiteral("Limão lata"), QStringLiteral("01011"), QStringLiteral("LT"), QStringLiteral("7891000000042")},
               {QStringLiteral("P4"), QStringLiteral("Suco de uva"), QStringLiteral("0102001"), QStringLiteral("UN"), QStringLiteral("7891000000059")},
               {QStringLiteral("P5"), QStringLiteral("Goiabada"), QStringLiteral("02001"), QStringLiteral("UN"), QStringLiteral("7891000000066")}});
    QList<QVariantList> aliquotas;
    for (const char* p : {"P1", "P1X", "P2", "P3", "P4", "P5"})
        aliquotas << QVariantList{QStringLiteral("0001"), QString::fromLatin1(p), 18.0, QStringLiteral("01"), QStringLiteral("T")};
    aliquotas << QVariantList{QStringLiteral("0003"), QStringLiteral("P2"), 7.0, QStringLiteral("03"), QStringLiteral("T")};
    db.insert(QStringLiteral("ALIQIMPFIS"), {"CDFILIAL", "CDPRODUTO", "VRPEALIMPFIS", "CDIMPOSTO", "IDTPIMPOSFIS"}, aliquotas);
    db.insert(QStringLiteral("BRINDECAMPANHA"), {"CDCAMPANHA", "CDPRODUTO", "VRPONTOBRINDE"},
              {{QStringLiteral("K"), QStringLiteral("G0101"), 150.0},
               {QStringLiteral("K"), QStringLiteral("P1"), 90.0},
               {QStringLiteral("K"), QStringLiteral("P5"), 40.0},
               {QStringLiteral("OUTRA"), QStringLiteral("P4"), 10.0}});
}

}  // namespace

TEST_P(LoyaltyQueries, CatalogueOffersEverythingBeneathEachGiftOncePerGift)
{
    catalogo(*db);
    srvtest::ModuleScope module(db->moduleConnectionString());

    const srvtest::PacketRows p = packetRows(GetBrinde("K", "0001"));
    // The engines of the suite take the data service's ANSI text, installed by it.
    ASSERT_NE(rdmFidelidade, nullptr);
    EXPECT_EQ(rdmFidelidade->adqBrinde->sql(), sql::brindeAnsi);
    EXPECT_EQ(p.fields, QStringList({"CDCAMPANHA", "CDPRODUTO", "VRPONTOBRINDE", "CDARVPROD", "NMPRODUTO", "SGUNIDADE",
                                     "VRPRECITEM", "VRPEALIMPFIS", "CDIMPOSTO", "IDTPIMPOSFIS", "CDPRODIMPFIS"}));
    // P1 and its extension P1X are reached through the node and through P1's own gift.
    EXPECT_EQ(column(p, "CDARVPROD"),
              QStringList({"0101001", "0101001", "0101001X", "0101001X", "0101002", "01011", "02001"}));
    QMultiMap<QString, double> pontos;
    for (int r = 0; r < p.rows.size(); ++r)
        pontos.insert(p.value(r, "CDPRODUTO").toString(), p.value(r, "VRPONTOBRINDE").toDouble());
    EXPECT_EQ(pontos.values("P1").size(), 2);
    EXPECT_TRUE(pontos.values("P1").contains(90.0) && pontos.values("P1").contains(150.0));
    EXPECT_TRUE(pontos.values("P1X").contains(90.0) && pontos.values("P1X").contains(150.0));
    EXPECT_EQ(pontos.values("P2"), QList<double>{150.0});
    EXPECT_EQ(pontos.values("P5"), QList<double>{40.0});
    ASSERT_FALSE(p.rows.isEmpty());
    EXPECT_EQ(p.value(0, "CDCAMPANHA").toString(), QStringLiteral("K"));
    EXPECT_EQ(p.value(0, "NMPRODUTO").toString(), QStringLiteral("Cola 2L"));
    EXPECT_EQ(p.value(0, "SGUNIDADE").toString(), QStringLiteral("UN"));
    EXPECT_DOUBLE_EQ(p.value(0, "VRPRECITEM").toDouble(), 0.0);
    EXPECT_DOUBLE_EQ(p.value(0, "VRPEALIMPFIS").toDouble(), 18.0);
    EXPECT_EQ(p.value(0, "CDIMPOSTO").toString(), QStringLiteral("01"));
    EXPECT_EQ(p.value(0, "IDTPIMPOSFIS").toString(), QStringLiteral("T"));
    EXPECT_EQ(p.value(0, "CDPRODIMPFIS").toString(), QStringLiteral("7891000000011"));
}

TEST_P(LoyaltyQueries, CatalogueKeepsOnlyProductsWithTaxRowsAtTheBranch)
{
    catalogo(*db);
    srvtest::ModuleScope module(db->moduleConnectionString());

    const srvtest::PacketRows none = packetRows(GetBrinde("K", "0002"));
    EXPECT_EQ(none.fields.size(), 11);
    EXPECT_TRUE(none.rows.isEmpty());
    const srvtest::PacketRows one = packetRows(GetBrinde("K", "0003"));
    EXPECT_EQ(column(one, "CDPRODUTO"), QStringList({"P2"}));
    EXPECT_TRUE(packetRows(GetBrinde("NENHUMA", "0001")).rows.isEmpty());
    EXPECT_TRUE(packetRows(GetBrinde(QString(), "0001")).rows.isEmpty());
}

// Positions made of the code page's highest characters, right after the node's position
// and repeated: the range end is above each of them in the database's byte order (UTF-8
// or a single-byte encoding), so each is still offered, and the next node is not.
TEST_P(LoyaltyQueries, CatalogueReachesPositionsOfTheHighestCharacters)
{
    const QString y = QStringLiteral("\u00FF"), tm = QStringLiteral("\u2122");
    const QStringList beneath = {QStringLiteral("01") + y, QStringLiteral("01") + y.repeated(18),
                                 QStringLiteral("01") + y + tm + QStringLiteral("9"), QStringLiteral("01") + tm};
    QList<QVariantList> produtos{{QStringLiteral("G01"), QStringLiteral("01")}, {QStringLiteral("G02"), QStringLiteral("02")}};
    QList<QVariantList> aliquotas;
    for (int i = 0; i < beneath.size(); ++i)
        produtos << QVariantList{QStringLiteral("P%1").arg(i), beneath[i]};
    produtos << QVariantList{QStringLiteral("PX"), QStringLiteral("02") + y};
    for (const QVariantList& p : produtos)
        aliquotas << QVariantList{QStringLiteral("0001"), p[0], 18.0, QStringLiteral("01"), QStringLiteral("T")};
    db->insert(QStringLiteral("PRODUTO"), {"CDPRODUTO", "CDARVPROD"}, produtos);
    db->insert(QStringLiteral("ALIQIMPFIS"), {"CDFILIAL", "CDPRODUTO", "VRPEALIMPFIS", "CDIMPOSTO", "IDTPIMPOSFIS"},
               aliquotas);
    db->insert(QStringLiteral("BRINDECAMPANHA"), {"CDCAMPANHA", "CDPRODUTO", "VRPONTOBRINDE"},
               {{QStringLiteral("K"), QStringLiteral("G01"), 10.0}});
    srvtest::ModuleScope module(db->moduleConnectionString());

    QStringList offered = column(packetRows(GetBrinde("K", "0001")), "CDARVPROD");
    QStringList expected = beneath + QStringList{QStringLiteral("01")};
    offered.sort();
    expected.sort();
    EXPECT_EQ(offered, expected);
}

// On PostgreSQL the catalogue's range is a range of the product tree's index, whatever the
// database's encoding: in the plan the server keeps for the prepared statement (its
// generic plan, for any value of the parameters), with sequential scans priced out,
// PRODUTO is read through PRODUTO_ARVORE from the node's position to the range end.
TEST_P(LoyaltyQueries, CatalogueRangeIsAnIndexRangeOnPostgreSQL)
{
    if (GetParam().kind != Kind::PostgreSQL)
        GTEST_SKIP() << "the plan is PostgreSQL's";
    platform::db::Connection own(db->nativeConnectionString());  // its settings die with it
    own.open();
    QString text = sql::brindeAnsi;
    text.replace(QStringLiteral(":P_CDCAMPANHA"), QStringLiteral("$1"))
        .replace(QStringLiteral(":P_CDFILIAL"), QStringLiteral("$2"))
        .replace(QStringLiteral(":P_FIMARVPROD"), QStringLiteral("$3"));
    own.execute(QStringLiteral("SET plan_cache_mode = force_generic_plan"));
    own.execute(QStringLiteral("SET enable_seqscan = off"));
    own.execute(QStringLiteral("PREPARE catalogo (varchar, varchar, varchar) AS ") + text);
    QSqlQuery explain(own.database());
    ASSERT_TRUE(explain.exec(QStringLiteral("EXPLAIN EXECUTE catalogo('K', '0001', '%1')").arg(sql::fimArvProd(own))))
        << explain.lastError().text().toStdString();
    QStringList plan;
    while (explain.next())
        plan << explain.value(0).toString();
    const QString shown = plan.join(QLatin1Char('\n'));
    static const QRegularExpression range(QStringLiteral(
        "using produto_arvore on produto p[^\n]*\n\\s*Index Cond: [^\n]*cdarvprod\\)::text >= [^\n]* AND "
        "[^\n]*cdarvprod\\)::text < [^\n]*\\$3"));
    EXPECT_TRUE(range.match(shown).hasMatch()) << shown.toStdString();
}

TEST_P(LoyaltyQueries, StatementErrorComesBackAsText)
{
    catalogo(*db);
    srvtest::ModuleScope module(db->moduleConnectionString());
    db->native().execute(QStringLiteral("DROP TABLE BRINDECAMPANHA"));
    const QVariant result = GetBrinde("K", "0001");
    // Put the table back for the following tests before checking.
    for (const QString& s : shopgen::splitStatements(shopgen::schemaScript(shopgen::schemaNameFor(db->native()))))
        if (s.contains(QLatin1String("CREATE TABLE BRINDECAMPANHA")))
            db->native().execute(s);

    ASSERT_EQ(result.userType(), QMetaType::QString);
    EXPECT_TRUE(platform::db::isErrorResult(result)) << result.toString().toStdString();
    EXPECT_TRUE(result.toString().contains(QLatin1String("BRINDECAMPANHA"), Qt::CaseInsensitive))
        << result.toString().toStdString();
    // The module stays usable.
    EXPECT_EQ(packetRows(GetBrinde("K", "0001")).rows.size(), 0);
}

TEST(LoyaltyQueriesWithoutModule, ReturnErrorTextInsteadOfRaising)
{
    ASSERT_EQ(rdmFidelidade, nullptr);
    for (const QVariant& result : {GetConsumidor(), GetSaldoConsCamp("C", "K"), GetBrinde("K", "0001")}) {
        EXPECT_EQ(result.userType(), QMetaType::QString);
        EXPECT_TRUE(platform::db::isErrorResult(result)) << result.toString().toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Backends, LoyaltyQueries, ::testing::ValuesIn(srvtest::backendsAndEncodings()),
                         [](const auto& info) { return srvtest::backendName(info.param); });

// The texts of each provider's dialect: the host's SQL stores hold the Oracle texts (also
// the queries' own) and the SQL Server texts and install them as a query opens; every other
// database gets the data service's own ANSI texts (installed by it, see the next test), so
// the stores have none to offer there.
TEST(DataServiceDialects, EachProviderGetsTheTextsOfItsDialect)
{
    using platform::db::Dialect;
    struct Case {
        const char* connection;
        Dialect dialect;
        QString brinde;
        QString saldo;
    };
    const Case cases[] = {
        {"Provider=MSDAORA.1;Data Source=QVNPROD;User ID=qvn", Dialect::Oracle, sql::brindeOracle, sql::saldoConsCampOracle},
        {"Provider=OraOLEDB.Oracle;Data Source=QVNPROD", Dialect::Oracle, sql::brindeOracle, sql::saldoConsCampOracle},
        {"Provider=SQLOLEDB.1;Data Source=srv;Initial Catalog=QVN", Dialect::MsSql, sql::brindeMsSql, sql::saldoConsCampMsSql},
        {"Provider=SQLNCLI11;Data Source=srv;Initial Catalog=QVN", Dialect::MsSql, sql::brindeMsSql, sql::saldoConsCampMsSql},
        {"Provider=SQLite;Data Source=loja.db", Dialect::Ansi, {}, {}},
        {"Provider=PostgreSQL;Host=db;Database=loja", Dialect::Ansi, {}, {}},
    };
    const auto installed = [](const hostkit::TADOSqlStorage& store, Dialect dialect) {
        switch (dialect) {
        case Dialect::Oracle: return store.SQLORACLE();
        case Dialect::MsSql: return store.SQLMSSQL();
        case Dialect::Ansi: return store.SQLANSI();
        }
        return QString();
    };
    TrdmFidelidade rdm;
    EXPECT_EQ(rdm.adqBrinde->sql(), sql::brindeOracle);
    EXPECT_EQ(rdm.adqSaldoConsCamp->sql(), sql::saldoConsCampOracle);
    for (const Case& c : cases) {
        const Dialect dialect = platform::db::parseConnectionString(QString::fromLatin1(c.connection)).dialect;
        EXPECT_EQ(dialect, c.dialect) << c.connection;
        EXPECT_EQ(installed(*rdm.assBrinde, dialect), c.brinde) << c.connection;
        EXPECT_EQ(installed(*rdm.assSaldoConsCamp, dialect), c.saldo) << c.connection;
    }
    // Three distinct texts each: a store that gave one dialect's text to another would pass
    // the comparisons above only if the texts were equal.
    EXPECT_EQ(QSet<QString>({sql::brindeOracle, sql::brindeMsSql, sql::brindeAnsi}).size(), 3);
    EXPECT_EQ(QSet<QString>({sql::saldoConsCampOracle, sql::saldoConsCampMsSql, sql::saldoConsCampAnsi}).size(), 3);
}
