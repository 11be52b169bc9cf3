#pragma once
// Test databases for the sale services: a fresh SQLite file, or (when VAK_PG_CONNSTR is
// set) a fresh PostgreSQL database of its own, with the shop schema and a small shop:
// branch 0001, client CLI1 with consumer CONS1, campaign PTS (paid from points) with 100
// valid points and campaign VOU (paid from vouchers) with 50 voucher points.

#include "support/ScratchDatabase.h"

#include "hostapi/ArgumentBlocks.h"
#include "platform/dataset/ClientDataSet.h"
#include "platform/db/Connection.h"

#include <QDate>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace saletest {

class TestDatabase {
public:
    // "sqlite" or "postgresql"; nullptr when that backend is not configured here.
    static std::unique_ptr<TestDatabase> create(const QString& backend);
    ~TestDatabase();

    const QString& connectionString() const { return connectionString_; }
    // A new connection, session set up as the host does it.
    std::unique_ptr<platform::db::Connection> open() const;

    // Runs a statement with positional values (:P1, :P2, ...).
    void exec(const QString& sql, const QVariantList& values = {});
    // The first column of the first row, or null.
    QVariant scalar(const QString& sql, const QVariantList& values = {});
    int count(const QString& table, const QString& where = QStringLiteral("1 = 1"), const QVariantList& values = {});

    void addPoints(const QString& campaign, double points);

private:
    TestDatabase() = default;
    void loadSchema(const QString& file);
    void seedShop();
    QString connectionString_;
    std::unique_ptr<testsupport::ScratchDatabase> scratch_;
    std::unique_ptr<platform::db::Connection> conn_;  // closed before the database is dropped
};

// The sale services' blocks, read and changed by these names.
using Conclui = hostapi::block::SetConcluiFechamento;
using ConcluiDataSets = hostapi::block::ConcluiFechamentoDataSets;
using VendaCan = hostapi::block::IncluiVendaCan;
using AlteraCan = hostapi::block::AlteraVendaCan;
constexpr int kConcluiHighest = hostapi::block::highestIndex<Conclui>;
constexpr int kDataSetsHighest = hostapi::block::highestIndex<ConcluiDataSets>;
constexpr int kVendaCanHighest = hostapi::block::highestIndex<VendaCan>;
constexpr int kAlteraCanHighest = hostapi::block::highestIndex<AlteraCan>;
// Their answer lists' slots.
using Fechamento = hostapi::answer::Fechamento;
using Cancelada = hostapi::answer::VendaCancelada;

struct Gift {
    QString campaign;
    QString product;
    double points = 0;
    QString voucherFlag = QStringLiteral("N");  // the campaign's IDUTILVOUCHER
    double price = 10.0;
};

// The datasets a redemption hands to the close-out, filled as the screen fills them.
struct Redemption {
    explicit Redemption(const QList<Gift>& gifts, const QString& receipt = QStringLiteral("000123"),
                        const QString& counter = QStringLiteral("000045"));
    // Sets a field of every row of a dataset (venda, movCaixa).
    static void setAll(platform::ClientDataSet& ds, const QString& field, const QVariant& value);
    platform::ClientDataSet venda, movCaixa, brinde, vazio;
    QList<platform::ClientDataSet*> dataSets();
};

// The close-out's value block for a terminal of document type "E", "N" or "S".
QVariantList closeOutBlock(const QString& docType, const QString& receipt = QStringLiteral("000123"),
                           const QString& nfceNumber = QString(), const QString& nfceSeries = QString(),
                           const QString& emission = QString());
// The block of AlteraVendaCan for sale `seq` of branch 0001, register 003, today.
QVariantList alterBlock(const QString& seq);

// A test on one backend (the parameter) with the sale services installed on it.
class SaleServicesTest : public ::testing::TestWithParam<QString> {
protected:
    void SetUp() override;
    void TearDown() override;
    // The consumer's balance of a campaign as the data service computes it now.
    double points(const QString& campaign = QStringLiteral("PTS"));
    double vouchers(const QString& campaign = QStringLiteral("VOU"));
    // The situation (IDSITUVENDA) of sale `seq` of branch 0001, register 003.
    QString situation(const QString& seq);
    // The block of IncluiVendaCan for the sale rows `venda` of register 003 (no cancelled rows).
    static QVariantList includeBlock(const platform::ClientDataSet& venda);
    std::unique_ptr<TestDatabase> db;
    QTemporaryDir satDir;  // the SAT device's memory, one per test
};

}  // namespace saletest
