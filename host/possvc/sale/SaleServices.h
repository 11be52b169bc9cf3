#pragma once
// The reference host's sale services of possvc: NFC-e series and emission date, the sale
// close-out (SetConcluiFechamento) with the NFC-e it issues, the simulated SAT device
// (SATOnline, AtualizaVendaSat), the customer copy (DisparaImpressaoNaoFiscal) and the
// cancelled-sale log (IncluiVendaCan, AlteraVendaCan).
//
// The services keep one database connection of their own (opened at the first call,
// kept until the source changes), so that what they write is committed independently
// of the module's connection, as a host library's would be.
//
// Not thread-safe: called on the screen's thread only. Faults are planned with
// possvc::sim::failNext (ScreenOps.h), which every operation here honours: SATOnline
// answers with a refusal ("mensagem"), AtualizaVendaSat and AlteraVendaCan answer with an
// error text, DisparaImpressaoNaoFiscal returns false without printing, the others throw
// platform::HostError. DisparaImpressaoNaoFiscal also returns false when the copy could
// not be written whole (a full disk): nothing of it is left then.

#include "PossvcExport.h"
#include "host/possvc/sale/SaleServicesModel.h"
#include "host/possvc/devices/SatCfe.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>

namespace possvc::sim {

// Assigns getNumeroSerieNFCe, getDataEmissNFCe, SetConcluiFechamento, SATOnline,
// AtualizaVendaSat, DisparaImpressaoNaoFiscal, IncluiVendaCan and AlteraVendaCan, and
// the refusals of the ones whose faults answer instead of throwing; and offers the
// extension that settles pending sales now (Extensions.h), which a host of the published
// contract alone withdraws afterwards.
POSSVC_EXPORT void installSaleServices();

// Everything the simulated services cannot learn from the database. The issuer is the
// fallback for a branch without a usable FILIAL row (name, state, 14-digit CNPJ).
struct POSSVC_EXPORT SaleServicesConfig {
    Issuer issuer;
    QString nfceSeries;            // empty: the register's number (register "003" -> "3")
    QString nfceIdToken = QStringLiteral("000001");
    QString nfceCsc = QStringLiteral("CSC-DEMONSTRACAO-0001");
    QString nfceQrUrlProduction = QStringLiteral("https://www.nfce.fazenda.sp.gov.br/NFCeConsultaPublica/Paginas/ConsultaQRCode.aspx");
    QString nfceQrUrlHomologation = QStringLiteral("https://www.homologacao.nfce.fazenda.sp.gov.br/NFCeConsultaPublica/Paginas/ConsultaQRCode.aspx");
    QString nfceConsultUrl = QStringLiteral("https://www.nfce.fazenda.sp.gov.br/consulta");
    QString satSerial = QString::fromLatin1(sat::kSimulatedSerial);
    QString satActivationCode;     // empty: any code is accepted
    int satEnvironment = 2;        // tpAmb of the CF-e
    sat::XmlForm satXmlForm = sat::XmlForm::Base64;
    // The terminal's fiscal identity (its parameters' branch and register): it owns the
    // redemptions it left pending. Empty: the terminal owns none and settles none.
    QString branch, cashRegister;
    // Runs right after a close-out's commit. Tests raise a platform::DatabaseError there
    // to lose the answer of a sale the database kept, as a connection lost at that moment
    // would.
    std::function<void()> afterCloseOutCommit;
};
POSSVC_EXPORT SaleServicesConfig& config();
POSSVC_EXPORT void resetConfig();

// The database of the services. By default the text that hostkit's GetStringConexQvn
// returns. The connection is opened at the first call and kept until the source changes.
POSSVC_EXPORT void setSaleConnectionSource(std::function<QString()> source);
POSSVC_EXPORT void closeSaleConnection();

// The folder in the terminal where the simulated SAT devices keep what they issued, each
// under its serial (SatMemory.h). Until set (or set empty) a device remembers for the life
// of the process only.
POSSVC_EXPORT void setSatDirectory(const QString& dir);
POSSVC_EXPORT QString satDirectory();
// The memory file of the terminal's SAT device (config().satSerial); empty without a folder.
POSSVC_EXPORT QString satMemoryPath();

// The terminal as its pending marks name it: branch and register, never the machine,
// a folder or the database's connection text.
struct POSSVC_EXPORT TerminalIdentity {
    QString branch, cashRegister;
    bool isEmpty() const { return branch.isEmpty() || cashRegister.isEmpty(); }
    QString text() const;  // "filial 0001 caixa 003"
};
POSSVC_EXPORT TerminalIdentity terminalIdentity();

// Before a screen opens (and at the host's start): forgets the sales concluded under the
// previous screen and resolves the redemptions this terminal left pending
// (PendingSales.h). Returns one line per sale resolved. Throws possvc::UnsettledSale when
// a pending sale cannot be settled now, platform::Error when the database fails.
POSSVC_EXPORT QStringList prepareScreen();

// Whether a fiscal printer's receipt belongs to a concluded sale of this terminal
// (PendingSales.h).
POSSVC_EXPORT bool receiptHasSale(const QString& printerSerial, const QString& receipt, const QString& counter);

// The clock of the services (sale date-times, emission dates). Empty: the system clock.
POSSVC_EXPORT void setSaleClock(std::function<QDateTime()> clock);
POSSVC_EXPORT QDateTime saleNow();

// Where the customer copies are written (created when missing). Until set, the current
// directory's "copias" folder.
POSSVC_EXPORT void setOutputDirectory(const QString& dir);
POSSVC_EXPORT QString outputDirectory();

// The files of the last customer copy printed (empty before the first), drawn and
// written within DisparaImpressaoNaoFiscal: its answer says whether they exist. `error`
// holds why the files could not be written, if they could not.
struct PrintedCopy {
    QString pdf;
    QString png;
    QString kind;   // "VENDA_NFCe" or "EXTRATO_SAT"
    QString key;
    QString error;
};
POSSVC_EXPORT PrintedCopy lastCustomerCopy();

// How long the close-outs of this process waited for another terminal's hold on their
// consumer (the lock that keeps two terminals from spending the same points): close-outs
// that took it, those that found it held, and the time spent waiting, in milliseconds.
// On SQLite the database's write lock is taken instead, and nothing is counted as waiting.
struct ConsumerLockWaits {
    qint64 taken = 0;
    qint64 waited = 0;
    double lastMs = 0;
    double totalMs = 0;
    double longestMs = 0;
};
POSSVC_EXPORT ConsumerLockWaits consumerLockWaits();

}  // namespace possvc::sim
