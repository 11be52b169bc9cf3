#include "host/possvc/sale/SaleServices.h"

#include "host/possvc/sale/CancelledSales.h"
#include "host/possvc/devices/CustomerCopy.h"
#include "host/possvc/sale/Extensions.h"
#include "host/possvc/sale/OwnConnection.h"
#include "host/possvc/sale/PendingSales.h"
#include "host/possvc/sale/SaleServicesCloseOut.h"
#include "host/possvc/devices/SatDevice.h"
#include "host/possvc/sale/SatSale.h"
#include "hostapi/ArgumentBlocks.h"
#include "hostapi/hostkit.h"
#include "hostapi/possvc.h"

#include "platform/Error.h"
#include "platform/db/Connection.h"

#include <QCoreApplication>
#include <QDir>
#include <QtDebug>

#include <memory>
#include <mutex>
#include <optional>
#include <utility>

namespace possvc::sim {

namespace {

using hostapi::answer::Fechamento;
using hostapi::answer::ImpressaoNaoFiscal;
using hostapi::answer::VendaCancelada;

struct State {
    SaleServicesConfig config;
    std::function<QDateTime()> clock;
    QString outputDir;
    PrintedCopy last;
    OwnConnection db;
    QString satDir;
    QList<ConcludedSale> concluded;  // since the screen opened
    // The last close-out, while its answer was lost (a database error after it may have
    // committed): the sale it drew, empty when it drew none. Only the settling that
    // follows it reads it.
    struct LostCloseOut {
        QString branch, cashRegister, sequence;
    };
    std::optional<LostCloseOut> lostCloseOut;
};

State& state()
{
    static State s;
    return s;
}

// Ends the services' work while the application still exists, not during the library's
// unloading: the connection is closed.
void hookApplication()
{
    static bool hooked = false;
    if (!hooked && QCoreApplication::instance()) {
        qAddPostRoutine(closeSaleConnection);
        hooked = true;
    }
}

platform::db::Connection& connection()
{
    platform::db::Connection& c = state().db.get();
    hookApplication();
    // Once per connection, on its first use: before any transaction of the services.
    if (!c.property("possvc.prepared").toBool()) {
        c.setProperty("possvc.prepared", true);
        SaleCloseOut::prepare(c);
    }
    return c;
}

// Runs a service on the services' connection; a database error may leave it lost.
template <typename F>
auto withConnection(F&& f)
{
    try {
        return f(connection());
    } catch (const platform::DatabaseError& e) {
        state().db.dropIfLost(e);
        throw;
    }
}

// The memory of the terminal's SAT device: its serial's, in the terminal's SAT folder.
SatMemory satMemory()
{
    return SatMemory(satMemoryPath(), state().config.satSerial);
}

// What the cancelled-sale log needs to prove that an entry names this very sale.
ConcludedSale concludedSale(const QList<platform::ClientDataSet*>& dataSets, int highestDataSet,
                            const QVariantList& block, int highest, const QString& sequence)
{
    using In = hostapi::block::SetConcluiFechamento;
    using DataSetsIn = hostapi::block::ConcluiFechamentoDataSets;
    const hostapi::BlockReader<In> b(block, highest);
    const hostapi::BlockReader<DataSetsIn, platform::ClientDataSet*> sets(dataSets, highestDataSet);
    const db::PacketRows rows = db::PacketRows::of(sets[DataSetsIn::Venda]);
    ConcludedSale c;
    c.branch = b.text(In::CdFilial);
    c.cashRegister = b.text(In::CdCaixa);
    c.sequence = sequence;
    c.receipt = rows.text(0, QStringLiteral("NRCUPOMFIS")).trimmed();
    c.counter = rows.text(0, QStringLiteral("NRCONTCUPOMFISC")).trimmed();
    c.printerSerial = b.text(In::NrSerieImp);
    c.consumer = rows.text(0, QStringLiteral("CDCONSUMIDOR"));
    c.movementDate = db::toDateTime(b[In::DtMovimento]).date();
    c.products = CancelledSaleLog::productsOf(rows);
    return c;
}

// Puts a value into the caller's result array, which is made 10 long when it is not.
void setResult(QVariant& voRetorno, int index, const QVariant& value)
{
    QVariantList list = voRetorno.toList();
    while (list.size() < 10)
        list.append(QVariant());
    list[index] = value;
    voRetorno = list;
}

QString seriesOf(const QString& cashRegister)
{
    if (!state().config.nfceSeries.isEmpty())
        return state().config.nfceSeries;
    QString digits;
    for (QChar c : cashRegister)
        if (c.isDigit())
            digits += c;
    const int n = digits.right(3).toInt();
    return QString::number(n > 0 ? n : 1);
}

QString emissionText()
{
    const QDateTime now = saleNow();
    const int offset = now.offsetFromUtc() / 60;
    return now.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"))
           + QStringLiteral("%1%2:%3")
                 .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
                 .arg(std::abs(offset) / 60, 2, 10, QLatin1Char('0'))
                 .arg(std::abs(offset) % 60, 2, 10, QLatin1Char('0'));
}

QVariant concludeSale(const QList<platform::ClientDataSet*>& dataSets, int highestDataSet, const QVariantList& block,
                      int highest, QVariant& voRetorno)
{
    // A commit whose answer was lost may still have kept the sale: its number is remembered
    // with the sales concluded, and the cancelled-sale log cancels it only if the database
    // holds it concluded.
    QString attempted;
    CloseOutResult result;
    state().lostCloseOut.reset();
    try {
        result = withConnection([&](platform::db::Connection& db) {
            SaleCloseOut closeOut(db, state().config, saleNow(), terminalIdentity().text());
            try {
                return closeOut.conclude(dataSets, highestDataSet, block, highest);
            } catch (const platform::DatabaseError&) {
                attempted = closeOut.sequence();
                throw;
            }
        });
    } catch (const platform::DatabaseError&) {
        if (!attempted.isEmpty())
            state().concluded << concludedSale(dataSets, highestDataSet, block, highest, attempted);
        using In = hostapi::block::SetConcluiFechamento;
        const hostapi::BlockReader<In> b(block, highest);
        state().lostCloseOut = State::LostCloseOut{b.text(In::CdFilial), b.text(In::CdCaixa), attempted};
        throw;
    }
    state().concluded << concludedSale(dataSets, highestDataSet, block, highest, result.sequence);
    if (!result.key.isEmpty()) {
        setResult(voRetorno, Fechamento::ChaveAcesso, result.key);
        setResult(voRetorno, Fechamento::QrCode, result.qrText);
        setResult(voRetorno, Fechamento::Protocolo, result.protocol);
    }
    return result.sequence;
}

bool satOnline(const QString& branch, const QString& cashRegister, const QString& sequence, const QString&,
               const QString& activationCode, const QString&, const QString&, const QString&, QStringList& answer)
{
    return withConnection([&](platform::db::Connection& db) {
        const SatMemory memory = satMemory();
        const SatDevice device(memory, state().config.satActivationCode, state().config.satXmlForm);
        return sendToSat(db, state().config, saleNow(), device, branch.trimmed(), cashRegister.trimmed(),
                         sequence.trimmed(), activationCode, answer);
    });
}

QVariant updateSatSale(const QString& branch, const QString& cashRegister, const QString& sequence, const QString& cfe,
                       const QString& qrCode, const QStringList& answer)
{
    try {
        return possvc::updateSatSale(connection(), branch.trimmed(), cashRegister.trimmed(), sequence.trimmed(), cfe, qrCode,
                             answer);
    } catch (const platform::Error& e) {
        return QStringLiteral("AtualizaVendaSat: %1").arg(e.text());
    }
}

bool printCustomerCopy(const QVariantList& block, int highest, QVariant& voRetorno)
{
    const PrintBlock in(block, highest);
    const SaleDocument doc = documentFromPrint(in, state().config.satEnvironment);
    Issuer issuer = state().config.issuer;
    try {
        issuer = issuerOf(connection(), doc.branch, issuer);
    } catch (const platform::Error&) {
        // The copy is still printed with the configured issuer when the database is away.
    }
    const QString prefix = doc.kind == DocumentKind::Nfce ? QStringLiteral("NFCe") : QStringLiteral("CFe");
    const QString name = doc.key.isEmpty() ? prefix + QStringLiteral("-venda-") + doc.sequence : prefix + doc.key;
    QDir dir(outputDirectory());
    const PrintedCopy copy{dir.filePath(name + QStringLiteral(".pdf")), dir.filePath(name + QStringLiteral(".png")),
                           in[hostapi::block::DisparaImpressaoNaoFiscal::TipoImpressao].toString(), doc.key,
                           QString()};
    // Printed within the call: its answer says whether the copy exists, whole.
    PrintedCopy done = copy;
    try {
        CustomerCopy(doc, issuer).writeFiles(copy.png, copy.pdf);
    } catch (const std::exception& e) {
        done.error = QString::fromUtf8(e.what());
        qWarning().noquote() << "possvc: cópia do cliente não impressa:" << done.error;
    }
    state().last = done;
    if (doc.kind == DocumentKind::Nfce && !doc.sequence.isEmpty()) {
        // The NFC-e reached its customer: the redemption is no longer pending. When the
        // database is away the mark stays, and the recovery finds the NFC-e authorised.
        for (const ConcludedSale& c : state().concluded) {
            if (c.branch != doc.branch || c.sequence != doc.sequence)
                continue;
            try {
                db::clearPending(connection(), c.branch, c.cashRegister, c.sequence);
            } catch (const platform::DatabaseError& e) {
                state().db.dropIfLost(e);
            } catch (const platform::Error&) {
            }
        }
    }
    if (!done.error.isEmpty())
        return false;
    setResult(voRetorno, ImpressaoNaoFiscal::Pdf, copy.pdf);
    setResult(voRetorno, ImpressaoNaoFiscal::Png, copy.png);
    return true;
}

void includeCancelled(const QVariantList& block, int highest, QVariant& voRetorno, QString& answer)
{
    const CancelledSaleLog::Entry entry = withConnection([&](platform::db::Connection& db) {
        CancelledSaleLog log(db, saleNow());
        return log.include(block, highest, state().concluded);
    });
    setResult(voRetorno, VendaCancelada::Registro, entry.logNumber);
    setResult(voRetorno, VendaCancelada::Venda, entry.cancelledSale);
    answer = QString();
}

// This terminal's pending sales resolved as at the next start (PendingSales.h).
QList<Resolution> resolveThisTerminal()
{
    try {
        return withConnection([&](platform::db::Connection& db) {
            const SatMemory memory = satMemory();
            const TerminalIdentity self = terminalIdentity();
            return resolvePending(db, self.branch, self.cashRegister, memory, saleNow());
        });
    } catch (const UnsettledSale& e) {
        if (e.databaseError())
            state().db.dropIfLost(*e.databaseError());
        throw;
    }
}

// After a close-out whose answer was lost: the sale it may have concluded is pending, and
// is resolved now rather than at the next start. Only that sale: the answer is of the
// attempt that just lost its answer, never of another sale the terminal left pending
// (those wait for the next start).
QString resolvePendingNow(QVariant& voRetorno)
{
    const std::optional<State::LostCloseOut> lost = std::exchange(state().lostCloseOut, std::nullopt);
    if (!lost || lost->sequence.isEmpty())
        return QString();  // no answer was lost, or the close-out drew no sale: nothing was kept
    std::optional<Resolution> r;
    try {
        r = withConnection([&](platform::db::Connection& db) {
            const SatMemory memory = satMemory();
            return resolvePendingSale(db, lost->branch, lost->cashRegister, lost->sequence, memory, saleNow());
        });
    } catch (const platform::Error& e) {
        state().lostCloseOut = lost;  // still to be settled
        return QStringLiteral("ResolveVendasPendentes: %1").arg(e.text());
    }
    if (!r)
        return QString();  // no pending mark: the commit did not go through, nothing was kept
    setResult(voRetorno, VendaCancelada::Venda, r->sequence);
    if (r->outcome == Resolution::Outcome::Cancelled) {
        setResult(voRetorno, VendaCancelada::Registro, r->detail);
        setResult(voRetorno, VendaCancelada::NfceCancelada, r->document);
    } else if (r->outcome == Resolution::Outcome::Registered || r->outcome == Resolution::Outcome::Stands) {
        setResult(voRetorno, VendaCancelada::DocumentoMantido, r->detail);
    }
    return QString();
}

void alterCancelled(const QVariantList& block, int highest, QVariant& voRetorno, QString& answer)
{
    try {
        CancelledSaleLog log(connection(), saleNow());
        CancelledSaleLog::Entry entry;
        const SatMemory memory = satMemory();  // after connection()
        answer = log.alter(block, highest, &memory, &entry);
        setResult(voRetorno, VendaCancelada::Registro, entry.logNumber);
        setResult(voRetorno, VendaCancelada::Venda, entry.cancelledSale);
        setResult(voRetorno, VendaCancelada::DocumentoMantido, entry.standingCfe);
    } catch (const platform::HostError&) {
        throw;  // a block of the wrong shape is the caller's error
    } catch (const platform::Error& e) {
        answer = QStringLiteral("AlteraVendaCan: %1").arg(e.text());
    }
}

}  // namespace

void installSaleServices()
{
    possvc::getNumeroSerieNFCe = [](const QString&, const QString& cashRegister) { return seriesOf(cashRegister); };
    possvc::getDataEmissNFCe = [] { return emissionText(); };
    possvc::SetConcluiFechamento = concludeSale;
    possvc::SATOnline.assign(satOnline, [](const QString&, const QString&, const QString&, const QString&,
                                           const QString&, const QString&, const QString&, const QString&,
                                           QStringList& answer) {
        answer = SatDevice::busyAnswer();
        return false;
    });
    possvc::AtualizaVendaSat.assign(updateSatSale, [](const QString&, const QString&, const QString&, const QString&,
                                                      const QString&, const QStringList&) {
        return QVariant(QStringLiteral("AtualizaVendaSat: o serviço recusou o registro do CF-e (falha simulada)"));
    });
    possvc::DisparaImpressaoNaoFiscal = printCustomerCopy;
    possvc::IncluiVendaCan = includeCancelled;
    possvc::AlteraVendaCan.assign(alterCancelled, [](const QVariantList&, int, QVariant&, QString& answer) {
        answer = QStringLiteral("AlteraVendaCan: o serviço recusou a atualização (falha simulada)");
    });
    possvc::ResolveVendasPendentes = resolvePendingNow;
    offerExtensions(true);
}

SaleServicesConfig& config()
{
    return state().config;
}

void resetConfig()
{
    state().config = SaleServicesConfig();
}

void setSaleConnectionSource(std::function<QString()> source)
{
    closeSaleConnection();
    state().db.setSource(std::move(source));
}

void setSatDirectory(const QString& dir)
{
    state().satDir = dir;
}

QString satDirectory()
{
    return state().satDir;
}

QString satMemoryPath()
{
    return SatMemory::pathIn(state().satDir, state().config.satSerial);
}

QString TerminalIdentity::text() const
{
    return QStringLiteral("filial %1 caixa %2").arg(branch.trimmed(), cashRegister.trimmed());
}

TerminalIdentity terminalIdentity()
{
    return {state().config.branch.trimmed(), state().config.cashRegister.trimmed()};
}

QStringList prepareScreen()
{
    state().concluded.clear();
    QStringList lines;
    for (const Resolution& r : resolveThisTerminal())
        lines << r.text();
    return lines;
}

bool receiptHasSale(const QString& printerSerial, const QString& receipt, const QString& counter)
{
    const TerminalIdentity self = terminalIdentity();
    return withConnection([&](platform::db::Connection& db) {
        return possvc::receiptHasSale(db, self.branch, self.cashRegister, printerSerial, receipt, counter);
    });
}

void closeSaleConnection()
{
    state().db.close();
}

void setSaleClock(std::function<QDateTime()> clock)
{
    state().clock = std::move(clock);
}

QDateTime saleNow()
{
    return state().clock ? state().clock() : QDateTime::currentDateTime();
}

void setOutputDirectory(const QString& dir)
{
    state().outputDir = dir;
}

QString outputDirectory()
{
    QString dir = state().outputDir.isEmpty() ? QDir::current().filePath(QStringLiteral("copias")) : state().outputDir;
    if (!QDir().mkpath(dir))
        throw platform::HostError(QStringLiteral("Não foi possível criar a pasta das cópias do cliente: %1").arg(dir));
    return dir;
}

PrintedCopy lastCustomerCopy()
{
    return state().last;
}

}  // namespace possvc::sim
