#include "host/possvc/sale/PendingSales.h"

#include "host/possvc/sale/CancelledSales.h"
#include "host/possvc/sale/SaleServicesDb.h"
#include "host/possvc/sale/SatSale.h"

#include "platform/Error.h"
#include "platform/db/Query.h"
#include "platform/db/Transaction.h"

namespace possvc {

using platform::db::Query;

namespace {

struct Pending {
    QString branch, cashRegister, sequence, docType;
};

QList<Pending> pendingOf(platform::db::Connection& db, const QString& branch, const QString& cashRegister)
{
    Query q(&db);
    q.setSql(QStringLiteral("SELECT CDFILIAL, CDCAIXA, NRSEQVENDA, IDTPDOCVENDA FROM VENDAPENDENTE "
                            "WHERE CDFILIAL = :P_CDFILIAL AND CDCAIXA = :P_CDCAIXA ORDER BY DTHRINCLUSAO"));
    q.setParam(QStringLiteral("P_CDFILIAL"), branch.trimmed());
    q.setParam(QStringLiteral("P_CDCAIXA"), cashRegister.trimmed());
    q.open();
    QList<Pending> list;
    for (; !q.eof(); q.next())
        list << Pending{q.value(0).toString().trimmed(), q.value(1).toString().trimmed(),
                        q.value(2).toString().trimmed(), q.value(3).toString().trimmed()};
    return list;
}

// One pending sale, inside the caller's transaction; false when another terminal took it.
bool resolveOne(platform::db::Connection& db, const Pending& p, const IssuedCfes& sat, const QDateTime& now,
                Resolution& r)
{
    if (!db::clearPending(db, p.branch, p.cashRegister, p.sequence))
        return false;
    Query q(&db);
    q.setSql(QStringLiteral("SELECT IDSITUVENDA, DSCHAVEACESSO, NRPROTAUTNFCE, NRNOTAFISCALCE FROM VENDA WHERE ")
             + db::kSaleKey);
    db::bindSaleKey(q, p.branch, p.cashRegister, p.sequence);
    q.open();
    const bool concluded = !q.eof() && q.value(0).toString().trimmed() == QLatin1String("O");
    const bool authorised = concluded && !q.value(1).toString().trimmed().isEmpty()
                            && !q.value(2).toString().trimmed().isEmpty();
    const QString nfceNumber = concluded ? q.value(3).toString().trimmed() : QString();
    q.close();
    r = Resolution{p.branch, p.cashRegister, p.sequence, p.docType, Resolution::Outcome::AlreadyCancelled, {},
                   nfceNumber};
    if (!concluded)
        return true;
    if (p.docType == QLatin1String("S")) {
        if (const auto answer = sat.cfeFor(p.branch, p.cashRegister, p.sequence)) {
            r.outcome = Resolution::Outcome::Registered;
            r.detail = registerCfe(db, p.branch, p.cashRegister, p.sequence, *answer);
            return true;
        }
    } else if (authorised) {
        r.outcome = Resolution::Outcome::Stands;
        r.detail = nfceNumber;
        return true;
    }
    CancelledSaleLog log(db, now);
    r.outcome = Resolution::Outcome::Cancelled;
    r.detail = log.cancelSale(p.branch, p.cashRegister, p.sequence,
                              QStringLiteral("Resgate de fidelidade sem documento fiscal, desfeito na recuperação"),
                              QVariant());
    return true;
}

// One pending sale in a transaction of its own; nothing when another took it.
std::optional<Resolution> resolveInTransaction(platform::db::Connection& db, const Pending& p, const IssuedCfes& sat,
                                               const QDateTime& now)
{
    platform::db::Transaction transaction(db, /*writeLock=*/true);
    Resolution r;
    if (!resolveOne(db, p, sat, now, r))
        return std::nullopt;  // rolled back: nothing of ours was written
    transaction.commit();
    return r;
}

QString saleText(const QString& branch, const QString& cashRegister, const QString& sequence)
{
    return QStringLiteral("venda %1 do caixa %2 da filial %3").arg(sequence, cashRegister, branch);
}

}  // namespace

QString Resolution::text() const
{
    const QString sale = saleText(branch, cashRegister, sequence);
    switch (outcome) {
    case Outcome::Registered:
        return QStringLiteral("%1: CF-e %2 emitido pelo SAT registrado; a venda permanece").arg(sale, detail);
    case Outcome::Stands:
        return QStringLiteral("%1: NFC-e %2 autorizada; a venda permanece").arg(sale, detail);
    case Outcome::Cancelled:
        return QStringLiteral("%1: sem documento fiscal; venda cancelada e pontos devolvidos (registro %2)").arg(sale, detail);
    case Outcome::AlreadyCancelled:
        return QStringLiteral("%1: já estava cancelada").arg(sale);
    }
    return sale;
}

QList<Resolution> resolvePending(platform::db::Connection& db, const QString& branch, const QString& cashRegister,
                                 const IssuedCfes& sat, const QDateTime& now)
{
    QList<Resolution> done;
    if (branch.trimmed().isEmpty() || cashRegister.trimmed().isEmpty())
        return done;  // a terminal without an identity owns nothing
    for (const Pending& p : pendingOf(db, branch, cashRegister)) {
        try {
            if (const auto r = resolveInTransaction(db, p, sat, now))
                done << *r;
        } catch (const platform::Error& e) {
            throw UnsettledSale(saleText(p.branch, p.cashRegister, p.sequence), e);
        }
    }
    return done;
}

std::optional<Resolution> resolvePendingSale(platform::db::Connection& db, const QString& branch,
                                             const QString& cashRegister, const QString& sequence,
                                             const IssuedCfes& sat, const QDateTime& now)
{
    for (const Pending& p : pendingOf(db, branch, cashRegister))
        if (p.sequence == sequence.trimmed())
            return resolveInTransaction(db, p, sat, now);
    return std::nullopt;
}

// A terminal without a printer serial in its parameters books its sales with none (an
// empty text or NULL, as the engine keeps it): both count as the empty serial.
bool receiptHasSale(platform::db::Connection& db, const QString& branch, const QString& cashRegister,
                    const QString& printerSerial, const QString& receipt, const QString& counter)
{
    Query q(&db);
    q.setSql(QStringLiteral("SELECT COUNT(*) FROM VENDA WHERE CDFILIAL = :P_CDFILIAL AND CDCAIXA = :P_CDCAIXA "
                            "AND COALESCE(TRIM(NRSERIEIMP), '') = :P_SERIE AND NRCUPOMFIS = :P_CUPOM AND NRCONTCUPOMFISC = :P_CONT "
                            "AND IDSITUVENDA = 'O'"));
    q.setParam(QStringLiteral("P_CDFILIAL"), branch.trimmed());
    q.setParam(QStringLiteral("P_CDCAIXA"), cashRegister.trimmed());
    q.setParam(QStringLiteral("P_SERIE"), printerSerial.trimmed());
    q.setParam(QStringLiteral("P_CUPOM"), receipt);
    q.setParam(QStringLiteral("P_CONT"), counter);
    q.open();
    return !q.eof() && q.value(0).toInt() > 0;
}

}  // namespace possvc
