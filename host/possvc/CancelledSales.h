#pragma once
// The host's cancelled-sale log (IncluiVendaCan, AlteraVendaCan). Each call writes one
// entry (VENDACANCELADA and its items in ITVENDACANCELADA) and, when the entry names a
// concluded sale, marks that sale cancelled (IDSITUVENDA "C"), which gives its points
// back: the balance counts only the loyalty items of concluded sales.
//
// IncluiVendaCan receives the sale rows, not the sale's number: it finds the concluded
// sale by branch, register, fiscal receipt number and counter, and only when its items
// are the same products; rows without a receipt number name no sale, so an unrelated
// sale is never cancelled. AlteraVendaCan names the sale by its number.
//
// Works on a connection it does not own. Both run in one transaction each.

#include "host/possvc/SaleServicesDb.h"

#include "platform/db/Connection.h"

#include <QDateTime>
#include <QString>
#include <QVariant>
#include <QVariantList>

namespace possvc {

class CancelledSaleLog {
public:
    CancelledSaleLog(platform::db::Connection& db, const QDateTime& now);

    struct Entry {
        QString logNumber;       // NRSEQVENDACAN; empty when nothing was logged
        QString cancelledSale;   // NRSEQVENDA of the sale marked cancelled, if any
    };

    // The 14-value block of IncluiVendaCan. Throws platform::HostError for a block of
    // another size, platform::DatabaseError on a database failure (rolled back).
    Entry include(const QVariantList& block, int highest);

    // The 8-value block of AlteraVendaCan. Returns the service's answer: empty text on
    // success (also when the sale was already cancelled), an error text otherwise.
    QString alter(const QVariantList& block, int highest, Entry* entry = nullptr);

private:
    // What an entry records besides its items.
    struct Header {
        QString branch, cashRegister, sale, company, operatorCode, receipt, printerSerial, model, brand, printer,
            reason;
        QVariant movementDate;
        double total = 0;
    };
    QString findConcludedSale(const QString& branch, const QString& cashRegister, const db::PacketRows& rows);
    QString writeEntry(const Header& header);
    void copyItemsFromPacket(const Header& header, const QString& logNumber, const db::PacketRows& rows);
    double copyItemsFromSale(const Header& header, const QString& logNumber);
    bool markCancelled(const QString& branch, const QString& cashRegister, const QString& sale);

    platform::db::Connection& db_;
    QDateTime now_;
};

}  // namespace possvc
