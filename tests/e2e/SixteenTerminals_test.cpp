// Sixteen terminals (registers 001 to 016: fiscal printer, NFC-e, SAT, NFC-e with a
// printer) redeem at once for one consumer who has points enough for every attempt, on one
// shop database. Some hosts are killed (SIGKILL) at random moments, most of them inside a
// confirmation; each killed terminal is started again so that its start-up recovery runs
// (and that start is sometimes killed as well, then started once more). Afterwards the
// database, each terminal's printer and SAT device, and what each cashier was told agree:
// no valid receipt without its concluded sale, no concluded sale whose receipt was
// cancelled, no CF-e for a sale that does not stand, no point spent twice, no pending mark
// left, and every message true of the outcome.
//
// VAK_STRESS_RUNS runs per backend (by default 10 on the Release build, 2 on the Debug
// builds); SQLite always, PostgreSQL when VAK_PG_CONNSTR is set. The kills come from a
// seeded generator: each run prints its seed, and VAK_STRESS_SEED=N VAK_STRESS_RUNS=1
// plays that run's plan again (the moments are the same transcript lines; the hosts'
// timing is the machine's).

#include "DeviceRecords.h"
#include "HostProcess.h"
#include "RedemptionFixture.h"
#include "ShopDatabase.h"
#include "TerminalFixture.h"

#include "support/CashierLocale.h"

#include <QCoreApplication>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>
#include <QThread>

#include <gtest/gtest.h>

#include <cstdio>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <random>

namespace {

using e2e::HostProcess;
using redemption::Perfil;

constexpr int kTerminals = 16;
constexpr int kAttempts = 2;          // redemptions in each terminal's script
constexpr double kGiftPoints = 30;    // gift P1 of campaign CP1
constexpr double kFixturePoints = 100;  // what C1 holds in CP1 before the extra credit
constexpr double kCredit = kTerminals * kAttempts * kGiftPoints;
constexpr int kHostLimitMs = 180000;  // a host still running then has hung

const Perfil kProfiles[] = {Perfil::Fiscal, Perfil::Nfce, Perfil::Sat, Perfil::NfceComImpressora};

// ---- the runs and their seeds -----------------------------------------------------------

int runsWanted()
{
    bool ok = false;
    const int n = qEnvironmentVariableIntValue("VAK_STRESS_RUNS", &ok);
    return ok && n > 0 ? n : VAK_STRESS_DEFAULT_RUNS;
}

quint64 firstSeed()
{
    bool ok = false;
    const quint64 seed = qEnvironmentVariable("VAK_STRESS_SEED").toULongLong(&ok);
    return ok ? seed : std::random_device{}();
}

QString redemptionScript()
{
    const QString one = QStringLiteral("pick CDARVPROD=0101\nprice %1\nkey F4\nkey F5\n").arg(testsupport::localMoney(10.0));
    return one.repeated(kAttempts);
}

// Opens the screen and closes it: the host's start-up recovery runs, the balance is shown.
const QString kOpenOnly = QStringLiteral("pick cancel\n");

// ---- a terminal's timeline, to aim the kills ----------------------------------------------

// How the redemption script's transcript unfolds on a profile, from one undisturbed run:
// its lines, the line spans of each confirmation (from the line after the last F4 to the
// F5 step's own line) and how long the host took.
struct Timeline {
    int lines = 0;
    QList<std::pair<int, int>> confirmations;
    qint64 ms = 0;
};

// Each host ends or is killed; a host still running after kHostLimitMs is killed and named.
// Events are processed meanwhile, as QProcess needs them to notice an end.
template <typename KillNow>
std::vector<size_t> supervise(const std::vector<HostProcess*>& hosts, KillNow killNow)
{
    std::vector<size_t> hung;
    for (bool running = true; running;) {
        QCoreApplication::processEvents();
        running = false;
        for (size_t i = 0; i < hosts.size(); ++i) {
            HostProcess& h = *hosts[i];
            if (h.finished())
                continue;
            if (h.elapsedMs() > kHostLimitMs) {
                hung.push_back(i);
                h.kill();
            } else if (killNow(i, h)) {
                h.kill();
            }
            running = running || !h.finished();
        }
        QThread::msleep(2);
    }
    return hung;
}

const Timeline& timeline(Perfil profile)
{
    static std::map<Perfil, Timeline> known;
    if (auto it = known.find(profile); it != known.end())
        return it->second;
    testsupport::TerminalFixture term;
    term.params[QStringLiteral("UTILIZAIMPFIS")] = redemption::temImpressora(profile);
    term.params[QStringLiteral("SISTEMAQVNNFCE")] = redemption::marcaNfce(profile);
    term.params[QStringLiteral("SISTEMAQVNSAT")] = redemption::marcaSat(profile);
    term.writeAll();
    redemption::escreveTiposRecebimento(term.dir());
    HostProcess host(term.dir(), term.connectionString(), redemptionScript(), QStringLiteral("timeline"));
    supervise({&host}, [](size_t, HostProcess&) { return false; });
    Timeline t;
    t.ms = host.elapsedMs();
    const testsupport::Transcript transcript = host.transcript();
    t.lines = transcript.lines.size();
    int lastStep = 0;
    for (int i = 0; i < transcript.lines.size(); ++i) {
        const QString step = transcript.lines[i].value(QStringLiteral("step")).toString();
        if (step == QLatin1String("key F5"))
            t.confirmations.push_back({lastStep + 1, i + 1});
        if (!step.isEmpty())
            lastStep = i + 1;
    }
    EXPECT_EQ(t.confirmations.size(), kAttempts) << redemption::nomePerfil(profile) << ": the undisturbed run";
    return known[profile] = t;
}

// ---- one terminal of the shop ---------------------------------------------------------------

// Where the host is killed: at the first transcript line count reaching `line`, and the
// restart `restartMs` after it started (none: it runs to its end).
struct KillPlan {
    std::optional<int> line;
    std::optional<qint64> restartMs;
};

// One confirmation as its transcript shows it: the sale the close-out gave (if it got so
// far), what the cashier was told, and whether it ended before the host did.
struct Attempt {
    QString sale;
    QStringList messages;
    bool complete = false;
};

struct Station {
    Perfil profile;
    QString reg;
    std::unique_ptr<testsupport::TerminalFixture> term;
    KillPlan plan;
    QList<Attempt> attempts;
    int starts = 0;
    QString killedAfter;  // the last host call the killed host's transcript shows
    QStringList findings;
    QString name() const { return QStringLiteral("register %1 (%2)").arg(reg, QLatin1String(redemption::nomePerfil(profile))); }
};

Station makeStation(int index)
{
    Station s{kProfiles[index % std::size(kProfiles)], QStringLiteral("%1").arg(index + 1, 3, 10, QLatin1Char('0')),
              std::make_unique<testsupport::TerminalFixture>(), {}, {}, 0, {}, {}};
    auto& params = s.term->params;
    params[QStringLiteral("UTILIZAIMPFIS")] = redemption::temImpressora(s.profile);
    params[QStringLiteral("SISTEMAQVNNFCE")] = redemption::marcaNfce(s.profile);
    params[QStringLiteral("SISTEMAQVNSAT")] = redemption::marcaSat(s.profile);
    params[QStringLiteral("CDCAIXA")] = s.reg;
    params[QStringLiteral("NRSERIEIMP")] = QStringLiteral("BE0") + s.reg;  // each register its own printer
    s.term->writeAll();
    redemption::escreveTiposRecebimento(s.term->dir());
    return s;
}

// Half the hosts are killed; three in four of those inside a confirmation, the others at
// any line; one restart in three is killed too, at any moment of an undisturbed run. Every
// draw is made whatever the earlier ones gave, so that a seed always means the same plan.
KillPlan drawPlan(std::mt19937_64& rng, const Timeline& t)
{
    auto uniform = [&rng](qint64 lo, qint64 hi) { return std::uniform_int_distribution<qint64>(lo, qMax(lo, hi))(rng); };
    const bool killed = uniform(0, 1) == 1;
    const bool inConfirmation = uniform(0, 3) != 0;
    const auto span = t.confirmations.value(int(uniform(0, t.confirmations.size() - 1)), {1, t.lines});
    const int line = int(inConfirmation ? uniform(span.first, span.second) : uniform(1, t.lines));
    const bool restartKilled = uniform(0, 2) == 0;
    const qint64 restartMs = uniform(0, t.ms);
    KillPlan plan;
    if (killed) {
        plan.line = line;
        if (restartKilled)
            plan.restartMs = restartMs;
    }
    return plan;
}

// The confirmations of a host's transcript. The calls of a script line come before its
// own step line; after the last step line, a host killed while F5 was being played was
// inside a confirmation.
QList<Attempt> attemptsOf(const testsupport::Transcript& transcript, bool killed)
{
    QList<Attempt> attempts;
    Attempt current;
    QString lastStep;
    for (const QJsonObject& line : transcript.lines) {
        const QString op = line.value(QStringLiteral("op")).toString();
        if (op == QLatin1String("SetConcluiFechamento"))
            current.sale = line.value(QStringLiteral("result")).toString();
        else if (op == QLatin1String("Mensagem"))
            current.messages << line.value(QStringLiteral("args")).toArray().at(0).toString();
        if (!line.contains(QStringLiteral("step")))
            continue;
        lastStep = line.value(QStringLiteral("step")).toString();
        if (lastStep == QLatin1String("key F5")) {
            current.complete = true;
            attempts << current;
        }
        current = {};
    }
    if (killed && lastStep == QLatin1String("key F4"))
        attempts << current;
    return attempts;
}

// One start of a station's host: its attempts kept, its end checked.
void collect(Station& s, HostProcess& host, bool redeeming)
{
    ++s.starts;
    const testsupport::Transcript t = host.transcript();
    if (redeeming)
        s.attempts = attemptsOf(t, host.killed());
    if (redeeming && host.killed()) {
        s.killedAfter = QStringLiteral("line %1").arg(t.lines.size());
        for (auto it = t.lines.crbegin(); it != t.lines.crend(); ++it)
            if (it->contains(QStringLiteral("op")) || it->contains(QStringLiteral("step"))) {
                s.killedAfter += QStringLiteral(" after ") + it->value(QStringLiteral("op")).toString(it->value(QStringLiteral("step")).toString());
                break;
            }
    }
    for (const QString& line : host.logLines())
        if (line.contains(QStringLiteral("incompleta")) || line.contains(QStringLiteral("cannot")))
            s.findings << QStringLiteral("start %1 logged: %2").arg(s.starts).arg(line);
    // A data service's error shown by MensagemMetodo (its own box, not a Mensagem call):
    // the call answers null for a result that was not.
    for (const QJsonObject& line : t.lines)
        if (line.value(QStringLiteral("op")).toString() == QLatin1String("MensagemMetodo")
            && line.value(QStringLiteral("result")).isNull() && !line.value(QStringLiteral("args")).toArray().at(0).isNull())
            s.findings << QStringLiteral("start %1 showed an error of %2: %3")
                              .arg(s.starts)
                              .arg(line.value(QStringLiteral("args")).toArray().at(3).toString(),
                                   QString::fromUtf8(QJsonDocument(line.value(QStringLiteral("args")).toArray()).toJson(QJsonDocument::Compact)).left(300));
    if (host.killed())
        return;
    if (host.exitCode() != 0)
        s.findings << QStringLiteral("start %1 ended with status %2").arg(s.starts).arg(host.exitCode());
    for (const QJsonObject& line : t.lines)
        if (line.value(QStringLiteral("event")).toString() == QLatin1String("error"))
            s.findings << QStringLiteral("start %1 showed the error: %2")
                              .arg(s.starts)
                              .arg(line.value(QStringLiteral("text")).toString());
}

// ---- what the cashier was told ------------------------------------------------------------

enum class Told { Nothing, Stands, Undone, Other };

Told told(const QStringList& messages)
{
    if (messages.isEmpty())
        return Told::Nothing;
    const QString& m = messages.last();
    if (m.contains(QStringLiteral("foi emitido e a venda")) || m.contains(QStringLiteral("foi emitida e a venda está concluída")))
        return Told::Stands;
    if (m.contains(QStringLiteral("Venda cancelada.")) || m.contains(QStringLiteral("será cancelada pelo sistema"))
        || m.contains(QStringLiteral("O resgate não foi registrado")))
        return Told::Undone;
    return Told::Other;
}

// ---- the shop after every host has ended ----------------------------------------------------

struct Sale {
    QString situation, receipt, counter, cfe, key;
    int gifts = 0;
    double points = 0;
};

// C1's sales by "register/sequence", with their gift rows.
QHash<QString, Sale> salesOfC1(const e2e::Shop& shop)
{
    QHash<QString, Sale> sales;
    for (const QStringList& r : shop.rows(QStringLiteral(
             "SELECT CDCAIXA, NRSEQVENDA, IDSITUVENDA, NRCUPOMFIS, NRCONTCUPOMFISC, NRCFE, DSCHAVEACESSO FROM VENDA "
             "WHERE CDCONSUMIDOR = 'C1'")))
        sales[r[0] + u'/' + r[1]] = Sale{r[2], r[3], r[4], r[5], r[6]};
    for (const QStringList& r : shop.rows(QStringLiteral(
             "SELECT CDCAIXA, NRSEQVENDA, COUNT(*), SUM(VRPONTOBRINDE) FROM ITFIDELIDADE WHERE CDCONSUMIDOR = 'C1' "
             "GROUP BY CDCAIXA, NRSEQVENDA"))) {
        sales[r[0] + u'/' + r[1]].gifts = r[2].toInt();
        sales[r[0] + u'/' + r[1]].points = r[3].toDouble();
    }
    return sales;
}

bool stands(const QHash<QString, Sale>& sales, const QString& key)
{
    return sales.value(key).situation == QLatin1String("O");
}

// The printer's receipts against the register's sales, both ways.
void checkPrinter(Station& s, const QHash<QString, Sale>& sales)
{
    const e2e::PrinterRecord printer = e2e::readPrinter(s.term->dir());
    if (printer.receiptOpen)
        s.findings << QStringLiteral("a receipt left open on the printer");
    QHash<int, e2e::Receipt> byNumber;
    for (const e2e::Receipt& r : printer.receipts)
        byNumber[r.coo] = r;
    for (const e2e::Receipt& r : printer.receipts) {
        if (!r.valid())
            continue;
        QStringList same;  // other registers' concluded sales with these numbers
        bool own = false;
        for (auto it = sales.cbegin(); it != sales.cend(); ++it)
            if (it->situation == QLatin1String("O") && it->receipt.toInt() == r.coo && it->counter.toInt() == r.ccf) {
                own = own || it.key().startsWith(s.reg + u'/');
                same << it.key();
            }
        if (own)
            continue;
        s.findings << QStringLiteral("receipt COO %1 CCF %2 is valid without a concluded sale%3")
                          .arg(r.coo)
                          .arg(r.ccf)
                          .arg(same.isEmpty() ? QString()
                                              : QStringLiteral(" (concluded sales of other registers with its numbers: %1)")
                                                    .arg(same.join(QStringLiteral(", "))));
    }
    for (auto it = sales.cbegin(); it != sales.cend(); ++it) {
        if (!it.key().startsWith(s.reg + u'/') || it->situation != QLatin1String("O") || it->receipt.isEmpty())
            continue;
        const e2e::Receipt r = byNumber.value(it->receipt.toInt());
        if (!r.valid() || r.ccf != it->counter.toInt())
            s.findings << QStringLiteral("sale %1 stands on receipt COO %2, which the printer %3")
                              .arg(it.key(), it->receipt, r.cancelled ? QStringLiteral("cancelled")
                                                                      : QStringLiteral("does not hold as valid"));
    }
}

// The SAT device's CF-es against the register's sales, both ways; an NFC-e sale its key.
void checkDocuments(Station& s, const QHash<QString, Sale>& sales)
{
    QSet<QString> issued;
    if (s.profile == Perfil::Sat)
        for (const e2e::IssuedCfe& c : e2e::readSatMemory(s.term->dir()))
            if (c.cashRegister == s.reg)
                issued << c.cashRegister + u'/' + c.sale;
    for (const QString& key : issued)
        if (!stands(sales, key))
            s.findings << QStringLiteral("the SAT issued a CF-e for sale %1, which is %2")
                              .arg(key, sales.contains(key) ? QStringLiteral("cancelled") : QStringLiteral("missing"));
    for (auto it = sales.cbegin(); it != sales.cend(); ++it) {
        if (!it.key().startsWith(s.reg + u'/') || it->situation != QLatin1String("O"))
            continue;
        if (s.profile == Perfil::Sat && (it->cfe.isEmpty() || !issued.contains(it.key())))
            s.findings << QStringLiteral("sale %1 stands without its CF-e").arg(it.key());
        if (redemption::marcaNfce(s.profile) && it->key.size() != 44)
            s.findings << QStringLiteral("sale %1 stands without an NFC-e key").arg(it.key());
    }
}

// Each confirmation's outcome against what the cashier was told.
void checkMessages(Station& s, const QHash<QString, Sale>& sales)
{
    for (const Attempt& a : s.attempts) {
        const QString key = s.reg + u'/' + a.sale;
        const Told t = told(a.messages);
        if (t == Told::Other)
            s.findings << QStringLiteral("the cashier was told: ") + a.messages.last();
        if (a.complete && t == Told::Nothing && a.sale.isEmpty())
            s.findings << QStringLiteral("a confirmation ended without a word and without a sale");
        else if (a.complete && t == Told::Nothing && !stands(sales, key))
            s.findings << QStringLiteral("a confirmation ended without a word, but its sale %1 does not stand").arg(key);
        if (t == Told::Stands && !stands(sales, key))
            s.findings << QStringLiteral("the cashier was told sale %1 stands; it does not").arg(key);
        if (t == Told::Undone && !a.sale.isEmpty() && stands(sales, key))
            s.findings << QStringLiteral("the cashier was told sale %1 is undone; it stands").arg(key);
    }
}

// ---- one run -------------------------------------------------------------------------------

// What a run did and found: each finding names its terminal.
struct RunReport {
    int killed = 0, killedTwice = 0, concluded = 0, cancelled = 0;
    double balance = -1;
    QStringList kills, findings;
    QString summary() const
    {
        return QStringLiteral("%1 hosts killed (%2 killed again at their restart), %3 sales of C1 concluded, %4 cancelled, "
                              "balance %5; killed: %6")
            .arg(killed).arg(killedTwice).arg(concluded).arg(cancelled).arg(balance).arg(kills.join(QStringLiteral(", ")));
    }
};

// Starts a host on each station with `script` (named `name`), lets `killNow` decide the
// kills, keeps what each start shows; returns the stations whose host was killed.
template <typename KillNow>
std::vector<Station*> startAll(const std::vector<Station*>& stations, const QString& db, const QString& script,
                               const QString& name, KillNow killNow, RunReport& report)
{
    std::vector<std::unique_ptr<HostProcess>> owned;
    std::vector<HostProcess*> hosts;
    for (Station* s : stations) {
        owned.push_back(std::make_unique<HostProcess>(s->term->dir(), db, script, name));
        hosts.push_back(owned.back().get());
    }
    for (size_t i : supervise(hosts, [&](size_t i, HostProcess& h) { return killNow(*stations[i], h); }))
        report.findings << stations[i]->name() + QStringLiteral(": the host hung and was killed");
    std::vector<Station*> killed;
    for (size_t i = 0; i < stations.size(); ++i) {
        collect(*stations[i], *hosts[i], script != kOpenOnly);
        if (hosts[i]->killed())
            killed.push_back(stations[i]);
    }
    return killed;
}

// Sixteen hosts redeem at once, each killed at its planned line; the killed ones start
// again, some of them killed during that start (recovery), and those once more.
void redeemAndRecover(std::vector<Station>& stations, const QString& db, RunReport& report)
{
    std::vector<Station*> all;
    for (Station& s : stations)
        all.push_back(&s);
    std::vector<Station*> again = startAll(all, db, redemptionScript(), QStringLiteral("redeem"), [](const Station& s, HostProcess& h) {
        return s.plan.line && h.transcriptLines() >= *s.plan.line;
    }, report);
    report.killed = int(again.size());
    again = startAll(again, db, kOpenOnly, QStringLiteral("restart1"), [](const Station& s, HostProcess& h) {
        return s.plan.restartMs && h.elapsedMs() >= *s.plan.restartMs;
    }, report);
    report.killedTwice = int(again.size());
    again = startAll(again, db, kOpenOnly, QStringLiteral("restart2"), [](const Station&, HostProcess&) { return false; }, report);
    for (Station* s : again)
        report.findings << s->name() + QStringLiteral(": the host did not end by itself on its last start");
    for (const Station& s : stations)
        if (!s.killedAfter.isEmpty())
            report.kills << s.reg + QStringLiteral(" at ") + s.killedAfter;
}

// What the screen shows of C1's points in CP1 once every host has ended (-1: nothing).
double balanceShown(const Station& station, const QString& db)
{
    HostProcess observer(station.term->dir(), db, kOpenOnly, QStringLiteral("observer"));
    supervise({&observer}, [](size_t, HostProcess&) { return false; });
    const QJsonObject campaigns = observer.transcript().lastState().value(QStringLiteral("cdsCampanha")).toObject();
    return campaigns.isEmpty() ? -1 : testsupport::campaignValue(campaigns, QStringLiteral("CP1"), QStringLiteral("VRRESTANTE"));
}

// Every station's devices and messages, then C1's points: each concluded sale debited
// once and made by a confirmation, the balance shown what the concluded sales leave.
void checkShop(std::vector<Station>& stations, const e2e::Shop& shop, RunReport& report)
{
    const QHash<QString, Sale> sales = salesOfC1(shop);
    QSet<QString> attempted;
    // A host killed inside the close-out may have committed a sale whose number its
    // transcript never got (a call's line is written when it returns): such a
    // confirmation may own one sale of its register that no other one made.
    QHash<QString, int> unnumbered;
    for (Station& s : stations) {
        if (redemption::temImpressora(s.profile))
            checkPrinter(s, sales);
        checkDocuments(s, sales);
        checkMessages(s, sales);
        for (const Attempt& a : s.attempts) {
            if (!a.sale.isEmpty())
                attempted << s.reg + u'/' + a.sale;
            unnumbered[s.reg] += !a.complete && a.sale.isEmpty();
        }
        for (const QString& f : s.findings)
            report.findings << s.name() + QStringLiteral(": ") + f;
    }
    for (auto it = sales.cbegin(); it != sales.cend(); ++it) {
        report.cancelled += it->situation == QLatin1String("C");
        if (it->situation != QLatin1String("O"))
            continue;
        ++report.concluded;
        if (it->gifts != 1 || it->points != kGiftPoints)
            report.findings << QStringLiteral("sale %1 debited %2 points in %3 gift rows").arg(it.key()).arg(it->points).arg(it->gifts);
        if (!attempted.contains(it.key()) && unnumbered[it.key().section(u'/', 0, 0)]-- <= 0)
            report.findings << QStringLiteral("sale %1 stands, and no confirmation made it").arg(it.key());
    }
    const double expected = kFixturePoints + kCredit - report.concluded * kGiftPoints;
    if (report.balance != expected)
        report.findings << QStringLiteral("the screen shows %1 points; initial %2 less %3 concluded sales is %4")
                               .arg(report.balance).arg(kFixturePoints + kCredit).arg(report.concluded).arg(expected);
    if (const QString pending = shop.value(QStringLiteral("SELECT COUNT(*) FROM VENDAPENDENTE")); pending != QLatin1String("0"))
        report.findings << QStringLiteral("%1 pending marks left").arg(pending);
}

class SixteenTerminals : public ::testing::TestWithParam<bool> {
protected:
    bool postgres() const { return GetParam(); }
    const char* backend() const { return postgres() ? "PostgreSQL" : "SQLite"; }
    RunReport run(quint64 seed) const;
};

RunReport SixteenTerminals::run(quint64 seed) const
{
    std::vector<Station> stations;
    for (int i = 0; i < kTerminals; ++i)
        stations.push_back(makeStation(i));
    e2e::Shop shop(*stations[0].term, postgres());
    shop.exec(QStringLiteral("INSERT INTO MOVPONTOCONS (CDCLIENTE, CDCONSUMIDOR, CDCAMPANHA, IDTPMOVCONS, VRSALDOCONS) "
                             "VALUES ('001', 'C1', 'CP1', 'C', %1)").arg(kCredit));
    std::mt19937_64 rng(seed);
    for (Station& s : stations)
        s.plan = drawPlan(rng, timeline(s.profile));
    RunReport report;
    redeemAndRecover(stations, shop.connectionString(), report);
    report.balance = balanceShown(stations[0], shop.connectionString());
    checkShop(stations, shop, report);
    return report;
}

TEST_P(SixteenTerminals, OneConsumerWithCrashes)
{
    if (postgres() && !e2e::postgresConfigured())
        GTEST_SKIP() << "VAK_PG_CONNSTR not set";
    const int runs = runsWanted();
    const quint64 seed = firstSeed();
    int failedRuns = 0;
    for (int i = 0; i < runs; ++i) {
        const quint64 runSeed = seed + quint64(i);
        const RunReport report = run(runSeed);
        const QStringList& findings = report.findings;
        std::printf("[ stress ] %s run %d/%d, seed %llu: %s; %lld findings\n", backend(), i + 1, runs,
                    static_cast<unsigned long long>(runSeed), qPrintable(report.summary()), static_cast<long long>(findings.size()));
        std::fflush(stdout);
        failedRuns += !findings.isEmpty();
        EXPECT_TRUE(findings.isEmpty()) << backend() << ", seed " << runSeed << " (replay: VAK_STRESS_SEED=" << runSeed
                                        << " VAK_STRESS_RUNS=1):\n  " << findings.join(QStringLiteral("\n  ")).toStdString();
    }
    std::printf("[ stress ] %s: %d of %d runs with findings\n", backend(), failedRuns, runs);
}

INSTANTIATE_TEST_SUITE_P(Backends, SixteenTerminals, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "PostgreSQL" : "SQLite"; });

}  // namespace
