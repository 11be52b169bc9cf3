#pragma once
// Database helpers of the sale services: reading the rows of a dataset's packet by field
// name, sequence numbers drawn inside the caller's transaction, the consumer lock, and
// the consumer's balances read with the data service's own statement, so that the
// close-out and the screen agree on what a consumer may spend.
//
// Everything throws platform::DatabaseError on a database failure and
// platform::HostError on data that cannot be used.

#include "PossvcExport.h"
#include "platform/dataset/ClientDataSet.h"
#include "platform/dataset/DataPacket.h"
#include "platform/db/Connection.h"
#include "platform/db/Query.h"

#include <QDate>
#include <QMap>
#include <QString>
#include <QVariant>

namespace possvc::db {

// Read-only view of a packet's rows by field name. A field the packet lacks reads null.
class POSSVC_EXPORT PacketRows {
public:
    PacketRows() = default;
    explicit PacketRows(platform::DataPacket packet);
    // The rows of a dataset (none when it is null or not open); its cursor is not moved.
    static PacketRows of(const platform::ClientDataSet* dataSet);
    static PacketRows of(const QVariant& packetVariant);

    int count() const { return int(packet_.rows.size()); }
    bool has(const QString& field) const { return index(field) >= 0; }
    QVariant value(int row, const QString& field) const;
    QString text(int row, const QString& field) const;  // trailing blanks removed
    double number(int row, const QString& field) const; // null -> 0

private:
    int index(const QString& field) const;
    platform::DataPacket packet_;
};

// The condition naming one sale, and its binding.
inline const QString kSaleKey = QStringLiteral("CDFILIAL = :P_CDFILIAL AND CDCAIXA = :P_CDCAIXA AND NRSEQVENDA = :P_NRSEQVENDA");
POSSVC_EXPORT void bindSaleKey(platform::db::Statement& s, const QString& branch, const QString& cashRegister, const QString& sequence);

// The next number of `counterKey` in NOVOCODIGO, drawn inside the caller's transaction
// (so that a rolled-back sale gives its number back). A counter that does not exist yet
// starts after the highest number already in `table`.`column` for the branch and
// register; a number already taken there is skipped.
POSSVC_EXPORT QString nextSequence(platform::db::Connection& db, const QString& counterKey, const QString& table,
                                   const QString& column, const QString& branch, const QString& cashRegister);

// The pending mark of a sale whose document is still to come (VENDAPENDENTE), written
// and removed inside the caller's transaction. clearPending returns whether a mark was
// removed (false when there was none or another terminal removed it first).
POSSVC_EXPORT void markPending(platform::db::Connection& db, const QString& branch, const QString& cashRegister,
                               const QString& sequence, const QString& docType, const QString& terminal, const QDateTime& now);
POSSVC_EXPORT bool clearPending(platform::db::Connection& db, const QString& branch, const QString& cashRegister,
                                const QString& sequence);

// Serialises every close-out of one consumer until the caller's transaction ends.
// SQLite: nothing to do, the transaction holds the database's write lock (BEGIN
// IMMEDIATE). PostgreSQL: a transaction-level advisory lock on the client and consumer.
// SQL Server and Oracle: an update lock on the consumer's row. The time spent waiting for
// another terminal's hold is added to sim::consumerLockWaits().
POSSVC_EXPORT void lockConsumer(platform::db::Connection& db, const QString& client, const QString& consumer);

// A consumer's balances in one campaign, as the data service computes them.
struct CampaignBalance {
    double points = 0;    // VRSALDOCONS: valid credits less 'R' redemptions
    double vouchers = 0;  // VRPTOVOUCHER: open vouchers less 'V' redemptions
};
// Keyed by campaign code; a campaign without valid credits is absent.
POSSVC_EXPORT QMap<QString, CampaignBalance> balances(platform::db::Connection& db, const QString& client,
                                                      const QString& consumer, const QDate& today);

// One column of a row to insert. Texts longer than `size` keep their first `size`
// characters (as a dataset field of that size would), except codes and numbers (CD…,
// NR… columns): cutting one would book the row under another code, so insertRow throws
// HostError instead. Dates become date-times.
struct Column {
    QString name;
    platform::FieldType type = platform::FieldType::String;
    int size = 0;
    QVariant value;  // null: NULL
};
POSSVC_EXPORT bool isCode(const QString& column);
POSSVC_EXPORT void insertRow(platform::db::Connection& db, const QString& table, const QList<Column>& columns);

// Prepares on the connection, ahead of their first use, the statements a close-out runs:
// the consumer lock, the balances, the pending mark, the numbering of each counter
// (nextSequence over `table`.`column`, a counter's first use included) and an insert of
// each table with the columns of the rows given (their values are not used), so that the
// first sale costs what the later ones cost. No row is written and no lock is taken. A
// statement that cannot be prepared is prepared at its first use, as without this, and
// its error reported then; nothing is thrown.
//
// On PostgreSQL the connection's statements also keep one plan each from their first run
// (plan_cache_mode): every statement of the services looks rows up by key, where a plan
// made for the values at hand is no better, and the server would otherwise plan each of
// them anew on its first five runs.
struct Counter {
    QString table;
    QString column;
};
POSSVC_EXPORT void prepareCloseOut(platform::db::Connection& db, const QList<Counter>& counters,
                                   const QList<QPair<QString, QList<Column>>>& inserts);

// The text of a date-time column value in every backend's representation.
POSSVC_EXPORT QDateTime toDateTime(const QVariant& value);

}  // namespace possvc::db
