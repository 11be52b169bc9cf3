// The consumer list at a chain's scale (1,000,000 consumers), without the whole chain: the
// data service's list loaded into a client dataset against the raw driver's plain fetch of
// the whole result in the same run, and the search list typed into over that list.
//
//   BM_ListaConsumidores  GetConsumidor loaded into a dataset (iteration time; packet_ms of it
//                         to the packet, load_ms of it to load the packet), the same
//                         statement through the raw driver (raw_ms, ratio; processor times
//                         cpu_ms, raw_cpu_ms, cpu_ratio), the packet's size (packet_mb), what
//                         the loaded dataset holds beyond the process before it (held_mb),
//                         every thread's processor time of the list (all_cpu_ms, all_cpu_ratio);
//   BM_Digita             a name typed into a fresh search list over the loaded list: the
//                         first keystroke (first_ms) and the slowest one (max_ms, also the
//                         iteration time), with their processor times (first_cpu_ms,
//                         max_cpu_ms: what the keystroke cost, whatever else the machine
//                         runs), the list's opening included in none (open_ms: the
//                         opening, its texts' folding included; search_mb: what the open
//                         list holds beyond the process before it).
//                         VAK_BENCH_KEYSTROKES set: a table of each keystroke's times.
// Each reports its row count (rows) and the process's peak resident memory (peak_mb).
//
// The list comes from the PostgreSQL database VAK_BENCH_PG names (bench/chain.sh: the
// chain; bench/consumers.sh: the chain's consumers, written there when it has none), else
// from the SQLite file VAK_BENCH_CONSUMERS, else from
// ~/.cache/vak/chain-consumers.db, generated on first use: the chain's branches, clients and
// consumers only (shopgen's writeChainConsumers; a minute or so with a release build).

#include "bench/AgainstRaw.h"
#include "bench/GuiApplication.h"
#include "bench/Keyboard.h"
#include "bench/LargeShop.h"
#include "host/hostkit/HostHooks.h"
#include "host/possvc/screen/SearchDialog.h"
#include "host/possvc/screen/SearchModel.h"
#include "hostapi/hostkit.h"
#include "platform/dataset/ClientDataSet.h"
#include "platform/db/ConnectionString.h"
#include "server/FidelidadeSql.h"
#include "server/Srv_Vak04100.h"
#include "tools/shopgen/Generator.h"
#include "tools/shopgen/PgCopySink.h"

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>

#include <benchmark/benchmark.h>
#include <libpq-fe.h>
#include <sqlite3.h>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

QString benchPg() { return qEnvironmentVariable("VAK_BENCH_PG"); }

QString consumersFile() { return bench::cachedFile("VAK_BENCH_CONSUMERS", QStringLiteral("chain-consumers.db")); }

void ensureConsumers()
{
    const QString file = consumersFile();
    if (QFile::exists(file))
        return;
    std::fprintf(stderr, "generating the chain's consumers in %s\n", qPrintable(file));
    const QString partial = file + QStringLiteral(".new");
    QFile::remove(partial);
    {
        const auto sink = shopgen::sqliteSink(partial);
        shopgen::createTables(*sink, QStringLiteral("sqlite"), false);
        shopgen::writeChainConsumers(*sink, shopgen::ShopOptions{});
        shopgen::createIndexes(*sink, QStringLiteral("sqlite"));
        sink->finish();
    }
    QFile::rename(partial, file);  // a run stopped halfway leaves no half-made list behind
}

// The chain's consumers written into the PostgreSQL database VAK_BENCH_PG names when it
// has none yet (bench/consumers.sh: a private server's empty database).
void ensurePgConsumers()
{
    const auto sink = shopgen::pgCopySink(platform::db::parseConnectionString(benchPg()));
    if (sink->existingTables().contains(QStringLiteral("CONSUMIDOR"), Qt::CaseInsensitive))
        return;
    std::fprintf(stderr, "generating the chain's consumers in PostgreSQL\n");
    shopgen::createTables(*sink, QStringLiteral("postgresql"), false);
    shopgen::writeChainConsumers(*sink, shopgen::ShopOptions{});
    shopgen::createIndexes(*sink, QStringLiteral("postgresql"));
    sink->finish();
}

QString connectionString()
{
    if (!benchPg().isEmpty()) {
        ensurePgConsumers();
        return benchPg();
    }
    ensureConsumers();
    return QStringLiteral("Provider=SQLite;Data Source=") + consumersFile();
}

double msSince(Clock::time_point t0) { return std::chrono::duration<double, std::milli>(Clock::now() - t0).count(); }

// Every thread's processor time: the list's read may write its packet on a second thread,
// which the thread's own time (cpu_ms) leaves out.
double processCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

double peakMb()
{
    rusage use{};
    getrusage(RUSAGE_SELF, &use);
    return double(use.ru_maxrss) / 1024.0;
}

double residentMb()
{
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// The raw driver's plain fetch of the whole result: every value of every row read.
int rawSqlite(const QString& sql)
{
    static sqlite3* db = [] {
        sqlite3* handle = nullptr;
        if (sqlite3_open_v2(consumersFile().toUtf8().constData(), &handle, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
            std::abort();
        return handle;
    }();
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &st, nullptr) != SQLITE_OK)
        std::abort();
    int rows = 0;
    while (sqlite3_step(st) == SQLITE_ROW) {
        for (int c = 0; c < sqlite3_column_count(st); ++c)
            benchmark::DoNotOptimize(sqlite3_column_text(st, c));
        ++rows;
    }
    sqlite3_finalize(st);
    return rows;
}

int rawPg(const QString& sql)
{
    static PGconn* conn = [] {
        const platform::db::ConnectionTarget t = platform::db::parseConnectionString(benchPg());
        using platform::db::libpqQuoted;
        const QByteArray info = QStringLiteral("host=%1 port=%2 dbname=%3 user=%4 password=%5")
                                    .arg(libpqQuoted(t.host), libpqQuoted(QString::number(t.port > 0 ? t.port : 5432)),
                                         libpqQuoted(t.databaseName), libpqQuoted(t.user), libpqQuoted(t.password))
                                    .toUtf8();
        PGconn* c = PQconnectdb(info.constData());
        if (PQstatus(c) != CONNECTION_OK)
            std::abort();
        PQclear(PQexec(c, "SET jit = off"));  // as every connection of the system
        return c;
    }();
    PGresult* r = PQexec(conn, sql.toUtf8().constData());
    if (PQresultStatus(r) != PGRES_TUPLES_OK)
        std::abort();
    const int rows = PQntuples(r), columns = PQnfields(r);
    for (int i = 0; i < rows; ++i)
        for (int c = 0; c < columns; ++c)
            benchmark::DoNotOptimize(PQgetvalue(r, i, c));
    PQclear(r);
    return rows;
}

int raw(const QString& sql) { return benchPg().isEmpty() ? rawSqlite(sql) : rawPg(sql); }

void openModule()
{
    static const bool opened = [] {
        hostkit::setStringConexQvn(connectionString());
        Srv_Vak04100::rdmFidelidade = new Srv_Vak04100::TrdmFidelidade;
        Srv_Vak04100::rdmFidelidade->adcFidelidade->open();
        return true;
    }();
    (void)opened;
}

void BM_ListaConsumidores(benchmark::State& state)
{
    openModule();
    bench::AgainstRaw figures;
    double packetMb = 0, heldMb = 0, packetMs = 0, loadMs = 0, allCpu = 0;
    for (auto _ : state) {
        auto cds = std::make_unique<platform::ClientDataSet>();
        const double before = residentMb();
        const double p0 = processCpuSeconds();
        const bench::Lap serviceLap;
        {
            const QVariant packet = Srv_Vak04100::GetConsumidor();
            packetMs += 1000.0 * serviceLap.seconds();
            packetMb = double(packet.toByteArray().size()) / (1024.0 * 1024.0);
            const bench::Lap loadLap;
            cds->setData(packet);
            loadMs += 1000.0 * loadLap.seconds();
        }
        figures.addService(state, serviceLap, cds->recordCount());
        allCpu += processCpuSeconds() - p0;
        heldMb = residentMb() - before;
        cds.reset();
        const bench::Lap rawLap;
        const int rawRows = raw(Srv_Vak04100::sql::consumidor);
        figures.addRaw(state, rawLap, rawRows);
    }
    figures.report(state);
    state.counters["packet_mb"] = packetMb;
    state.counters["packet_ms"] = packetMs / double(state.iterations());
    state.counters["load_ms"] = loadMs / double(state.iterations());
    state.counters["all_cpu_ms"] = 1000.0 * allCpu / double(state.iterations());
    state.counters["all_cpu_ratio"] = figures.rawCpu > 0 ? allCpu / figures.rawCpu : 0;
    state.counters["held_mb"] = heldMb;
    state.counters["peak_mb"] = peakMb();
}

// The list the search list runs over, loaded once as the screen loads it.
platform::ClientDataSet& consumidores()
{
    static platform::ClientDataSet* cds = [] {
        openModule();
        auto* dataSet = new platform::ClientDataSet;
        dataSet->setData(Srv_Vak04100::GetConsumidor());
        if (dataSet->recordCount() == 0)
            std::abort();
        // As the screen shows the list: the CPF and the address are not shown, nor searched.
        for (const char* hidden : {"NRCPFRESPCON", "DSENDECONS"})
            dataSet->fieldByName(QString::fromLatin1(hidden)).setVisible(false);
        return dataSet;
    }();
    return *cds;
}

// Per keystroke of BM_Digita, summed over the iterations: printed when VAK_BENCH_KEYSTROKES
// is set, to tell which keys are slow.
struct Keystroke {
    QString text;  // the filter line after the key
    int shown = 0;
    double ms = 0, cpuMs = 0, slowestMs = 0, slowestCpuMs = 0;
};

void printKeystrokes(const std::vector<Keystroke>& keys, double iterations)
{
    std::fprintf(stderr, "%-14s %8s %9s %9s %9s %9s\n", "filter", "rows", "mean_ms", "mean_cpu", "max_ms", "max_cpu");
    for (const Keystroke& k : keys)
        std::fprintf(stderr, "%-14s %8d %9.2f %9.2f %9.2f %9.2f\n", qPrintable(u'"' + k.text + u'"'), k.shown,
                     k.ms / iterations, k.cpuMs / iterations, k.slowestMs, k.slowestCpuMs);
}

// Typing a name and deleting it again, a key at a time, in a fresh list each iteration.
void BM_Digita(benchmark::State& state)
{
    const QString nome = QStringLiteral("maria silva");
    consumidores();
    double first = 0, slowest = 0, firstCpu = 0, slowestCpu = 0, opening = 0, searchMb = 0;
    int shown = 0;
    std::vector<Keystroke> keys(size_t(2 * nome.size()));
    for (auto _ : state) {
        const double before = residentMb();
        const auto opened = Clock::now();
        possvc::sim::SearchDialog dialog(&consumidores(), possvc::sim::SearchColours{});
        dialog.show();
        QCoreApplication::processEvents();
        opening += msSince(opened);
        searchMb = std::max(searchMb, residentMb() - before);
        double worst = 0;
        for (int i = 0; i < 2 * nome.size(); ++i) {
            const auto t0 = Clock::now();
            const double c0 = bench::threadCpuSeconds();
            if (i < nome.size())
                bench::typeKey(dialog.filterEdit(), nome.at(i));
            else
                bench::eraseKey(dialog.filterEdit());
            const double ms = msSince(t0);
            const double cpuMs = 1000.0 * (bench::threadCpuSeconds() - c0);
            if (i == 0) {
                first += ms;
                firstCpu += cpuMs;
            }
            slowestCpu = std::max(slowestCpu, cpuMs);
            if (i == nome.size() - 1)
                shown = dialog.model()->rowCount();
            worst = std::max(worst, ms);
            Keystroke& k = keys[size_t(i)];
            k.text = dialog.filterEdit()->text();
            k.shown = dialog.model()->rowCount();
            k.ms += ms;
            k.cpuMs += cpuMs;
            k.slowestMs = std::max(k.slowestMs, ms);
            k.slowestCpuMs = std::max(k.slowestCpuMs, cpuMs);
        }
        if (!dialog.filterEdit()->text().isEmpty())
            std::abort();  // the keys did not reach the filter line
        slowest = std::max(slowest, worst);
        state.SetIterationTime(worst / 1000.0);
    }
    state.counters["rows"] = consumidores().recordCount();
    state.counters["rows_found"] = shown;
    state.counters["first_ms"] = first / double(state.iterations());
    state.counters["max_ms"] = slowest;
    state.counters["open_ms"] = opening / double(state.iterations());
    state.counters["search_mb"] = searchMb;
    state.counters["first_cpu_ms"] = firstCpu / double(state.iterations());
    state.counters["max_cpu_ms"] = slowestCpu;
    state.counters["peak_mb"] = peakMb();
    if (qEnvironmentVariableIsSet("VAK_BENCH_KEYSTROKES"))
        printKeystrokes(keys, double(state.iterations()));
}

BENCHMARK(BM_ListaConsumidores)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Digita)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    return bench::runWithGuiApplication(argc, argv);
}
