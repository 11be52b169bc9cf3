#pragma once
// The sale's side of the SAT: SATOnline reads the concluded sale, draws the CF-e's number
// and hands the sale to the device; AtualizaVendaSat and recovery store the CF-e the
// device issued (number, key, QR-code text) with the sale and clear its pending mark.
// Only these services write the sale's rows; the device answers what it issued.
//
// Works on a connection it does not own.

#include "PossvcExport.h"
#include "host/possvc/sale/SaleServices.h"
#include "host/possvc/sale/SaleServicesModel.h"

#include "platform/db/Connection.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace possvc {

class SatDevice;

// A stored sale with its items, as the documents need it. `found` is false when the
// sale does not exist; `situation` is its IDSITUVENDA.
struct StoredSale {
    bool found = false;
    QString situation;
    SaleDocument document;
};
POSSVC_EXPORT StoredSale loadSale(platform::db::Connection& db, const QString& branch, const QString& cashRegister,
                                  const QString& sequence);

// Sends the concluded sale to the device, which issues its CF-e. True when issued;
// `answer` receives the device's answer either way (a refusal names a sale that does not
// exist or is not concluded). Throws platform::DatabaseError when the sale cannot be read,
// platform::HostError when the device's memory cannot be written (nothing issued then).
POSSVC_EXPORT bool sendToSat(platform::db::Connection& db, const sim::SaleServicesConfig& config,
                             const QDateTime& now, const SatDevice& device, const QString& branch,
                             const QString& cashRegister, const QString& sequence, const QString& activationCode,
                             QStringList& answer);

// Records an issued CF-e with its sale (number, key, QR-code text) and removes the sale's
// pending mark, inside the caller's transaction. Returns the CF-e number. Throws
// platform::HostError for an answer without a valid CF-e number or a sale that does not
// exist, platform::DatabaseError on a database failure.
POSSVC_EXPORT QString registerCfe(platform::db::Connection& db, const QString& branch, const QString& cashRegister,
                                  const QString& sequence, const QStringList& answer, const QString& qrCode = QString());

// AtualizaVendaSat: stores the result with the sale and removes its pending mark in a
// transaction of its own. Returns empty text on success and an error text otherwise (a
// service result: never throws for a database failure).
POSSVC_EXPORT QVariant updateSatSale(platform::db::Connection& db, const QString& branch, const QString& cashRegister,
                                     const QString& sequence, const QString& cfeNumber, const QString& qrCode,
                                     const QStringList& answer);

}  // namespace possvc
