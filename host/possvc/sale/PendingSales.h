#pragma once
// Resolving the redemptions a terminal left pending: sales concluded by the close-out
// whose document (SAT CF-e, NFC-e) was still to come when the host died, lost its
// database or failed to register the document (VENDAPENDENTE).
//
// The terminal is its fiscal identity, branch and register: its pending sales are those of
// its branch and register, whatever machine, folder or connection text it runs with.
// For each pending sale of the terminal, in one transaction each:
// - a sale already cancelled only loses its mark;
// - SAT: when the terminal's SAT device remembers a CF-e issued for the sale, the CF-e is
//   registered with it and the sale stands; otherwise the sale is cancelled, its points
//   given back and the cancellation logged in the cancelled-sale log;
// - NFC-e: a sale whose NFC-e was authorised (key and protocol stored) stands; otherwise
//   it is cancelled as above.
//
// Idempotent and safe with several terminals at once: the mark is removed first, and a
// terminal that finds it already removed leaves the sale to whoever removed it.
// Throws UnsettledSale when a pending sale cannot be settled now (its device's memory
// cannot be read, the database fails at it: the sale is left as it was, still pending),
// and platform::DatabaseError when the pending marks cannot be read at all.

#include "PossvcExport.h"
#include "host/possvc/sale/IssuedDocuments.h"

#include "platform/Error.h"
#include "platform/db/Connection.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

namespace possvc {

struct POSSVC_EXPORT Resolution {
    enum class Outcome { Registered, Stands, Cancelled, AlreadyCancelled };
    QString branch, cashRegister, sequence, docType;
    Outcome outcome = Outcome::Stands;
    QString detail;    // the CF-e or NFC-e number, or the cancelled-sale log number
    QString document;  // the sale's NFC-e number, when it has one
    QString text() const;  // one line for the host's log
};

// A pending sale that recovery could not settle now: which sale, and why. Settling it
// needs what failed (the device's memory, the database) back; until then the terminal
// must not take new redemptions on top of it.
class POSSVC_EXPORT UnsettledSale : public platform::HostError {
public:
    UnsettledSale(const QString& sale, const platform::Error& cause)
        : HostError(QStringLiteral("%1: %2").arg(sale, cause.text())), sale_(sale), reason_(cause.text())
    {
        if (const auto* db = dynamic_cast<const platform::DatabaseError*>(&cause))
            databaseError_ = *db;
    }
    const QString& sale() const { return sale_; }     // "venda N do caixa C da filial F"
    const QString& reason() const { return reason_; }
    // The database's error, when the database is what failed.
    const std::optional<platform::DatabaseError>& databaseError() const { return databaseError_; }

private:
    QString sale_, reason_;
    std::optional<platform::DatabaseError> databaseError_;
};

POSSVC_EXPORT QList<Resolution> resolvePending(platform::db::Connection& db, const QString& branch,
                                               const QString& cashRegister, const IssuedCfes& sat, const QDateTime& now);

// The one pending sale (branch, register, sequence) of the terminal, resolved as above;
// nothing when it holds no pending mark (never committed, or resolved already).
POSSVC_EXPORT std::optional<Resolution> resolvePendingSale(platform::db::Connection& db, const QString& branch,
                                                           const QString& cashRegister, const QString& sequence,
                                                           const IssuedCfes& sat, const QDateTime& now);

// Whether a receipt of the fiscal printer belongs to a concluded sale of the terminal: a
// VENDA of this branch and register, printed by that printer (its serial) under that
// receipt number and counter, still concluded. A cancelled sale counts as none. No clock
// takes part: a clock stepped back or a daylight-saving night changes nothing.
POSSVC_EXPORT bool receiptHasSale(platform::db::Connection& db, const QString& branch, const QString& cashRegister,
                                  const QString& printerSerial, const QString& receipt, const QString& counter);

}  // namespace possvc
