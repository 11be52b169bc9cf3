#pragma once
// The simulated SAT device and the host's record of its answer: SATOnline sends a
// concluded sale to the device, which issues a CF-e (model 59) in the real layout and
// answers in name=value lines; AtualizaVendaSat stores the CF-e number, key and QR-code
// text with the sale.
//
// Works on a connection it does not own. The device refuses (answer with EEEEE other
// than 06000 and a "mensagem") a wrong activation code and a sale that is not concluded.

#include "host/possvc/SaleServices.h"
#include "host/possvc/SaleServicesModel.h"

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
StoredSale loadSale(platform::db::Connection& db, const QString& branch, const QString& cashRegister,
                    const QString& sequence);

class SatDevice {
public:
    SatDevice(platform::db::Connection& db, const sim::SaleServicesConfig& config, const QDateTime& now);

    // Issues the CF-e of the sale. True when issued; `answer` receives the device's
    // answer either way. Throws platform::DatabaseError when the sale cannot be read.
    bool send(const QString& branch, const QString& cashRegister, const QString& sequence,
              const QString& activationCode, QStringList& answer);

    // Stores the result with the sale. Returns empty text on success and an error text
    // otherwise (a service result: never throws for a database failure).
    QVariant update(const QString& branch, const QString& cashRegister, const QString& sequence,
                    const QString& cfeNumber, const QString& qrCode, const QStringList& answer);

    // The answer the device gives when it is busy (the host's planned fault).
    static QStringList busyAnswer();

private:
    static int nextSession();
    platform::db::Connection& db_;
    const sim::SaleServicesConfig& config_;
    QDateTime now_;
};

}  // namespace possvc
