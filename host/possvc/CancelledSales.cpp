#include "host/possvc/CancelledSales.h"

#include "host/possvc/SaleServicesModel.h"

#include "platform/Error.h"
#include "platform/db/Query.h"

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

QString text(const QVariantList& block, int index)
{
    return block.value(index).toString().trimmed();
}

void checkBlock(const char* op, const QVariantList& block, int highest, int size)
{
    if (block.size() != size || highest != size - 1)
        throw platform::HostError(QStringLiteral("%1: esperava %2 valores (maior índice %3), recebeu %4 (maior índice %5)")
                                      .arg(QLatin1String(op)).arg(size).arg(size - 1).arg(block.size()).arg(highest));
}

// Products of the rows, counted, to compare a sale's items with the rows.
QMap<QString, int> productsOf(const db::PacketRows& rows)
{
    QMap<QString, int> products;
    for (int r = 0; r < rows.count(); ++r)
        ++products[rows.text(r, QStringLiteral("CDPRODUTO"))];
    return products;
}

}  // namespace

CancelledSaleLog::CancelledSaleLog(platform::db::Connection& db, const QDateTime& now) : db_(db), now_(now) {}

CancelledSaleLog::Entry CancelledSaleLog::include(const QVariantList& block, int highest)
{
    checkBlock("IncluiVendaCan", block, highest, 14);
    const db::PacketRows rows = db::PacketRows::of(block.value(0));
    Entry entry;
    if (rows.count() == 0)
        return entry;  // no sale rows: nothing was sold, nothing to record
    Header h;
    h.branch = rows.text(0, QStringLiteral("CDFILIAL"));
    h.cashRegister = text(block, 2);
    h.company = text(block, 3);
    h.printerSerial = text(block, 5);
    h.model = text(block, 6);
    h.brand = text(block, 7);
    h.printer = text(block, 8);
    h.movementDate = block.value(13);
    h.operatorCode = rows.text(0, QStringLiteral("CDOPERADOR"));
    h.receipt = rows.text(0, QStringLiteral("NRCUPOMFIS")).trimmed();
    h.reason = QStringLiteral("Resgate de fidelidade cancelado");
    for (int r = 0; r < rows.count(); ++r)
        h.total += roundCents(rows.number(r, QStringLiteral("QTPRODCOMVEN")) * rows.number(r, QStringLiteral("VRPRECCOMVEN")))
                   - rows.number(r, QStringLiteral("VRDESCCOMVEN"));
    h.total = roundCents(h.total);

    db_.beginTransaction(/*writeLock=*/true);
    try {
        h.sale = findConcludedSale(h.branch, h.cashRegister, rows);
        entry.logNumber = writeEntry(h);
        copyItemsFromPacket(h, entry.logNumber, rows);
        if (!h.sale.isEmpty() && markCancelled(h.branch, h.cashRegister, h.sale))
            entry.cancelledSale = h.sale;
        db_.commit();
    } catch (...) {
        db_.rollback();
        throw;
    }
    return entry;
}

QString CancelledSaleLog::alter(const QVariantList& block, int highest, Entry* entry)
{
    checkBlock("AlteraVendaCan", block, highest, 8);
    Header h;
    h.sale = text(block, 0);
    h.branch = text(block, 1);
    h.cashRegister = text(block, 2);
    h.movementDate = block.value(3);
    h.reason = QStringLiteral("Resgate de fidelidade cancelado (%1)").arg(text(block, 7));
    if (h.sale.isEmpty())
        return QStringLiteral("AlteraVendaCan: venda não informada; nada foi cancelado");
    try {
        db_.beginTransaction(/*writeLock=*/true);
        Query q(&db_);
        q.setSql(QStringLiteral("SELECT IDSITUVENDA, CDEMPRESA, CDOPERADOR, NRCUPOMFIS, NRSERIEIMP FROM VENDA WHERE ")
                 + db::kSaleKey);
        db::bindSaleKey(q, h.branch, h.cashRegister, h.sale);
        q.open();
        if (q.eof()) {
            db_.rollback();
            return QStringLiteral("AlteraVendaCan: a venda %1 do caixa %2 da filial %3 não existe")
                .arg(h.sale, h.cashRegister, h.branch);
        }
        if (q.value(0).toString().trimmed() == QLatin1String("C")) {
            db_.rollback();
            return QString();  // already cancelled: nothing left to do
        }
        h.company = q.value(1).toString().trimmed();
        h.operatorCode = q.value(2).toString().trimmed();
        h.receipt = q.value(3).toString().trimmed();
        h.printerSerial = q.value(4).toString().trimmed();
        q.close();
        const QString logNumber = writeEntry(h);
        const double total = copyItemsFromSale(h, logNumber);
        Command t(&db_);
        t.setSql(QStringLiteral("UPDATE VENDACANCELADA SET VRTOTVENDA = :P_TOTAL WHERE CDFILIAL = :P_CDFILIAL "
                                "AND CDCAIXA = :P_CDCAIXA AND NRSEQVENDACAN = :P_NR"));
        t.declareParam(QStringLiteral("P_TOTAL"), F).setValue(total);
        t.setParam(QStringLiteral("P_CDFILIAL"), h.branch);
        t.setParam(QStringLiteral("P_CDCAIXA"), h.cashRegister);
        t.setParam(QStringLiteral("P_NR"), logNumber);
        t.execute();
        markCancelled(h.branch, h.cashRegister, h.sale);
        db_.commit();
        if (entry)
            *entry = {logNumber, h.sale};
    } catch (const platform::Error& e) {
        db_.rollback();
        return QStringLiteral("AlteraVendaCan: %1").arg(e.text());
    }
    return QString();
}

QString CancelledSaleLog::findConcludedSale(const QString& branch, const QString& cashRegister, const db::PacketRows& rows)
{
    const QString receipt = rows.text(0, QStringLiteral("NRCUPOMFIS")).trimmed();
    if (receipt.isEmpty())
        return {};
    const QString counter = rows.text(0, QStringLiteral("NRCONTCUPOMFISC")).trimmed();
    Query q(&db_);
    q.setSql(QStringLiteral("SELECT NRSEQVENDA, NRCONTCUPOMFISC FROM VENDA WHERE CDFILIAL = :P_CDFILIAL AND "
                            "CDCAIXA = :P_CDCAIXA AND NRCUPOMFIS = :P_NRCUPOMFIS AND IDSITUVENDA = 'O'"));
    q.setParam(QStringLiteral("P_CDFILIAL"), branch);
    q.setParam(QStringLiteral("P_CDCAIXA"), cashRegister);
    q.setParam(QStringLiteral("P_NRCUPOMFIS"), receipt);
    q.open();
    QStringList candidates;
    for (; !q.eof(); q.next())
        if (q.value(1).toString().trimmed() == counter)
            candidates << q.value(0).toString().trimmed();
    q.close();
    // The newest candidate whose items are the rows' products.
    std::sort(candidates.begin(), candidates.end(),
              [](const QString& a, const QString& b) { return a.toLongLong() > b.toLongLong(); });
    const QMap<QString, int> wanted = productsOf(rows);
    for (const QString& sale : candidates) {
        Query items(&db_);
        items.setSql(QStringLiteral("SELECT CDPRODUTO FROM ITVENDA WHERE ") + db::kSaleKey);
        db::bindSaleKey(items, branch, cashRegister, sale);
        items.open();
        QMap<QString, int> stored;
        for (; !items.eof(); items.next())
            ++stored[items.value(0).toString().trimmed()];
        if (stored == wanted)
            return sale;
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

bool CancelledSaleLog::markCancelled(const QString& branch, const QString& cashRegister, const QString& sale)
{
    Command c(&db_);
    c.setSql(QStringLiteral("UPDATE VENDA SET IDSITUVENDA = 'C', DTHRCANCVEN = :P_AGORA WHERE ") + db::kSaleKey
             + QStringLiteral(" AND IDSITUVENDA = 'O'"));
    c.declareParam(QStringLiteral("P_AGORA"), D).setValue(now_);
    db::bindSaleKey(c, branch, cashRegister, sale);
    return c.execute() > 0;
}

}  // namespace possvc
