#pragma once
// The simulated SAT device and the host's record of its answer: SATOnline sends a
// concluded sale to the device, which issues a CF-e (model 59) in the real layout and
// answers in name=value lines; AtualizaVendaSat stores the CF-e number, key and QR-code
// text with the sale.
//
// Works on a connection it does not own. The device refuses (answer with EEEEE other
// than 06000 and a "mensagem") a wrong activation code and a sale that is not concluded.

#include "PossvcExport.h"
#include "host/possvc/sale/SaleServices.h"
#include "host/possvc/sale/SaleServicesModel.h"
#include "host/possvc/devices/SatMemory.h"

#include "platform/db/Connection.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace possvc {

// A stored sale with its items, as the documents need it. `found` is false when the
// sale does not exist; `situation` is its IDSITUVENDA.
struct StoredSale {
    bool found = false;
    QString situation;
    SaleDocument document;
};
POSSVC_EXPORT StoredSale loadSale(platform::db::Connection& db, const QString& branch, const QString& cashRegister,
                                  const QString& sequence);

// Records an issued CF-e with its sale (number, key, QR-code text) and removes the sale's
// pending mark, inside the caller's transaction. Returns the CF-e number. Throws
// platform::HostError for an answer without a valid CF-e number or a sale that does not
// exist, platform::DatabaseError on a database failure.
POSSVC_EXPORT QString registerCfe(platform::db::Connection& db, const QString& branch, const QString& cashRegister,
                                  const QString& sequence, const QStringList& answer, const QString& qrCode = QString());

class POSSVC_EXPORT SatDevice {
public:
    // `memory` keeps what the device issued (see SatMemory.h).
    SatDevice(platform::db::Connection& db, const sim::SaleServicesConfig& config, const QDateTime& now,
              const SatMemory& memory);

    // Issues the CF-e of the sale and remembers it. True when issued; `answer` receives
    // the device's answer either way. Throws platform::DatabaseError when the sale cannot
    // be read, platform::HostError when the device's memory cannot be written (nothing
    // issued then).
    bool send(const QString& branch, const QString& cashRegister, const QString& sequence,
              const QString& activationCode, QStringList& answer);

    // Stores the result with the sale and removes its pending mark. Returns empty text on
    // success and an error text otherwise (a service result: never throws for a database
    // failure).
    QVariant update(const QString& branch, const QString& cashRegister, const QString& sequence,
                    const QString& cfeNumber, const QString& qrCode, const QStringList& answer);

    // The answer the device gives when it is busy (the host's planned fault).
    static QStringList busyAnswer();

private:
    static int nextSession();
    platform::db::Connection& db_;
    const sim::SaleServicesConfig& config_;
    QDateTime now_;
    const SatMemory& memory_;
};

}  // namespace possvc
