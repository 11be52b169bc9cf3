#pragma once
// The sale close-out (SetConcluiFechamento): writes a redemption's sale in one
// transaction — the VENDA row (concluded "O", printed "I"), its items (ITVENDA) from the
// sale rows, one ITFIDELIDADE row per gift and the cash movement (MOVCAIXA) — after
// re-checking, under a lock on the consumer, that each campaign still holds the points
// the gifts spend. On an NFC-e terminal it also issues the NFC-e: access key, QR-code
// text and authorisation protocol, stored with the sale.
//
// Works on a connection it does not own, outside any transaction of the caller.
// A sale whose document is still to come (SAT, NFC-e) is marked pending in the same
// transaction (VENDAPENDENTE, see PendingSales.h).
//
// Throws platform::HostError, with the reason, for a block or dataset list that is not
// the close-out's, a sale without items, a sale missing what a fiscal record needs (the
// business date — missing, null or the zero date —, the register's opening date, the
// operator, the receipt kind of the cash movement, a code longer than its column), an
// NFC-e number that is not a number, and an overdrawn campaign (nothing is written then;
// the reason also goes to the host's log); platform::DatabaseError for database failures
// (rolled back).

#include "PossvcExport.h"
#include "host/possvc/sale/SaleServices.h"
#include "host/possvc/sale/SaleServicesDb.h"

#include "hostapi/ArgumentBlocks.h"
#include "platform/dataset/ClientDataSet.h"
#include "platform/db/Connection.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QVariantList>

#include <optional>

namespace possvc {

struct CloseOutResult {
    QString sequence;   // NRSEQVENDA
    QString key;        // NFC-e only
    QString qrText;
    QString protocol;
};

class POSSVC_EXPORT SaleCloseOut {
public:
    // `terminal` names the terminal in the pending mark of a sale whose document is still
    // to come (SAT, NFC-e).
    SaleCloseOut(platform::db::Connection& db, const sim::SaleServicesConfig& config, const QDateTime& now,
                 const QString& terminal);

    // Prepares on a connection just opened the statements conclude() runs (see
    // db::prepareCloseOut): nothing runs, and nothing is thrown.
    static void prepare(platform::db::Connection& db);

    CloseOutResult conclude(const QList<platform::ClientDataSet*>& dataSets, int highestDataSet,
                            const QVariantList& block, int highest);
    // The sale number conclude() drew, also when it failed afterwards (empty before).
    const QString& sequence() const { return result_.sequence; }

private:
    struct Gift {
        QString client, campaign, product, operation;
        double points = 0;
        QString itemSequence;
    };
    using BlockReader = hostapi::BlockReader<hostapi::block::SetConcluiFechamento>;
    using DataSetsReader = hostapi::BlockReader<hostapi::block::ConcluiFechamentoDataSets, platform::ClientDataSet*>;

    const BlockReader& in() const { return *block_; }
    void readInput(const DataSetsReader& dataSets);
    void checkFiscalRecord();
    void checkBalances();
    void issueNfce();
    void insertSale();
    void insertItems();
    QList<db::Column> saleRow() const;
    QList<db::Column> itemRow(int row) const;
    void insertGifts();
    void insertCashMovements();
    static QList<db::Column> giftRow(const QString& branch, const QString& cashRegister, const QString& sale,
                                     const QString& consumer, const Gift& g);

    platform::db::Connection& db_;
    const sim::SaleServicesConfig& config_;
    QDateTime now_;
    std::optional<BlockReader> block_;  // the value block, once checked
    db::PacketRows items_, cash_;
    QList<Gift> gifts_;
    QString terminal_;
    QString branch_, register_, client_, consumer_, docType_;
    CloseOutResult result_;
};

// The issuer of a branch: its FILIAL row where it has a name, state and a 14-character
// CNPJ, the configured issuer otherwise.
POSSVC_EXPORT Issuer issuerOf(platform::db::Connection& db, const QString& branch, const Issuer& fallback);

}  // namespace possvc
