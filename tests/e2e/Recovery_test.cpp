// The redemption invariant through the reference host: the host process killed before
// and after every host call of the confirmation (the killed run also as a host of the
// published contract alone, which must reach the kill without a call outside the
// contract), then started again as the reference host, whose start-up recovery settles
// what the kill left; and eight terminals
// redeeming at once on one database. After recovery the database, the simulated printer
// and the SAT device agree: the redemption is complete (sale concluded, points spent,
// document issued) or undone (no concluded sale, points back, no open or valid receipt
// of it). On SQLite, and on PostgreSQL when VAK_PG_CONNSTR is set.

#include "RedemptionFixture.h"
#include "TerminalFixture.h"

#include "hostapi/ArgumentBlocks.h"
#include "hostapi/ProcVar.h"
#include "support/CashierLocale.h"
#include "support/SchemaFile.h"
#include "support/ScratchDatabase.h"
#include "support/SqlRows.h"
#include "support/Transcript.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QThread>
#include <QUuid>

#include <gtest/gtest.h>

#include <cctype>
#include <memory>

#include <signal.h>

namespace {

using redemption::Perfil;

// The shop of a terminal fixture, on its SQLite file or copied into a PostgreSQL
// database of its own (dropped at the end), in `encoding` when one is given.
class Shop {
public:
    Shop(const testsupport::TerminalFixture& term, bool postgres, const QString& encoding = {}) : sqlite_(term.dbPath())
    {
        if (!postgres) {
            connectionString_ = term.connectionString();
            handle_ = open(QStringLiteral("QSQLITE"), sqlite_);
            return;
        }
        scratch_ = testsupport::ScratchDatabase::create(testsupport::DbKind::PostgreSQL, QStringLiteral("e2e"), encoding);
        handle_ = open(QStringLiteral("QPSQL"), scratch_->serverDatabase());
        for (const QString& statement : testsupport::schemaStatements(QStringLiteral("postgresql.sql")))
            run(db(), statement);
        copyFrom(open(QStringLiteral("QSQLITE"), sqlite_));
        connectionString_ = scratch_->connectionString();
    }
    ~Shop()
    {
        for (const QString& name : names_)
            QSqlDatabase::removeDatabase(name);
    }
    const QString& connectionString() const { return connectionString_; }
    QSqlDatabase db() const { return QSqlDatabase::database(handle_); }
    QString value(const QString& sql) const
    {
        QSqlQuery q(db());
        return q.exec(sql) && q.next() ? q.value(0).toString().trimmed() : QString();
    }
    QList<QStringList> rows(const QString& sql) const
    {
        QSqlQuery q(db());
        EXPECT_TRUE(q.exec(sql)) << q.lastError().text().toStdString();
        return testsupport::textRows(q, true);
    }
    void exec(const QString& sql) const { run(db(), sql); }

private:
    QString open(const QString& driver, const QString& database)
    {
        const QString name = QUuid::createUuid().toString();
        QSqlDatabase d = QSqlDatabase::addDatabase(driver, name);
        d.setDatabaseName(database);
        if (driver == QLatin1String("QPSQL")) {
            d.setHostName(qEnvironmentVariable("VAK_PG_HOST"));
            d.setPort(qEnvironmentVariable("VAK_PG_PORT").toInt());
            d.setUserName(qEnvironmentVariable("VAK_PG_USER"));
        }
        if (!d.open())
            throw std::runtime_error(d.lastError().text().toStdString());
        names_ << name;
        return name;
    }
    static void run(const QString& connection, const QString& sql) { run(QSqlDatabase::database(connection), sql); }
    static void run(QSqlDatabase d, const QString& sql)
    {
        QSqlQuery q(d);
        if (!q.exec(sql))
            throw std::runtime_error((q.lastError().text() + QStringLiteral(": ") + sql).toStdString());
    }
    // The fixture's seed rows, table by table.
    void copyFrom(const QString& from)
    {
        for (const char* table : {"CLIENTE", "CONSUMIDOR", "CAMPANHA", "MOVPONTOCONS", "VOUCHERVND", "PRODUTO",
                                  "BRINDECAMPANHA", "ALIQIMPFIS"}) {
            QSqlQuery q(QSqlDatabase::database(from));
            q.exec(QStringLiteral("SELECT * FROM ") + QLatin1String(table));
            while (q.next()) {
                QStringList names, marks;
                QList<int> copied;
                for (int i = 0; i < q.record().count(); ++i) {
                    if (q.record().fieldName(i).toUpper().startsWith(QLatin1String("NRSEQ")))
                        continue;  // numbered by the database
                    copied << i;
                    names << q.record().fieldName(i);
                    marks << QStringLiteral("?");
                }
                QSqlQuery ins(db());
                ins.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                .arg(QLatin1String(table), names.join(u','), marks.join(u',')));
                for (int i : copied)
                    ins.addBindValue(q.value(i));
                if (!ins.exec())
                    throw std::runtime_error(ins.lastError().text().toStdString());
            }
        }
    }
    std::unique_ptr<testsupport::ScratchDatabase> scratch_;  // dropped after the connections go
    QString sqlite_, connectionString_, handle_;
    QStringList names_;
};

bool postgresConfigured()
{
    return !qEnvironmentVariableIsEmpty("VAK_PG_CONNSTR");
}

void configure(testsupport::TerminalFixture& term, Perfil profile, const QString& cashRegister = QStringLiteral("003"))
{
    term.params[QStringLiteral("UTILIZAIMPFIS")] = redemption::temImpressora(profile);
    term.params[QStringLiteral("SISTEMAQVNNFCE")] = redemption::marcaNfce(profile);
    term.params[QStringLiteral("SISTEMAQVNSAT")] = redemption::marcaSat(profile);
    term.params[QStringLiteral("CDCAIXA")] = cashRegister;
    term.writeAll();
    redemption::escreveTiposRecebimento(term.dir());
}

struct HostRun : testsupport::Transcript {
    int exitCode = -1;
    // The texts of the events called `name`.
    QStringList eventTexts(const QString& name) const
    {
        QStringList r;
        for (const QJsonObject& l : lines)
            if (l.value(QStringLiteral("event")).toString() == name)
                r << l.value(QStringLiteral("text")).toString();
        return r;
    }
    // VRRESTANTE of CP1 in the last state that shows the balances (-1: none does).
    double balance() const
    {
        for (auto it = lines.crbegin(); it != lines.crend(); ++it) {
            const QJsonObject ds = it->value(QStringLiteral("state")).toObject().value(QStringLiteral("cdsCampanha")).toObject();
            if (!ds.isEmpty())
                return testsupport::campaignValue(ds, QStringLiteral("CP1"), QStringLiteral("VRRESTANTE"));
        }
        return -1;
    }
};

// Starts pdvhost on a terminal with a script; `outName` (inside the terminal folder) is
// the run's output folder.
std::unique_ptr<QProcess> startHost(const testsupport::TerminalFixture& term, const QString& db, const QString& script,
                                    const QString& name, const QStringList& extra = {},
                                    const QString& outName = QStringLiteral("out"), bool keepErrors = false,
                                    const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment())
{
    const QString dir = term.dir();
    const QString out = dir + QLatin1Char('/') + outName;
    QFile f(dir + QLatin1Char('/') + name + QStringLiteral(".txt"));
    f.open(QIODevice::WriteOnly);
    f.write(script.toUtf8());
    f.close();
    QDir(dir).mkpath(outName);
    auto p = std::make_unique<QProcess>();
    p->setWorkingDirectory(out);
    p->setProcessEnvironment(env);
    p->setProcessChannelMode(keepErrors ? QProcess::SeparateChannels : QProcess::ForwardedErrorChannel);
    p->start(QStringLiteral(PDVHOST),
             QStringList{QStringLiteral("--terminal"), dir, QStringLiteral("--db"), db, QStringLiteral("--consumer"), QStringLiteral("C1"),
              QStringLiteral("--name"), QStringLiteral("Ana Souza"), QStringLiteral("--cpf"), QStringLiteral("12345678901"),
              QStringLiteral("--client"), QStringLiteral("001"), QStringLiteral("--script"), f.fileName(),
              QStringLiteral("--transcript"), dir + QLatin1Char('/') + name + QStringLiteral(".jsonl"), QStringLiteral("--out"),
              out} + extra);
    return p;
}

HostRun finish(QProcess& p, const testsupport::TerminalFixture& term, const QString& name)
{
    EXPECT_TRUE(p.waitForFinished(180000)) << name.toStdString();
    HostRun r{testsupport::Transcript::read(term.dir() + QLatin1Char('/') + name + QStringLiteral(".jsonl"))};
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return r;
}

QJsonObject jsonFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(f.readAll()).object() : QJsonObject();
}

// The one file of that name the terminal's devices keep, wherever under the terminal
// folder they keep it; empty when there is none.
QString deviceFile(const testsupport::TerminalFixture& term, const QString& name)
{
    QStringList found;
    QDirIterator it(term.dir(), {name}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        found << it.next();
    EXPECT_LE(found.size(), 1) << found.join(u' ').toStdString();
    return found.value(0);
}

// The sales the terminal's SAT device issued a CF-e for.
QSet<QString> satIssued(const testsupport::TerminalFixture& term)
{
    QSet<QString> sales;
    QFile f(deviceFile(term, QStringLiteral("sat-memoria.json")));
    if (!f.open(QIODevice::ReadOnly))
        return sales;
    const QJsonDocument doc = QJsonDocument::fromJson(f.readAll());
    const QJsonArray cfes = doc.isArray() ? doc.array() : doc.object().value(QStringLiteral("cfes")).toArray();
    for (const QJsonValue& v : cfes)
        sales << v.toObject().value(QStringLiteral("caixa")).toString() + QLatin1Char('/')
                     + v.toObject().value(QStringLiteral("venda")).toString();
    return sales;
}

QJsonObject printerState(const testsupport::TerminalFixture& term)
{
    return jsonFile(deviceFile(term, QStringLiteral("printer-state.json")));
}

// Chooses gift P1 at 10.00, the price written as the cashier's locale writes it.
QString choose()
{
    return QStringLiteral("pick CDARVPROD=0101\nprice %1\nkey F4\n").arg(testsupport::localMoney(10.0));
}

// ---- the host killed at every host call of the confirmation --------------------------

struct Crash {
    Perfil profile;
    const char* op;
    const char* refused;  // a step refused before, so that the crash comes in its undo; or nullptr
    bool after;
    bool complete;  // the redemption stands after recovery
    bool postgres;
    bool contractOnly;  // the killed run was a host of the published contract alone
};

void PrintTo(const Crash& c, std::ostream* os)
{
    *os << redemption::nomePerfil(c.profile) << ", killed " << (c.after ? "after " : "before ") << c.op;
    if (c.refused)
        *os << " (undoing a refused " << c.refused << ")";
    *os << ", " << (c.complete ? "complete" : "undone") << ", " << (c.postgres ? "PostgreSQL" : "SQLite");
}

class HostKilled : public ::testing::TestWithParam<Crash> {};

TEST_P(HostKilled, RestartLeavesTheRedemptionCompleteOrUndone)
{
    const Crash c = GetParam();
    if (c.postgres && !postgresConfigured())
        GTEST_SKIP() << "VAK_PG_CONNSTR not set";
    testsupport::TerminalFixture term;
    configure(term, c.profile);
    Shop shop(term, c.postgres);

    QString crash = QStringLiteral("crash %1 %2\n").arg(QLatin1String(c.op), c.after ? QStringLiteral("after") : QStringLiteral("before"));
    if (c.refused)
        crash.prepend(QStringLiteral("fail %1\n").arg(QLatin1String(c.refused)));
    auto first = startHost(term, shop.connectionString(), choose() + crash + QStringLiteral("key F5\n"), QStringLiteral("crash"),
                           c.contractOnly ? QStringList{QStringLiteral("--contract-only")} : QStringList{});
    const HostRun killed = finish(*first, term, QStringLiteral("crash"));
    ASSERT_EQ(killed.exitCode, hostapi::kCrashExitStatus) << "the planned crash did not happen";
    EXPECT_TRUE(killed.messages().isEmpty()) << killed.messages().join(u'\n').toStdString();

    auto second = startHost(term, shop.connectionString(), QStringLiteral("pick cancel\n"), QStringLiteral("restart"));
    const HostRun restarted = finish(*second, term, QStringLiteral("restart"));
    ASSERT_EQ(restarted.exitCode, 0);
    EXPECT_TRUE(restarted.messages().isEmpty()) << restarted.messages().join(u'\n').toStdString();
    EXPECT_TRUE(restarted.eventTexts(QStringLiteral("error")).isEmpty());

    const QString recovered = restarted.eventTexts(QStringLiteral("recovered")).join(u'\n');
    const QList<QStringList> concluded = shop.rows(QStringLiteral("SELECT CDCAIXA, NRSEQVENDA, NRCFE, DSCHAVEACESSO, NRCUPOMFIS FROM VENDA WHERE IDSITUVENDA = 'O'"));
    ASSERT_EQ(concluded.size(), c.complete ? 1 : 0) << recovered.toStdString();
    EXPECT_EQ(shop.value(QStringLiteral("SELECT COUNT(*) FROM VENDAPENDENTE")), QStringLiteral("0"));
    EXPECT_DOUBLE_EQ(restarted.balance(), c.complete ? 70.0 : 100.0) << recovered.toStdString();
    EXPECT_EQ(shop.value(QStringLiteral("SELECT COUNT(*) FROM ITFIDELIDADE f JOIN VENDA v ON v.CDFILIAL = f.CDFILIAL AND "
                                        "v.CDCAIXA = f.CDCAIXA AND v.NRSEQVENDA = f.NRSEQVENDA WHERE v.IDSITUVENDA = 'O'")),
              c.complete ? QStringLiteral("1") : QStringLiteral("0"));

    // The printer: nothing open, and its last receipt valid only for the standing sale.
    const QJsonObject printer = printerState(term);
    EXPECT_FALSE(printer.contains(QStringLiteral("open")));
    const QJsonObject last = printer.value(QStringLiteral("lastReceipt")).toObject();
    const bool validReceipt = last.value(QStringLiteral("cancellable")).toBool();
    if (redemption::temImpressora(c.profile)) {
        EXPECT_EQ(validReceipt, c.complete) << recovered.toStdString();
        if (c.complete) {
            EXPECT_EQ(concluded[0][4].toInt(), last.value(QStringLiteral("coo")).toInt());
        }
    }
    // The SAT device: a CF-e was issued exactly for a standing sale, which records it.
    const QSet<QString> issued = satIssued(term);
    for (const QStringList& sale : concluded) {
        if (c.profile == Perfil::Sat) {
            EXPECT_TRUE(issued.contains(sale[0] + QLatin1Char('/') + sale[1]));
            EXPECT_FALSE(sale[2].isEmpty()) << "the CF-e number reached the sale";
        }
        if (redemption::marcaNfce(c.profile)) {
            EXPECT_EQ(sale[3].size(), 44) << "the NFC-e key";
        }
    }
    if (c.profile == Perfil::Sat && !c.complete) {
        EXPECT_TRUE(issued.isEmpty());
    }
}

std::vector<Crash> crashes()
{
    struct Step {
        Perfil profile;
        const char* op;
        bool completeBefore, completeAfter;
        const char* refused = nullptr;
    };
    const Step steps[] = {
        {Perfil::Fiscal, "AbreCupom", false, false},
        {Perfil::Fiscal, "VendaItem", false, false},
        {Perfil::Fiscal, "FechaCupom", false, false},
        {Perfil::Fiscal, "Atu_TotGeral", false, false},
        {Perfil::Fiscal, "SetConcluiFechamento", false, true},
        {Perfil::Nfce, "SetConcluiFechamento", false, true},
        {Perfil::Nfce, "DisparaImpressaoNaoFiscal", true, true},
        {Perfil::Sat, "SetConcluiFechamento", false, false},
        {Perfil::Sat, "SATOnline", false, true},
        {Perfil::Sat, "AtualizaVendaSat", true, true},
        {Perfil::Sat, "DisparaImpressaoNaoFiscal", true, true},
        {Perfil::NfceComImpressora, "FechaCupom", false, false},
        {Perfil::NfceComImpressora, "SetConcluiFechamento", false, true},
        // Killed while undoing a refused step.
        {Perfil::Fiscal, "Cancela_Cupom_Imp", false, false, "FechaCupom"},
        {Perfil::Fiscal, "IncluiVendaCan", false, false, "SetConcluiFechamento"},
        {Perfil::Sat, "AlteraVendaCan", false, false, "SATOnline"},
        {Perfil::NfceComImpressora, "Cancela_Cupom_Imp", false, false, "SetConcluiFechamento"},
    };
    std::vector<Crash> all;
    for (bool contractOnly : {false, true})
        for (bool postgres : {false, true})
            for (const Step& s : steps)
                for (bool after : {false, true})
                    all.push_back({s.profile, s.op, s.refused, after, after ? s.completeAfter : s.completeBefore, postgres,
                                   contractOnly});
    return all;
}

INSTANTIATE_TEST_SUITE_P(Steps, HostKilled, ::testing::ValuesIn(crashes()), [](const ::testing::TestParamInfo<Crash>& info) {
    const Crash& c = info.param;
    return std::string(redemption::nomePerfil(c.profile)) + (c.refused ? std::string("_") + c.refused + "_refused" : "") + "_" + c.op + (c.after ? "_after" : "_before")
           + (c.postgres ? "_PostgreSQL" : "_SQLite") + (c.contractOnly ? "_contrato" : "");
});

// ---- whose redemption, which receipt: the terminal's fiscal identity -----------------
//
// A terminal is its branch and register; a device is its serial. The host killed in the
// middle of a redemption, then, before it starts again, another terminal runs: one
// installed from the same image (same machine, same folder path) as another register, or
// a register whose new printer prints the same receipt numbers; or the terminal itself
// starts again with its database spelled otherwise and another output folder. The killed
// terminal's restart settles its own redemption as it was, and nobody else's.

// The same connection spelled otherwise (another key case, another alias, another order
// of nothing but the text): the same database.
QString respelled(const QString& connection)
{
    QString text = connection;
    text.replace(QStringLiteral("Provider="), QStringLiteral("PROVIDER="));
    text.replace(QStringLiteral("Data Source="), QStringLiteral("Database="));
    return text + QLatin1Char(';');
}

// The folders a terminal's devices and runs keep inside the terminal folder, set aside
// (and put back) while another terminal runs at the same path.
void setDevicesAside(const QString& dir, bool back)
{
    const QString suffix = QStringLiteral(".aside");
    for (const char* name : {"out", "SAT", "Fiscal"}) {
        const QString plain = dir + QLatin1Char('/') + QLatin1String(name);
        const QString from = back ? plain + suffix : plain, to = back ? plain : plain + suffix;
        if (QFileInfo::exists(from))
            EXPECT_TRUE(QDir().rename(from, to)) << from.toStdString();
    }
}

struct Identity {
    const char* what;
    Perfil profile;
    const char* crash;
    enum class Meanwhile { CloneStarts, OtherRegisterRedeems, Nothing } meanwhile;
    bool respell;          // the restart names the database otherwise, with another --out
    bool complete;         // the killed terminal's redemption stands after its restart
    double balance;        // C1's points after the restart
    bool postgres;
};

void PrintTo(const Identity& c, std::ostream* os)
{
    *os << c.what << (c.postgres ? ", PostgreSQL" : ", SQLite");
}

class FiscalIdentity : public ::testing::TestWithParam<Identity> {};

TEST_P(FiscalIdentity, TheRestartSettlesItsOwnRedemptionAlone)
{
    const Identity c = GetParam();
    if (c.postgres && !postgresConfigured())
        GTEST_SKIP() << "VAK_PG_CONNSTR not set";
    testsupport::TerminalFixture term;
    term.params[QStringLiteral("NRSERIEIMP")] = QStringLiteral("BE0001");
    configure(term, c.profile, QStringLiteral("001"));
    Shop shop(term, c.postgres);
    auto first = startHost(term, shop.connectionString(), choose() + QLatin1String(c.crash) + QStringLiteral("key F5\n"),
                           QStringLiteral("crash"));
    ASSERT_EQ(finish(*first, term, QStringLiteral("crash")).exitCode, hostapi::kCrashExitStatus);
    const auto ownSales = [&](const char* situation) {
        return shop.value(QStringLiteral("SELECT COUNT(*) FROM VENDA WHERE CDCAIXA = '001' AND IDSITUVENDA = '%1'")
                              .arg(QLatin1String(situation)));
    };
    const QString concludedAtCrash = ownSales("O");

    if (c.meanwhile == Identity::Meanwhile::CloneStarts) {
        // Register 002 installed from the same image, at the same path on its own machine.
        setDevicesAside(term.dir(), false);
        term.params[QStringLiteral("CDCAIXA")] = QStringLiteral("002");
        term.writeParams();
        auto clone = startHost(term, shop.connectionString(), QStringLiteral("pick cancel\n"), QStringLiteral("clone"));
        EXPECT_EQ(finish(*clone, term, QStringLiteral("clone")).exitCode, 0);
        EXPECT_EQ(ownSales("O"), concludedAtCrash) << "register 002 settled register 001's sale";
        EXPECT_EQ(ownSales("C"), QStringLiteral("0")) << "register 002 cancelled register 001's sale";
        for (const char* name : {"out", "SAT", "Fiscal"})  // nothing of 002's devices is on 001's machine
            QDir(term.dir() + QLatin1Char('/') + QLatin1String(name)).removeRecursively();
        term.params[QStringLiteral("CDCAIXA")] = QStringLiteral("001");
        term.writeParams();
        setDevicesAside(term.dir(), true);
    } else if (c.meanwhile == Identity::Meanwhile::OtherRegisterRedeems) {
        // Register 002 with a new printer of its own, whose numbers start at 1 again.
        testsupport::TerminalFixture other;
        other.params[QStringLiteral("NRSERIEIMP")] = QStringLiteral("BE0002");
        configure(other, c.profile, QStringLiteral("002"));
        auto run = startHost(other, shop.connectionString(), choose() + QStringLiteral("key F5\n"), QStringLiteral("run"));
        EXPECT_EQ(finish(*run, other, QStringLiteral("run")).exitCode, 0);
        ASSERT_EQ(shop.value(QStringLiteral("SELECT NRCUPOMFIS FROM VENDA WHERE CDCAIXA = '002' AND IDSITUVENDA = 'O'")),
                  QStringLiteral("000001"));
    }

    const QString connection = c.respell ? respelled(shop.connectionString()) : shop.connectionString();
    auto second = startHost(term, connection, QStringLiteral("pick cancel\n"), QStringLiteral("restart"), {},
                            c.respell ? QStringLiteral("elsewhere") : QStringLiteral("out"));
    const HostRun restarted = finish(*second, term, QStringLiteral("restart"));
    ASSERT_EQ(restarted.exitCode, 0);
    const QString recovered = restarted.eventTexts(QStringLiteral("recovered")).join(u'\n');
    EXPECT_EQ(ownSales("O"), c.complete ? QStringLiteral("1") : QStringLiteral("0")) << recovered.toStdString();
    EXPECT_EQ(shop.value(QStringLiteral("SELECT COUNT(*) FROM VENDAPENDENTE")), QStringLiteral("0"));
    EXPECT_DOUBLE_EQ(restarted.balance(), c.balance) << recovered.toStdString();
    if (c.profile == Perfil::Sat && c.complete) {
        EXPECT_FALSE(shop.value(QStringLiteral("SELECT NRCFE FROM VENDA WHERE CDCAIXA = '001'")).isEmpty())
            << "the CF-e the device issued reached its sale";
        EXPECT_TRUE(satIssued(term).contains(QStringLiteral("001/1")));
    }
    if (redemption::temImpressora(c.profile)) {
        const QJsonObject last = printerState(term).value(QStringLiteral("lastReceipt")).toObject();
        EXPECT_EQ(last.value(QStringLiteral("cancellable")).toBool(), c.complete) << recovered.toStdString();
    }
    if (c.meanwhile == Identity::Meanwhile::OtherRegisterRedeems) {
        EXPECT_EQ(shop.value(QStringLiteral("SELECT IDSITUVENDA FROM VENDA WHERE CDCAIXA = '002'")), QStringLiteral("O"));
    }
}

std::vector<Identity> identities()
{
    using M = Identity::Meanwhile;
    const Identity cases[] = {
        {"cloned terminal starts while the CF-e waits", Perfil::Sat, "crash AtualizaVendaSat before\n", M::CloneStarts,
         false, true, 70, false},
        {"restart with the database spelled otherwise and another out", Perfil::Sat,
         "crash AtualizaVendaSat before\n", M::Nothing, true, true, 70, false},
        {"another register reuses the receipt numbers", Perfil::Fiscal, "crash FechaCupom after\n",
         M::OtherRegisterRedeems, false, false, 70, false},
    };
    std::vector<Identity> all;
    for (bool postgres : {false, true})
        for (Identity c : cases) {
            c.postgres = postgres;
            all.push_back(c);
        }
    return all;
}

INSTANTIATE_TEST_SUITE_P(Cases, FiscalIdentity, ::testing::ValuesIn(identities()),
                         [](const ::testing::TestParamInfo<Identity>& info) {
                             std::string name;
                             for (const char* p = info.param.what; *p; ++p)
                                 name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                             return name + (info.param.postgres ? "_PostgreSQL" : "_SQLite");
                         });

// ---- one host per terminal, and recovery that cannot run -------------------------------

// The state letter of a running process (R, S, T for stopped...), '?' once it is gone.
char processState(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return '?';
    const QByteArray text = stat.readAll();
    const qsizetype close = text.lastIndexOf(')');
    return close > 0 && close + 2 < text.size() ? text.at(close + 2) : '?';
}

// ---- the clock takes no part in matching a receipt with its sale ---------------------
//
// The host stops just before the close-out, after its receipt was opened and printed;
// meanwhile the wall clock goes back: stepped back an hour (libfaketime, its offset file
// rewritten while the host waits), or a daylight-saving night ending (a time zone whose
// summer time ends a few seconds after the receipt opened). The sale is then booked at a
// local time before its receipt's opening. The next start finds the sale standing with
// its receipt, and cancels nothing.

const char* const kFaketime = "/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1";

struct ClockCase {
    const char* what;
    bool fallBack;  // a time zone's summer time ends; otherwise the clock is stepped back
    bool postgres;
};

void PrintTo(const ClockCase& c, std::ostream* os)
{
    *os << c.what << (c.postgres ? ", PostgreSQL" : ", SQLite");
}

// A time zone three hours behind UTC with summer time (two hours behind) that ends at
// `end`: one more second, and local times start again an hour earlier.
QString zoneEndingSummerAt(const QDateTime& end)
{
    const QDateTime summer = end.toUTC().addSecs(-2 * 3600);
    // Jn counts days 1..365 and never February 29.
    const QDate d = summer.date();
    int day = d.dayOfYear();
    if (QDate::isLeapYear(d.year()) && d.month() > 2)
        --day;
    return QStringLiteral("XST3XDT2,J1/0,J%1/%2").arg(day).arg(summer.time().toString(QStringLiteral("HH:mm:ss")));
}

void writeText(const QString& path, const QString& text)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text.toUtf8());
}

class SteppedClock : public ::testing::TestWithParam<ClockCase> {};

TEST_P(SteppedClock, AStandingSaleKeepsItsReceiptAtTheNextStart)
{
    const ClockCase c = GetParam();
    if (c.postgres && !postgresConfigured())
        GTEST_SKIP() << "VAK_PG_CONNSTR not set";
    if (!c.fallBack && !QFile::exists(QLatin1String(kFaketime)))
        GTEST_SKIP() << kFaketime << " is not installed";
    const QDateTime start = QDateTime::currentDateTimeUtc();
    if (start.addSecs(-3 * 3600).time() < QTime(1, 30) || start.addSecs(-3 * 3600).time() > QTime(23, 30))
        GTEST_SKIP() << "too near the business day's turn for a clock an hour back";
    testsupport::TerminalFixture term;
    term.params[QStringLiteral("NRSERIEIMP")] = QStringLiteral("BE0001");
    configure(term, Perfil::Fiscal, QStringLiteral("001"));
    Shop shop(term, c.postgres);

    // The host's clock runs through libfaketime, its offset read from a file at every call.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    const QString offsetFile = term.dir() + QStringLiteral("/faketime.rc");
    writeText(offsetFile, QStringLiteral("+0s"));
    env.insert(QStringLiteral("LD_PRELOAD"), QLatin1String(kFaketime));
    env.insert(QStringLiteral("FAKETIME_TIMESTAMP_FILE"), offsetFile);
    env.insert(QStringLiteral("FAKETIME_NO_CACHE"), QStringLiteral("1"));
    // Under AddressSanitizer its runtime must come first; the preloaded clock comes before it.
    env.insert(QStringLiteral("ASAN_OPTIONS"),
               env.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":verify_asan_link_order=0"));
    const QDateTime summerEnds = start.addSecs(120);
    env.insert(QStringLiteral("TZ"), c.fallBack ? zoneEndingSummerAt(summerEnds) : QStringLiteral("America/Sao_Paulo"));
    auto host = startHost(term, shop.connectionString(), choose() + QStringLiteral("stall SetConcluiFechamento\nkey F5\n"),
                          QStringLiteral("redeem"), {}, QStringLiteral("out"), false, env);
    ASSERT_TRUE(host->waitForStarted());
    for (int i = 0; i < 1200 && processState(host->processId()) != 'T'; ++i)
        QThread::msleep(100);
    ASSERT_EQ(processState(host->processId()), 'T') << "the host did not stop before the close-out";
    if (c.fallBack) {
        // The night passes at once: the clock leaps to just after summer time's end, so
        // local times start again almost an hour before the receipt's opening.
        const qint64 toEnd = QDateTime::currentDateTimeUtc().secsTo(summerEnds);
        ASSERT_GT(toEnd, 0) << "the receipt opened after summer time ended";
        writeText(offsetFile, QStringLiteral("+%1s").arg(toEnd + 1));
    } else {
        writeText(offsetFile, QStringLiteral("-3600s"));
    }
    ::kill(pid_t(host->processId()), SIGCONT);
    const HostRun redeemed = finish(*host, term, QStringLiteral("redeem"));
    ASSERT_EQ(redeemed.exitCode, 0);
    ASSERT_EQ(shop.value(QStringLiteral("SELECT COUNT(*) FROM VENDA WHERE IDSITUVENDA = 'O'")), QStringLiteral("1"));
    ASSERT_TRUE(printerState(term).value(QStringLiteral("lastReceipt")).toObject().value(QStringLiteral("cancellable")).toBool());

    auto again = startHost(term, shop.connectionString(), QStringLiteral("pick cancel\n"), QStringLiteral("again"));
    const HostRun restarted = finish(*again, term, QStringLiteral("again"));
    ASSERT_EQ(restarted.exitCode, 0);
    const QString recovered = restarted.eventTexts(QStringLiteral("recovered")).join(u'\n');
    EXPECT_TRUE(printerState(term).value(QStringLiteral("lastReceipt")).toObject().value(QStringLiteral("cancellable")).toBool())
        << "the receipt of a standing sale was cancelled: " << recovered.toStdString();
    EXPECT_EQ(shop.value(QStringLiteral("SELECT COUNT(*) FROM VENDA WHERE IDSITUVENDA = 'O'")), QStringLiteral("1"));
    EXPECT_EQ(shop.value(QStringLiteral("SELECT COUNT(*) FROM VENDACANCELADA")), QStringLiteral("0"));
    EXPECT_DOUBLE_EQ(restarted.balance(), 70);
}

INSTANTIATE_TEST_SUITE_P(Cases, SteppedClock,
                         ::testing::Values(ClockCase{"stepped_back_an_hour", false, false},
                                           ClockCase{"summer_time_ends", true, false},
                                           ClockCase{"stepped_back_an_hour", false, true},
                                           ClockCase{"summer_time_ends", true, true}),
                         [](const ::testing::TestParamInfo<ClockCase>& info) {
                             return std::string(info.param.what) + (info.param.postgres ? "_PostgreSQL" : "_SQLite");
                         });


class OneTerminal : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override
    {
        if (GetParam() && !postgresConfigured())
            GTEST_SKIP() << "VAK_PG_CONNSTR not set";
        configure(term, Perfil::Sat);
        shop = std::make_unique<Shop>(term, GetParam());
    }
    QString saleSituation(const QString& column = QStringLiteral("IDSITUVENDA")) const
    {
        return shop->value(QStringLiteral("SELECT %1 FROM VENDA WHERE CDCONSUMIDOR = 'C1'").arg(column));
    }
    testsupport::TerminalFixture term;
    std::unique_ptr<Shop> shop;
};

// Host A stalls inside SATOnline, its close-out committed and the sale pending; host B
// started on the same terminal is refused and settles nothing; A then ends its sale whole.
TEST_P(OneTerminal, ASecondHostOnTheTerminalIsRefusedWhileARedemptionIsInFlight)
{
    auto a = startHost(term, shop->connectionString(), choose() + QStringLiteral("stall SATOnline\nkey F5\n"),
                       QStringLiteral("a"));
    ASSERT_TRUE(a->waitForStarted());
    for (int i = 0; i < 1200 && processState(a->processId()) != 'T'; ++i)
        QThread::msleep(100);
    ASSERT_EQ(processState(a->processId()), 'T') << "host A did not stall inside SATOnline";
    ASSERT_EQ(shop->value(QStringLiteral("SELECT COUNT(*) FROM VENDAPENDENTE")), QStringLiteral("1"));

    auto b = startHost(term, shop->connectionString(), QStringLiteral("pick cancel\n"), QStringLiteral("b"), {}, QStringLiteral("out"), true);
    const HostRun refused = finish(*b, term, QStringLiteral("b"));
    const QString why = QString::fromLocal8Bit(b->readAllStandardError());
    EXPECT_EQ(refused.exitCode, 1) << why.toStdString();
    EXPECT_TRUE(why.contains(QStringLiteral("in use by another host"))) << why.toStdString();
    EXPECT_TRUE(why.contains(QStringLiteral("process %1").arg(a->processId()))) << why.toStdString();
    EXPECT_TRUE(refused.eventTexts(QStringLiteral("recovered")).isEmpty());
    EXPECT_EQ(saleSituation(), QStringLiteral("O")) << "host B settled host A's sale";

    ::kill(pid_t(a->processId()), SIGCONT);
    const HostRun done = finish(*a, term, QStringLiteral("a"));
    EXPECT_EQ(done.exitCode, 0);
    EXPECT_TRUE(done.messages().isEmpty()) << done.messages().join(u'\n').toStdString();
    EXPECT_EQ(saleSituation(), QStringLiteral("O"));
    EXPECT_FALSE(saleSituation(QStringLiteral("NRCFE")).isEmpty()) << "the CF-e reached its sale";
    EXPECT_EQ(shop->value(QStringLiteral("SELECT COUNT(*) FROM VENDAPENDENTE")), QStringLiteral("0"));
    EXPECT_EQ(shop->value(QStringLiteral("SELECT COUNT(*) FROM VENDACANCELADA")), QStringLiteral("0"));
}

// The SAT memory that would settle a pending sale cannot be read: the host does not open
// the screen, says which sale waits, and leaves it as it was.
TEST_P(OneTerminal, AnUnreadableSatMemoryStopsTheTerminalNamingTheSale)
{
    auto crashed = startHost(term, shop->connectionString(),
                             choose() + QStringLiteral("crash AtualizaVendaSat before\nkey F5\n"), QStringLiteral("crash"));
    ASSERT_EQ(finish(*crashed, term, QStringLiteral("crash")).exitCode, hostapi::kCrashExitStatus);
    const QString sale = shop->value(QStringLiteral("SELECT NRSEQVENDA FROM VENDAPENDENTE"));
    ASSERT_FALSE(sale.isEmpty());
    const QString memoryPath = deviceFile(term, QStringLiteral("sat-memoria.json"));
    ASSERT_FALSE(memoryPath.isEmpty());
    QFile memory(memoryPath);
    ASSERT_TRUE(memory.open(QIODevice::WriteOnly | QIODevice::Truncate));
    memory.write("[{\"filial\": ");
    memory.close();

    auto restart = startHost(term, shop->connectionString(), QStringLiteral("pick cancel\n"), QStringLiteral("restart"), {},
                             QStringLiteral("out"), true);
    const HostRun stopped = finish(*restart, term, QStringLiteral("restart"));
    const QString why = QString::fromLocal8Bit(restart->readAllStandardError());
    EXPECT_EQ(stopped.exitCode, 1) << why.toStdString();
    EXPECT_TRUE(why.contains(QStringLiteral("venda %1 ").arg(sale))) << why.toStdString();
    for (const QJsonObject& l : stopped.lines)
        EXPECT_NE(l.value(QStringLiteral("event")).toString(), QStringLiteral("shown")) << "the screen opened";
    EXPECT_EQ(saleSituation(), QStringLiteral("O"));
    EXPECT_EQ(shop->value(QStringLiteral("SELECT COUNT(*) FROM VENDAPENDENTE")), QStringLiteral("1"));

    // The check names the waiting sale as an error.
    QProcess check;
    check.start(QStringLiteral(PDVHOST), {QStringLiteral("check"), QStringLiteral("--terminal"), term.dir(),
                                          QStringLiteral("--db"), shop->connectionString()});
    ASSERT_TRUE(check.waitForFinished(120000));
    const QString report = QString::fromUtf8(check.readAllStandardOutput());
    EXPECT_EQ(check.exitCode(), 1) << report.toStdString();
    EXPECT_TRUE(report.contains(QStringLiteral("sale %1").arg(sale))) << report.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Backends, OneTerminal, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "PostgreSQL" : "SQLite"; });

// ---- eight terminals at once on one database -----------------------------------------

struct Terminal {
    Perfil profile;
    const char* cashRegister;
    const char* fault;  // a script line before F5, or ""
};

// The shop's database: SQLite, or PostgreSQL in the server's encoding or in WIN1252.
struct Database {
    bool postgres;
    const char* encoding;
    const char* name;
};

void PrintTo(const Database& d, std::ostream* out)
{
    *out << d.name;
}

class EightTerminals : public ::testing::TestWithParam<Database> {};

TEST_P(EightTerminals, NoCompletedSaleIsCancelledByAnotherAttempt)
{
    const bool postgres = GetParam().postgres;
    if (postgres && !postgresConfigured())
        GTEST_SKIP() << "VAK_PG_CONNSTR not set";
    // One host per register (a second one on a register is refused); every printer is new
    // (its numbers start at 1, the same numbers on every register), as after a replacement.
    const Terminal layout[] = {
        {Perfil::Fiscal, "001", "fail SetConcluiFechamento\n"}, {Perfil::Fiscal, "006", ""},
        {Perfil::Fiscal, "007", "throw SetConcluiFechamento\n"}, {Perfil::Fiscal, "002", ""},
        {Perfil::Nfce, "003", ""}, {Perfil::Nfce, "008", "fail SetConcluiFechamento\n"},
        {Perfil::Sat, "004", "fail SATOnline\n"}, {Perfil::Sat, "005", ""},
    };
    std::vector<std::unique_ptr<testsupport::TerminalFixture>> terms;
    for (const Terminal& t : layout) {
        terms.push_back(std::make_unique<testsupport::TerminalFixture>());
        configure(*terms.back(), t.profile, QString::fromLatin1(t.cashRegister));
    }
    Shop shop(*terms[0], postgres, QString::fromLatin1(GetParam().encoding));
    // An earlier completed sale of another consumer on register 001, with the numbers the
    // new printers are about to print again.
    shop.exec(QStringLiteral("INSERT INTO MOVPONTOCONS (CDCLIENTE, CDCONSUMIDOR, CDCAMPANHA, IDTPMOVCONS, VRSALDOCONS) "
                             "VALUES ('001', 'C2', 'CP1', 'C', 30)"));
    shop.exec(QStringLiteral("INSERT INTO VENDA (CDFILIAL, CDCAIXA, NRSEQVENDA, IDSITUVENDA, CDCLIENTE, CDCONSUMIDOR, "
                             "NRCUPOMFIS, NRCONTCUPOMFISC, NRSERIEIMP, DTMOVIMCAIXA) VALUES ('01', '001', '1', 'O', '001', "
                             "'C2', '000001', '000001', 'BE0001', CURRENT_DATE)"));
    shop.exec(QStringLiteral("INSERT INTO ITVENDA (CDFILIAL, CDCAIXA, NRSEQVENDA, NRSEQITVEND, CDPRODUTO) "
                             "VALUES ('01', '001', '1', '001', 'P1')"));
    shop.exec(QStringLiteral("INSERT INTO ITFIDELIDADE (CDFILIAL, CDCAIXA, NRSEQVENDA, CDCLIENTE, CDCONSUMIDOR, CDCAMPANHA, "
                             "IDTPOPERITFIDEL, VRPONTOBRINDE, CDPRODUTO) VALUES ('01', '001', '1', '001', 'C2', 'CP1', 'R', 30, 'P1')"));

    std::vector<std::unique_ptr<QProcess>> hosts;
    for (size_t i = 0; i < terms.size(); ++i)
        hosts.push_back(startHost(*terms[i], shop.connectionString(), choose() + QLatin1String(layout[i].fault) + QStringLiteral("key F5\n"),
                                  QStringLiteral("run")));
    QList<HostRun> runs;
    for (size_t i = 0; i < terms.size(); ++i)
        runs << finish(*hosts[i], *terms[i], QStringLiteral("run"));

    // Which sale each terminal concluded, and which of its own it undid.
    QSet<QString> own, undoneByOwner;
    for (int i = 0; i < runs.size(); ++i) {
        EXPECT_EQ(runs[i].exitCode, 0) << i;
        EXPECT_TRUE(runs[i].eventTexts(QStringLiteral("error")).isEmpty()) << i;
        const QString reg = QString::fromLatin1(layout[i].cashRegister);
        for (const QJsonObject& c : runs[i].calls(QStringLiteral("SetConcluiFechamento")))
            if (c.contains(QStringLiteral("result")))
                own << reg + QLatin1Char('/') + c.value(QStringLiteral("result")).toString();
        for (const char* op : {"IncluiVendaCan", "AlteraVendaCan"})
            for (const QJsonObject& c : runs[i].calls(QLatin1String(op)))
                if (const QString sale = c.value(QStringLiteral("out")).toArray().at(0).toArray().at(hostapi::answer::VendaCancelada::Venda).toString();
                    !sale.isEmpty())
                    undoneByOwner << reg + QLatin1Char('/') + sale;
    }
    const QList<QStringList> sales = shop.rows(QStringLiteral("SELECT CDCAIXA, NRSEQVENDA, IDSITUVENDA, CDCONSUMIDOR FROM VENDA"));
    int concluded = 0, cancelled = 0;
    for (const QStringList& s : sales) {
        const QString key = s[0] + QLatin1Char('/') + s[1];
        if (s[2] == QLatin1String("C")) {
            ++cancelled;
            EXPECT_TRUE(own.contains(key) && undoneByOwner.contains(key)) << "sale " << key.toStdString()
                                                                          << " cancelled by another attempt";
        }
        concluded += s[2] == QLatin1String("O") && s[3] == QLatin1String("C1");
    }
    EXPECT_EQ(shop.value(QStringLiteral("SELECT IDSITUVENDA FROM VENDA WHERE CDCAIXA = '001' AND NRSEQVENDA = '1'")),
              QStringLiteral("O")) << "the earlier sale of consumer C2";
    // Points never spent twice nor below zero: C1 had 100, each gift costs 30.
    EXPECT_GE(concluded, 1);
    EXPECT_LE(concluded, 3);
    EXPECT_EQ(shop.value(QStringLiteral("SELECT COUNT(*) FROM ITFIDELIDADE f JOIN VENDA v ON v.CDFILIAL = f.CDFILIAL AND "
                                        "v.CDCAIXA = f.CDCAIXA AND v.NRSEQVENDA = f.NRSEQVENDA WHERE v.IDSITUVENDA = 'O' "
                                        "AND f.CDCONSUMIDOR = 'C1'")).toInt(),
              concluded);
    // No number given twice (NFC-e numbers run per series, one series a register).
    for (const char* sql : {"SELECT COUNT(*) - COUNT(DISTINCT CDSERIENFCE || '/' || NRNOTAFISCALCE) FROM INUTILIZANFCE",
                            "SELECT COUNT(NRNOTAFISCALCE) - COUNT(DISTINCT CDCAIXA || '/' || NRNOTAFISCALCE) FROM VENDA",
                            "SELECT COUNT(NRCFE) - COUNT(DISTINCT NRCFE) FROM VENDA",
                            "SELECT COUNT(*) - COUNT(DISTINCT CDCAIXA || '/' || NRSEQVENDACAN) FROM VENDACANCELADA"})
        EXPECT_EQ(shop.value(QLatin1String(sql)), QStringLiteral("0")) << sql;
    EXPECT_EQ(shop.value(QStringLiteral("SELECT COUNT(*) FROM VENDAPENDENTE")), QStringLiteral("0"));
    std::printf("[ figures ] %s: %d sales of C1 concluded, %d cancelled by their own terminal, %d log entries\n",
                GetParam().name, concluded, cancelled,
                shop.value(QStringLiteral("SELECT COUNT(*) FROM VENDACANCELADA")).toInt());
}

INSTANTIATE_TEST_SUITE_P(Backends, EightTerminals,
                         ::testing::Values(Database{false, "", "SQLite"}, Database{true, "", "PostgreSQL"},
                                           Database{true, "WIN1252", "PostgreSQL_WIN1252"}),
                         [](const ::testing::TestParamInfo<Database>& info) { return std::string(info.param.name); });

}  // namespace
