#pragma once
// The host's cancelled-sale log (IncluiVendaCan, AlteraVendaCan). Each call writes one
// entry (VENDACANCELADA and its items in ITVENDACANCELADA) and, when the entry names a
// concluded sale, marks that sale cancelled (IDSITUVENDA "C"), which gives its points
// back: the balance counts only the loyalty items of concluded sales.
//
// IncluiVendaCan receives the sale rows, not the sale's number. Receipt numbers and
// counters repeat (a replaced printer starts again at 1, two terminals may share a
// register code), so the entry cancels a concluded sale only when it can prove the sale
// came from this very receipt: a sale these services concluded while the screen was open
// (ConcludedSale), with the same printer serial, receipt number, counter, business date,
// register, consumer and items, still concluded in the database. Otherwise it only logs
// the entry. AlteraVendaCan names the sale by its number; it does not cancel a sale whose
// CF-e the SAT device issued (the sale stands: the CF-e is registered instead).
//
// Works on a connection it does not own. Each call runs in one transaction; a cancelled
// sale's pending mark goes with it.

#include "PossvcExport.h"
#include "host/possvc/sale/SaleServicesDb.h"

#include "platform/db/Connection.h"

#include "host/possvc/sale/IssuedDocuments.h"

#include <QDate>
#include <QDateTime>
#include <QMap>
#include <QString>
#include <QVariant>
#include <QVariantList>

namespace possvc {

// A sale the close-out concluded, as the cancelled-sale log needs it for its proof.
struct ConcludedSale {
    QString branch, cashRegister, sequence;
    QString receipt, counter, printerSerial, consumer;
    QDate movementDate;
    QMap<QString, int> products;  // product code -> count
};

class POSSVC_EXPORT CancelledSaleLog {
public:
    CancelledSaleLog(platform::db::Connection& db, const QDateTime& now);

    struct Entry {
        QString logNumber;       // NRSEQVENDACAN; empty when nothing was logged
        QString cancelledSale;   // NRSEQVENDA of the sale marked cancelled, if any
        QString standingCfe;     // the CF-e number of a sale that stands with its CF-e
    };

    // The 14-value block of IncluiVendaCan; `concluded` the sales concluded while the
    // screen was open. Throws platform::HostError for a block of another size,
    // platform::DatabaseError on a database failure (rolled back).
    Entry include(const QVariantList& block, int highest, const QList<ConcludedSale>& concluded);

    // The 8-value block of AlteraVendaCan. Returns the service's answer: empty text on
    // success (also when the sale was already cancelled), an error text otherwise — also
    // when `sat` remembers a CF-e of the sale, which is then registered with it and its
    // number left in `entry`'s standingCfe.
    QString alter(const QVariantList& block, int highest, const IssuedCfes* sat, Entry* entry = nullptr);

    // Inside the caller's transaction: logs the concluded sale as cancelled, copying its
    // items, marks it cancelled (its points come back) and removes its pending mark.
    // Returns the log number, empty when the sale was not concluded (nothing done).
    QString cancelSale(const QString& branch, const QString& cashRegister, const QString& sale,
                       const QString& reason, const QVariant& movementDate);

    // Products of sale rows, counted.
    static QMap<QString, int> productsOf(const db::PacketRows& rows);

private:
    // What an entry records besides its items.
    struct Header {
        QString branch, cashRegister, sale, company, operatorCode, receipt, printerSerial, model, brand, printer,
            reason;
        QVariant movementDate;
        double total = 0;
    };
    QString provenSale(const Header& h, const db::PacketRows& rows, const QList<ConcludedSale>& concluded);
    QString writeEntry(const Header& header);
    void copyItemsFromPacket(const Header& header, const QString& logNumber, const db::PacketRows& rows);
    double copyItemsFromSale(const Header& header, const QString& logNumber);
    bool markCancelled(const QString& branch, const QString& cashRegister, const QString& sale);
    // The CF-e number registered on the sale (empty when none).
    QString registeredCfe(const QString& branch, const QString& cashRegister, const QString& sale);

    platform::db::Connection& db_;
    QDateTime now_;
};

}  // namespace possvc
