// The price lookup on the price tables: every refusal code arises from the data, and the
// price travels as decimal text. Runs on SQLite always, on PostgreSQL when configured.

#include "support/ScratchDatabase.h"
#include "host/possvc/screen/PriceLookup.h"
#include "host/possvc/screen/ScreenOps.h"
#include "hostapi/ArgumentBlocks.h"
#include "hostapi/possvc.h"
#include "platform/db/Query.h"
#include "tools/shopgen/Schema.h"

#include <QCoreApplication>
#include <QLocale>

#include <gtest/gtest.h>

#include <memory>

namespace {

using platform::FieldType;
using platform::db::Command;
using platform::db::Connection;
using namespace possvc::sim;

using testsupport::DbKind;
using Preco = hostapi::block::ChamaFuncaoRetornaPreco;
constexpr int kPrecoHighest = hostapi::block::highestIndex<Preco>;

// The price lookup's block for `product` of client 001 and consumer C1 at branch 0001, shop 01.
QVariantList priceBlock(const char* product)
{
    return hostapi::ArgumentBlock<Preco>(QVariant(), {{Preco::CdFilial, "0001"},
                                                      {Preco::CdCliente, "001"}, {Preco::CdProduto, product},
                                                      {Preco::CdLoja, "01"}, {Preco::CdConsumidor, "C1"},
                                                      {Preco::Fixo5, "B"}})
        .values();
}

// A shop database of its own: a SQLite file, or a PostgreSQL database created for the test.
class PriceDb {
public:
    explicit PriceDb(DbKind kind) : scratch_(testsupport::ScratchDatabase::create(kind, QStringLiteral("price")))
    {
        db_ = std::make_unique<Connection>(scratch_->connectionString());
        db_->open();
        shopgen::createSchema(*db_);
    }
    Connection& db() { return *db_; }
    const QString& connStr() const { return scratch_->connectionString(); }

    void run(const QString& sql, const QList<QPair<QString, QVariant>>& params = {})
    {
        Command c(db_.get());
        c.setSql(sql);
        for (const auto& [name, value] : params) {
            const FieldType type = value.typeId() == QMetaType::QDateTime ? FieldType::DateTime
                                   : value.typeId() == QMetaType::Double  ? FieldType::Float
                                                                          : FieldType::String;
            c.declareParam(name, type).setValue(value);
        }
        c.execute();
    }
    void table(const QString& code, const QVariant& from, const QVariant& to)
    {
        run(QStringLiteral("INSERT INTO TABPRECO (CDTABPRECO, NMTABPRECO, DTINIVGTABPR, DTFINVGTABPR) "
                           "VALUES (:P_CD, :P_NM, :P_INI, :P_FIN)"),
            {{"P_CD", code}, {"P_NM", code}, {"P_INI", from}, {"P_FIN", to}});
    }
    void price(const QString& table, const QString& product, double value)
    {
        run(QStringLiteral("INSERT INTO ITTABPRECO (CDTABPRECO, CDPRODUTO, VRPRECITEM) VALUES (:P_T, :P_P, :P_V)"),
            {{"P_T", table}, {"P_P", product}, {"P_V", value}});
    }
    void product(const QString& code, const QString& blocked, const QString& cest = {}, const QString& ncm = {})
    {
        run(QStringLiteral("INSERT INTO PRODUTO (CDPRODUTO, NMPRODUTO, IDPRODBLOQ, CDCEST, CDNCM) "
                           "VALUES (:P_CD, :P_NM, :P_BL, :P_CEST, :P_NCM)"),
            {{"P_CD", code}, {"P_NM", QStringLiteral("Produto ") + code}, {"P_BL", blocked},
             {"P_CEST", cest.isEmpty() ? QVariant() : QVariant(cest)}, {"P_NCM", ncm.isEmpty() ? QVariant() : QVariant(ncm)}});
    }

private:
    std::unique_ptr<testsupport::ScratchDatabase> scratch_;
    std::unique_ptr<Connection> db_;  // closed before the database is dropped
};

QDateTime daysFromToday(int days)
{
    return QDateTime(QDate::currentDate().addDays(days), QTime(0, 0));
}

class PriceLookupTest : public ::testing::TestWithParam<DbKind> {
protected:
    void SetUp() override
    {
        if (!testsupport::dbKindConfigured(GetParam()))
            GTEST_SKIP() << "VAK_PG_CONNSTR not set";
        shop = std::make_unique<PriceDb>(GetParam());
        // Branch 0001 defaults to PADRAO; shop 01 has no table of its own, shop 02 has LOJA2;
        // client 001 has none, client 002 has CLI2.
        shop->run("INSERT INTO FILIAL (CDFILIAL, NMFILIAL, CDTABPRECO) VALUES ('0001', 'Matriz', 'PADRAO')");
        shop->run("INSERT INTO FILIAL (CDFILIAL, NMFILIAL) VALUES ('0002', 'Sem tabela')");
        shop->run("INSERT INTO LOJA (CDFILIAL, CDLOJA, NMLOJA) VALUES ('0001', '01', 'Loja 1')");
        shop->run("INSERT INTO LOJA (CDFILIAL, CDLOJA, NMLOJA, CDTABPRECO) VALUES ('0001', '02', 'Loja 2', 'LOJA2')");
        shop->run("INSERT INTO LOJA (CDFILIAL, CDLOJA, NMLOJA, CDTABPRECO) VALUES ('0001', '03', 'Loja 3', 'FANTASMA')");
        shop->run("INSERT INTO LOJA (CDFILIAL, CDLOJA, NMLOJA, CDTABPRECO) VALUES ('0001', '04', 'Loja 4', 'LOJA4')");
        shop->run("INSERT INTO CLIENTE (CDCLIENTE, NMFANTCLIE) VALUES ('001', 'Cliente 1')");
        shop->run("INSERT INTO CLIENTE (CDCLIENTE, NMFANTCLIE, CDTABPRECO) VALUES ('002', 'Cliente 2', 'CLI2')");
        shop->table("PADRAO", QVariant(), QVariant());
        shop->table("LOJA2", daysFromToday(-30), daysFromToday(-1));
        shop->table("CLI2", daysFromToday(1), QVariant());
        shop->table("LOJA4", daysFromToday(-5), daysFromToday(5));
        shop->product("P1", "N", "0300100", "21069010");
        shop->product("P2", "N");
        shop->product("P3", "N");
        shop->product("P4", "S");
        shop->price("PADRAO", "P1", 25.9);
        shop->price("PADRAO", "P2", 0);
        shop->price("PADRAO", "P4", 10);
        shop->price("LOJA2", "P1", 20);
        shop->price("CLI2", "P1", 18);
        shop->price("LOJA4", "P3", 7.5);
    }
    QString ask(const QString& branch, const QString& client, const QString& product, const QString& shopCode)
    {
        return lookUpPrice(shop->db(), {branch, client, product, shopCode}, QDate::currentDate());
    }
    std::unique_ptr<PriceDb> shop;
};

TEST_P(PriceLookupTest, PriceOfTheBranchDefaultTable)
{
    EXPECT_EQ(ask("0001", "001", "P1", "01"), priceText(25.9));
}

TEST_P(PriceLookupTest, EveryRefusalCodeArisesFromTheData)
{
    EXPECT_EQ(ask("0001", "001", "P4", "01"), "BLOQUEADO");
    EXPECT_EQ(ask("0001", "001", "P2", "01"), "PRECZERO");
    EXPECT_EQ(ask("0001", "001", "P3", "01"), "PRECNCAD");
    EXPECT_EQ(ask("0001", "002", "P1", "01"), "DTCLI") << "the client's table starts tomorrow";
    EXPECT_EQ(ask("0001", "001", "P1", "02"), "DTLOJ") << "the shop's table ended yesterday";
    EXPECT_EQ(ask("0002", "001", "P1", "01"), "TABENCAD") << "no level names a table";
    EXPECT_EQ(ask("0001", "001", "P1", "03"), "TABENCAD") << "the shop names a table that does not exist";
    shop->run("UPDATE TABPRECO SET DTFINVGTABPR = :P_FIN WHERE CDTABPRECO = 'PADRAO'", {{"P_FIN", daysFromToday(-1)}});
    EXPECT_EQ(ask("0001", "001", "P1", "01"), "DTPAR");
}

TEST_P(PriceLookupTest, TableCurrentOnItsFirstAndLastDay)
{
    shop->run("UPDATE TABPRECO SET DTINIVGTABPR = :P_INI, DTFINVGTABPR = :P_FIN WHERE CDTABPRECO = 'LOJA2'",
              {{"P_INI", daysFromToday(0)}, {"P_FIN", daysFromToday(0)}});
    EXPECT_EQ(ask("0001", "001", "P1", "02"), priceText(20));
}

TEST_P(PriceLookupTest, ClientTableWinsOverShopAndBranch)
{
    shop->run("UPDATE TABPRECO SET DTINIVGTABPR = NULL WHERE CDTABPRECO = 'CLI2'");
    EXPECT_EQ(ask("0001", "002", "P1", "04"), priceText(18));
    EXPECT_EQ(ask("0001", "002", "P1", "02"), priceText(18)) << "the shop's expired table is never reached";
}

TEST_P(PriceLookupTest, TableWithoutThePriceHandsOnToTheNextLevel)
{
    EXPECT_EQ(ask("0001", "001", "P3", "04"), priceText(7.5)) << "only the shop's table prices P3";
    EXPECT_EQ(ask("0001", "001", "P1", "04"), priceText(25.9)) << "the shop's table lacks P1: the branch's has it";
    shop->run("UPDATE TABPRECO SET DTINIVGTABPR = NULL WHERE CDTABPRECO = 'CLI2'");
    EXPECT_EQ(ask("0001", "002", "P2", "02"), "DTLOJ") << "client table lacks P2; the shop's table is out of date";
    EXPECT_EQ(ask("0001", "002", "P2", "04"), "PRECZERO") << "down to the branch's table, which prices it at 0";
}

TEST_P(PriceLookupTest, ThroughTheProcedureVariablesWithTheHostConnection)
{
    setConnectionSource([this] { return shop->connStr(); });
    installScreenOps();
    QVariant vo = QVariantList(10);
    QString answer;
    possvc::ChamaFuncaoRetornaPreco(priceBlock("P3"), kPrecoHighest, vo, answer);
    EXPECT_EQ(answer, "PRECNCAD");
    EXPECT_EQ(vo.toList().value(hostapi::answer::Preco::Valor).toString(), "PRECNCAD");

    QVariant codes = QVariantList(2);
    possvc::getProdCodCestNcm("P1", codes);
    EXPECT_EQ(codes.toList(), (QVariantList{"0300100", "21069010"}));
    possvc::getProdCodCestNcm("NOPE", codes);
    EXPECT_EQ(codes.toList(), (QVariantList{"", ""}));

    queuePrice("12,34");
    possvc::ChamaFuncaoRetornaPreco(priceBlock("P3"), kPrecoHighest, vo, answer);
    EXPECT_EQ(answer, "12,34") << "a queued answer comes before the tables";
    possvc::ChamaFuncaoRetornaPreco(priceBlock("P1"), kPrecoHighest, vo, answer);
    EXPECT_EQ(answer, priceText(25.9));
    setConnectionSource({});
    possvc::library().unassignAll();
}

INSTANTIATE_TEST_SUITE_P(Backends, PriceLookupTest, ::testing::Values(DbKind::SQLite, DbKind::PostgreSQL),
                         [](const auto& info) { return testsupport::dbKindName(info.param); });

TEST(PriceText, UsesTheSystemDecimalSeparatorWithoutGrouping)
{
    const QString sep = QLocale::system().decimalPoint();
    EXPECT_EQ(priceText(1234.5), "1234" + sep + "5");
    EXPECT_EQ(priceText(0.29), "0" + sep + "29");
    EXPECT_EQ(priceText(7), "7");
}

TEST(PriceBlock, HighestIndexMustMatchTheBlock)
{
    installScreenOps();
    QVariant vo;
    QString answer;
    EXPECT_THROW(possvc::ChamaFuncaoRetornaPreco(priceBlock("P1"), kPrecoHighest + 1, vo, answer),
                 platform::HostError);
    possvc::library().unassignAll();
}

}  // namespace
