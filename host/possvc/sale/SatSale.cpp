#include "host/possvc/sale/SatSale.h"

#include "host/possvc/sale/SaleServicesCloseOut.h"
#include "host/possvc/sale/SaleServicesDb.h"
#include "host/possvc/devices/SatCfe.h"
#include "host/possvc/devices/SatDevice.h"

#include "platform/Error.h"
#include "platform/db/Query.h"
#include "platform/db/Transaction.h"

namespace possvc {

using platform::db::Command;
using platform::db::Query;

StoredSale loadSale(platform::db::Connection& db, const QString& branch, const QString& cashRegister,
                    const QString& sequence)
{
    StoredSale sale;
    Query head(&db);
    head.setSql(QStringLiteral("SELECT IDSITUVENDA, NMCONSVEND, NRINSCRCONS, DSENDEVENDA, CDOPERADOR FROM VENDA WHERE ")
                + db::kSaleKey);
    db::bindSaleKey(head, branch, cashRegister, sequence);
    head.open();
    if (head.eof())
        return sale;
    sale.found = true;
    sale.situation = head.value(0).toString().trimmed();
    SaleDocument& doc = sale.document;
    doc.branch = branch;
    doc.cashRegister = cashRegister;
    doc.sequence = sequence;
    doc.consumerName = head.value(1).toString().trimmed();
    doc.consumerCpf = head.value(2).toString().trimmed();
    doc.consumerAddress = head.value(3).toString().trimmed();
    doc.operatorName = head.value(4).toString().trimmed();

    Query items(&db);
    items.setSql(QStringLiteral("SELECT NRSEQITVEND, CDPRODUTO, NMPRODUTO, QTPRODVEND, VRUNITVEND, VRDESCITVEND, "
                                "VRALIQIMPR, IDTPIMPOSFIS, CDIMPOSTO, CDPRODIMPFIS FROM ITVENDA WHERE ")
                 + db::kSaleKey + QStringLiteral(" ORDER BY NRSEQITVEND"));
    db::bindSaleKey(items, branch, cashRegister, sequence);
    items.open();
    for (; !items.eof(); items.next()) {
        SaleItem item;
        item.sequence = items.value(0).toString().trimmed();
        item.product = items.value(1).toString().trimmed();
        item.name = items.value(2).toString().trimmed();
        item.quantity = items.value(3).toDouble();
        item.unitPrice = items.value(4).toDouble();
        item.discount = items.value(5).toDouble();
        item.taxRate = items.value(6).toDouble();
        item.taxType = items.value(7).toString().trimmed();
        item.taxCode = items.value(8).toString().trimmed();
        item.barcode = items.value(9).toString().trimmed();
        doc.items.append(item);
    }

    Query paid(&db);
    paid.setSql(QStringLiteral("SELECT VRMOVIVEND FROM MOVCAIXA WHERE ") + db::kSaleKey);
    db::bindSaleKey(paid, branch, cashRegister, sequence);
    paid.open();
    bool anyPayment = false;
    for (; !paid.eof(); paid.next()) {
        doc.paid += paid.value(0).toDouble();
        anyPayment = true;
    }
    if (!anyPayment)
        doc.paid = doc.netTotal();
    return sale;
}

bool sendToSat(platform::db::Connection& db, const sim::SaleServicesConfig& config, const QDateTime& now,
               const SatDevice& device, const QString& branch, const QString& cashRegister, const QString& sequence,
               const QString& activationCode, QStringList& answer)
{
    if (!device.accepts(activationCode, answer))
        return false;
    platform::db::Transaction transaction(db, /*writeLock=*/true);
    const StoredSale sale = loadSale(db, branch, cashRegister, sequence);
    if (!sale.found || sale.situation != QLatin1String("O")) {
        transaction.rollback();
        answer = SatDevice::refusal(QStringLiteral("06010"),
                                    QStringLiteral("Erro de validação do conteúdo: a venda %1 do caixa %2 %3.")
                                        .arg(sequence, cashRegister,
                                             sale.found ? QStringLiteral("não está concluída")
                                                        : QStringLiteral("não existe")));
        return false;
    }
    sat::CfeInput in;
    in.issuer = issuerOf(db, branch, config.issuer);
    in.cashRegister = cashRegister;
    in.number = db::nextSequence(db, QStringLiteral("NRCFE_") + device.serial(), QStringLiteral("VENDA"),
                                 QStringLiteral("NRCFE"), branch, cashRegister)
                    .toInt() % 1000000;
    in.issuedAt = now;
    in.environment = config.satEnvironment;
    const QString doc = onlyDigits(sale.document.consumerCpf);
    in.consumerCpf = (doc.size() == 11 || doc.size() == 14) ? doc : QString();
    in.consumerName = sale.document.consumerName;
    in.items = sale.document.items;
    in.paid = sale.document.paid;
    const sat::Cfe cfe = device.draft(in);
    transaction.commit();
    answer = device.issue(cfe, branch, cashRegister, sequence);
    return true;
}

namespace {

bool isCfeNumber(const QString& number)
{
    return !number.isEmpty() && number.size() <= 6 && onlyDigits(number) == number;
}

// Why a CF-e could not be written onto its sale: it does not exist, or it no longer stands
// (cancelled meanwhile, by recovery on another host).
QString notWritten(platform::db::Connection& db, const QString& branch, const QString& cashRegister,
                   const QString& sequence)
{
    const StoredSale sale = loadSale(db, branch, cashRegister, sequence);
    if (!sale.found)
        return QStringLiteral("a venda %1 do caixa %2 da filial %3 não existe").arg(sequence, cashRegister, branch);
    return QStringLiteral("a venda %1 do caixa %2 da filial %3 não está concluída (situação '%4'); o CF-e não foi "
                          "registrado nela")
        .arg(sequence, cashRegister, branch, sale.situation);
}

// Writes the CF-e onto its sale and clears the sale's pending mark; false when the sale
// does not exist or no longer stands. The condition is the update's own: a sale cancelled a
// moment before (another host's recovery) never carries a CF-e. Runs inside the caller's
// transaction.
bool writeCfe(platform::db::Connection& db, const QString& branch, const QString& cashRegister,
              const QString& sequence, const QString& number, const QString& key, const QString& qrCode)
{
    Command update(&db);
    update.setSql(QStringLiteral("UPDATE VENDA SET NRCFE = :P_NRCFE, DSCHAVEACESSO = :P_CHAVE, DSQRCODE = :P_QRCODE, "
                                 "IDTPDOCVENDA = 'S' WHERE ")
                  + db::kSaleKey + QStringLiteral(" AND IDSITUVENDA = 'O'"));
    db::bindSaleKey(update, branch, cashRegister, sequence);
    update.setParam(QStringLiteral("P_NRCFE"), number);
    update.setParam(QStringLiteral("P_CHAVE"), key.left(44));
    update.setParam(QStringLiteral("P_QRCODE"), qrCode.left(1000));
    if (update.execute() == 0)
        return false;
    db::clearPending(db, branch, cashRegister, sequence);
    return true;
}

}  // namespace

QString registerCfe(platform::db::Connection& db, const QString& branch, const QString& cashRegister,
                    const QString& sequence, const QStringList& answer, const QString& qrCode)
{
    const QString chave = sat::answerValue(answer, QStringLiteral("chaveConsulta"));
    const QString number = sat::cfeNumber(sat::answerXml(answer), chave).trimmed();
    if (!isCfeNumber(number))
        throw platform::HostError(QStringLiteral("número do CF-e inválido: '%1'").arg(number));
    if (!writeCfe(db, branch, cashRegister, sequence, number, sat::bareKey(chave),
                  qrCode.isEmpty() ? sat::qrText(answer) : qrCode))
        throw platform::HostError(notWritten(db, branch, cashRegister, sequence));
    return number;
}

QVariant updateSatSale(platform::db::Connection& db, const QString& branch, const QString& cashRegister, const QString& sequence,
                      const QString& cfeNumber, const QString& qrCode, const QStringList& answer)
{
    const QString number = cfeNumber.trimmed();
    if (!isCfeNumber(number))
        return QStringLiteral("AtualizaVendaSat: número do CF-e inválido: '%1'").arg(number);
    const QString key = sat::bareKey(sat::answerValue(answer, QStringLiteral("chaveConsulta")));
    try {
        platform::db::Transaction transaction(db);
        if (!writeCfe(db, branch, cashRegister, sequence, number, key, qrCode))
            return QStringLiteral("AtualizaVendaSat: ") + notWritten(db, branch, cashRegister, sequence);
        transaction.commit();
    } catch (const platform::Error& e) {
        return QStringLiteral("AtualizaVendaSat: %1").arg(e.text());
    }
    return QString();
}

}  // namespace possvc
