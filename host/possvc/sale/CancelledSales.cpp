#include "host/possvc/sale/CancelledSales.h"

#include "host/possvc/sale/SaleServicesModel.h"
#include "host/possvc/sale/SatSale.h"

#include "hostapi/ArgumentBlocks.h"

#include "platform/Error.h"
#include "platform/db/Query.h"
#include "platform/db/Transaction.h"

#include <QMap>

#include <algorithm>

namespace possvc {

using platform::FieldType;
using platform::db::Command;
using platform::db::Query;

namespace {

const FieldType S = FieldType::String;
const FieldType F = FieldType::Float;
const FieldType D = FieldType::DateTime;

}  // namespace

CancelledSaleLog::CancelledSaleLog(platform::db::Connection& db, const QDateTime& now) : db_(db), now_(now) {}

QMap<QString, int> CancelledSaleLog::productsOf(const db::PacketRows& rows)
{
    QMap<QString, int> products;
    for (int r = 0; r < rows.count(); ++r)
        ++products[rows.text(r, QStringLiteral("CDPRODUTO"))];
    return products;
}

CancelledSaleLog::Entry CancelledSaleLog::include(const QVariantList& block, int highest,
                                                  const QList<ConcludedSale>& concluded)
{
    using In = hostapi::block::IncluiVendaCan;
    const hostapi::BlockReader<In> b(block, highest);
    const db::PacketRows rows = db::PacketRows::of(b[In::Venda]);
    Entry entry;
    if (rows.count() == 0)
        return entry;  // no sale rows: nothing was sold, nothing to record
    Header h;
    h.branch = rows.text(0, QStringLiteral("CDFILIAL"));
    h.cashRegister = b.text(In::CdCaixa);
    h.company = b.text(In::CdEmpresa);
    h.printerSerial = b.text(In::NrSerieImp);
    h.model = b.text(In::DsModeloEcf);
    h.brand = b.text(In::DsMarcaEcf);
    h.printer = b.text(In::EcfImp);
    h.movementDate = b[In::DtMovimento];
    h.operatorCode = rows.text(0, QStringLiteral("CDOPERADOR"));
    h.receipt = rows.text(0, QStringLiteral("NRCUPOMFIS")).trimmed();
    h.reason = QStringLiteral("Resgate de fidelidade cancelado");
    for (int r = 0; r < rows.count(); ++r)
        h.total += roundCents(rows.number(r, QStringLiteral("QTPRODCOMVEN")) * rows.number(r, QStringLiteral("VRPRECCOMVEN")))
                   - rows.number(r, QStringLiteral("VRDESCCOMVEN"));
    h.total = roundCents(h.total);

    platform::db::Transaction transaction(db_, /*writeLock=*/true);
    // The entry names the sale only when this very entry cancelled it: a second entry for
    // the same receipt (the sale already cancelled, or its CF-e registered since) is
    // logged without a sale and cancels nothing.
    const QString proven = provenSale(h, rows, concluded);
    if (!proven.isEmpty() && markCancelled(h.branch, h.cashRegister, proven)) {
        h.sale = proven;
        entry.cancelledSale = proven;
        db::clearPending(db_, h.branch, h.cashRegister, proven);
    }
    entry.logNumber = writeEntry(h);
    copyItemsFromPacket(h, entry.logNumber, rows);
    transaction.commit();
    return entry;
}

QString CancelledSaleLog::alter(const QVariantList& block, int highest, const IssuedCfes* sat, Entry* entry)
{
    using Al = hostapi::block::AlteraVendaCan;
    const hostapi::BlockReader<Al> b(block, highest);
    const QString sale = b.text(Al::NrSeqVenda), branch = b.text(Al::CdFilial), cashRegister = b.text(Al::CdCaixa);
    if (sale.isEmpty())
        return QStringLiteral("AlteraVendaCan: venda não informada; nada foi cancelado");
    try {
        platform::db::Transaction transaction(db_, /*writeLock=*/true);
        Query q(&db_);
        q.setSql(QStringLiteral("SELECT IDSITUVENDA FROM VENDA WHERE ") + db::kSaleKey);
        db::bindSaleKey(q, branch, cashRegister, sale);
        q.open();
        if (q.eof())
            return QStringLiteral("AlteraVendaCan: a venda %1 do caixa %2 da filial %3 não existe")
                .arg(sale, cashRegister, branch);
        const bool cancelled = q.value(0).toString().trimmed() == QLatin1String("C");
        q.close();
        if (cancelled)
            return QString();  // already cancelled: nothing left to do
        if (const auto answer = sat ? sat->cfeFor(branch, cashRegister, sale) : std::nullopt) {
            // A CF-e exists for the sale: it stands, and the CF-e is recorded with it.
            const QString number = registerCfe(db_, branch, cashRegister, sale, *answer);
            transaction.commit();
            if (entry)
                entry->standingCfe = number;
            return QStringLiteral("AlteraVendaCan: o CF-e %1 foi emitido para a venda %2; a venda não foi cancelada")
                .arg(number, sale);
        }
        const QString logNumber = cancelSale(branch, cashRegister, sale,
                                             QStringLiteral("Resgate de fidelidade cancelado (%1)").arg(b.text(Al::Fixo7)),
                                             b[Al::DtMovimento]);
        if (logNumber.isEmpty()) {
            // Not cancelled: its CF-e was registered on it (by another host, or a device
            // memory that is not this one's). It stands, as when the device answers for it.
            const QString number = registeredCfe(branch, cashRegister, sale);
            transaction.commit();
            if (entry)
                entry->standingCfe = number;
            return QStringLiteral("AlteraVendaCan: o CF-e %1 foi emitido para a venda %2; a venda não foi cancelada")
                .arg(number, sale);
        }
        transaction.commit();
        if (entry)
            *entry = {logNumber, sale, {}};
    } catch (const platform::Error& e) {
        // The transaction was rolled back when it went out of scope.
        return QStringLiteral("AlteraVendaCan: %1").arg(e.text());
    }
    return QString();
}

QString CancelledSaleLog::cancelSale(const QString& branch, const QString& cashRegister, const QString& sale,
                                     const QString& reason, const QVariant& movementDate)
{
    Header h;
    h.sale = sale;
    h.branch = branch;
    h.cashRegister = cashRegister;
    h.movementDate = movementDate;
    h.reason = reason;
    Query q(&db_);
    q.setSql(QStringLiteral("SELECT CDEMPRESA, CDOPERADOR, NRCUPOMFIS, NRSERIEIMP, DTMOVIMCAIXA FROM VENDA WHERE ")
             + db::kSaleKey);
    db::bindSaleKey(q, branch, cashRegister, sale);
    q.open();
    if (q.eof())
        return {};
    h.company = q.value(0).toString().trimmed();
    h.operatorCode = q.value(1).toString().trimmed();
    h.receipt = q.value(2).toString().trimmed();
    h.printerSerial = q.value(3).toString().trimmed();
    if (db::toDateTime(h.movementDate).isNull())
        h.movementDate = q.value(4);
    q.close();
    // The one test of whether the sale may be cancelled, made by the update itself.
    if (!markCancelled(branch, cashRegister, sale))
        return {};
    const QString logNumber = writeEntry(h);
    const double total = copyItemsFromSale(h, logNumber);
    Command t(&db_);
    t.setSql(QStringLiteral("UPDATE VENDACANCELADA SET VRTOTVENDA = :P_TOTAL WHERE CDFILIAL = :P_CDFILIAL "
                            "AND CDCAIXA = :P_CDCAIXA AND NRSEQVENDACAN = :P_NR"));
    t.declareParam(QStringLiteral("P_TOTAL"), F).setValue(total);
    t.setParam(QStringLiteral("P_CDFILIAL"), branch);
    t.setParam(QStringLiteral("P_CDCAIXA"), cashRegister);
    t.setParam(QStringLiteral("P_NR"), logNumber);
    t.execute();
    db::clearPending(db_, branch, cashRegister, sale);
    return logNumber;
}

// The sale of these rows, when it is proven to come from this very receipt (see the
// header); empty otherwise.
QString CancelledSaleLog::provenSale(const Header& h, const db::PacketRows& rows, const QList<ConcludedSale>& concluded)
{
    const QString counter = rows.text(0, QStringLiteral("NRCONTCUPOMFISC")).trimmed();
    const QString consumer = rows.text(0, QStringLiteral("CDCONSUMIDOR"));
    const QDate movement = db::toDateTime(h.movementDate).date();
    const QMap<QString, int> wanted = productsOf(rows);
    if (h.receipt.isEmpty() || counter.isEmpty())
        return {};
    for (auto c = concluded.crbegin(); c != concluded.crend(); ++c) {
        if (c->branch != h.branch || c->cashRegister != h.cashRegister || c->receipt != h.receipt
            || c->counter != counter || c->printerSerial != h.printerSerial || c->consumer != consumer
            || c->movementDate != movement || c->products != wanted)
            continue;
        // The database must still hold it so; whether it still stands is for the
        // cancellation's own update to say (markCancelled).
        Query q(&db_);
        q.setSql(QStringLiteral("SELECT NRCUPOMFIS, NRCONTCUPOMFISC, NRSERIEIMP, CDCONSUMIDOR FROM VENDA WHERE ")
                 + db::kSaleKey);
        db::bindSaleKey(q, c->branch, c->cashRegister, c->sequence);
        q.open();
        if (!q.eof() && q.value(0).toString().trimmed() == h.receipt && q.value(1).toString().trimmed() == counter
            && q.value(2).toString().trimmed() == h.printerSerial && q.value(3).toString().trimmed() == consumer)
            return c->sequence;
    }
    return {};
}

QString CancelledSaleLog::writeEntry(const Header& h)
{
    const QString number = db::nextSequence(db_, QStringLiteral("NRSEQVENDACAN_%1_%2").arg(h.branch, h.cashRegister),
                                            QStringLiteral("VENDACANCELADA"), QStringLiteral("NRSEQVENDACAN"), h.branch,
                                            h.cashRegister);
    db::insertRow(db_, QStringLiteral("VENDACANCELADA"), {
        {"CDFILIAL", S, 4, h.branch},
        {"CDCAIXA", S, 3, h.cashRegister},
        {"NRSEQVENDACAN", S, 10, number},
        {"NRSEQVENDA", S, 10, h.sale.isEmpty() ? QVariant() : QVariant(h.sale)},
        {"CDEMPRESA", S, 2, h.company},
        {"CDOPERADOR", S, 12, h.operatorCode},
        {"NRCUPOMFIS", S, 10, h.receipt},
        {"NRSERIEIMP", S, 50, h.printerSerial},
        {"DSMODELOECF", S, 50, h.model},
        {"DSMARCAECF", S, 50, h.brand},
        {"DSECFIMP", S, 50, h.printer},
        {"DTMOVIMCAIXA", D, 0, h.movementDate},
        {"DTHRCANCVEN", D, 0, now_},
        {"VRTOTVENDA", F, 0, h.total},
        {"DSMOTIVOCANC", S, 100, h.reason},
    });
    return number;
}

void CancelledSaleLog::copyItemsFromPacket(const Header& h, const QString& logNumber, const db::PacketRows& rows)
{
    for (int r = 0; r < rows.count(); ++r) {
        QString seq = rows.text(r, QStringLiteral("NRSEQ"));
        if (seq.isEmpty())
            seq = QString::number(r + 1).rightJustified(3, QLatin1Char('0'));
        db::insertRow(db_, QStringLiteral("ITVENDACANCELADA"), {
            {"CDFILIAL", S, 4, h.branch},
            {"CDCAIXA", S, 3, h.cashRegister},
            {"NRSEQVENDACAN", S, 10, logNumber},
            {"NRSEQITVEND", S, 3, seq},
            {"CDPRODUTO", S, 10, rows.text(r, QStringLiteral("CDPRODUTO"))},
            {"NMPRODUTO", S, 50, rows.text(r, QStringLiteral("NMPRODUTO"))},
            {"QTPRODVEND", F, 0, rows.value(r, QStringLiteral("QTPRODCOMVEN"))},
            {"VRUNITVEND", F, 0, rows.value(r, QStringLiteral("VRPRECCOMVEN"))},
            {"VRDESCITVEND", F, 0, rows.value(r, QStringLiteral("VRDESCCOMVEN"))},
        });
    }
}

double CancelledSaleLog::copyItemsFromSale(const Header& h, const QString& logNumber)
{
    Query q(&db_);
    q.setSql(QStringLiteral("SELECT NRSEQITVEND, CDPRODUTO, NMPRODUTO, QTPRODVEND, VRUNITVEND, VRDESCITVEND FROM ITVENDA WHERE ")
             + db::kSaleKey);
    db::bindSaleKey(q, h.branch, h.cashRegister, h.sale);
    q.open();
    QList<QVariantList> items;
    for (; !q.eof(); q.next())
        items << q.currentRow();
    q.close();
    double total = 0;
    for (const QVariantList& it : items) {
        total += roundCents(it.value(3).toDouble() * it.value(4).toDouble()) - it.value(5).toDouble();
        db::insertRow(db_, QStringLiteral("ITVENDACANCELADA"), {
            {"CDFILIAL", S, 4, h.branch},
            {"CDCAIXA", S, 3, h.cashRegister},
            {"NRSEQVENDACAN", S, 10, logNumber},
            {"NRSEQITVEND", S, 3, it.value(0).toString().trimmed()},
            {"CDPRODUTO", S, 10, it.value(1).toString().trimmed()},
            {"NMPRODUTO", S, 50, it.value(2).toString().trimmed()},
            {"QTPRODVEND", F, 0, it.value(3)},
            {"VRUNITVEND", F, 0, it.value(4)},
            {"VRDESCITVEND", F, 0, it.value(5)},
        });
    }
    return roundCents(total);
}

// Cancels the sale only while it stands and no CF-e is registered on it: the condition is
// the update's own, so that two hosts (or a host and a late registration) racing for one
// sale cannot both win. Whether it did is the row count.
bool CancelledSaleLog::markCancelled(const QString& branch, const QString& cashRegister, const QString& sale)
{
    Command c(&db_);
    c.setSql(QStringLiteral("UPDATE VENDA SET IDSITUVENDA = 'C', DTHRCANCVEN = :P_AGORA WHERE ") + db::kSaleKey
             + QStringLiteral(" AND IDSITUVENDA = 'O' AND (NRCFE IS NULL OR NRCFE = '')"));
    c.declareParam(QStringLiteral("P_AGORA"), D).setValue(now_);
    db::bindSaleKey(c, branch, cashRegister, sale);
    return c.execute() > 0;
}

QString CancelledSaleLog::registeredCfe(const QString& branch, const QString& cashRegister, const QString& sale)
{
    Query q(&db_);
    q.setSql(QStringLiteral("SELECT NRCFE FROM VENDA WHERE ") + db::kSaleKey);
    db::bindSaleKey(q, branch, cashRegister, sale);
    q.open();
    return q.eof() ? QString() : q.value(0).toString().trimmed();
}

}  // namespace possvc
