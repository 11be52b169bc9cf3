// The loyalty data service on the large shop, end to end (bind, query, packet, loaded
// client dataset), against the same SQL stepped through the raw SQLite C API in the same
// run. Each benchmark reports the data service's time per call and, as counters, the raw
// engine's time (raw_ms) and the ratio of the two.
//
// The shop is the one of bench/LargeShop.h (VAK_BENCH_SHOP, or generated on first use).

#include "hostapi/hostkit.h"
#include "platform/dataset/ClientDataSet.h"
#include "server/FidelidadeSql.h"
#include "server/Srv_Vak04100.h"
#include "bench/LargeShop.h"

#include <QCoreApplication>
#include <QDate>
#include <QFile>
#include <QRegularExpression>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <chrono>
#include <ctime>
#include <cstdio>
#include <functional>

using namespace Srv_Vak04100;

namespace {

// The raw engine: prepare the text (named parameters as SQLite understands them), bind,
// step every row reading every column, finalize.
class Raw {
public:
    Raw()
    {
        bench::ensureLargeShop();  // the raw side may be the first to need it
        if (sqlite3_open_v2(bench::largeShopFile().toUtf8().constData(), &db_, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
            std::abort();
    }
    ~Raw() { sqlite3_close(db_); }

    int run(const QString& sql, const std::function<void(sqlite3_stmt*)>& bind)
    {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db_, sql.toUtf8().constData(), -1, &st, nullptr) != SQLITE_OK)
            std::abort();
        bind(st);
        int rows = 0;
        while (sqlite3_step(st) == SQLITE_ROW) {
            for (int c = 0; c < sqlite3_column_count(st); ++c) {
                if (sqlite3_column_type(st, c) == SQLITE_TEXT)
                    benchmark::DoNotOptimize(sqlite3_column_text(st, c));
                else
                    benchmark::DoNotOptimize(sqlite3_column_double(st, c));
            }
            ++rows;
        }
        sqlite3_finalize(st);
        return rows;
    }

private:
    sqlite3* db_ = nullptr;
};

void bindText(sqlite3_stmt* st, const char* name, const QByteArray& value)
{
    sqlite3_bind_text(st, sqlite3_bind_parameter_index(st, name), value.constData(), int(value.size()), SQLITE_TRANSIENT);
}

struct Module {
    Module()
    {
        bench::ensureLargeShop();
        hostkit::setStringConexQvn(QStringLiteral("Provider=SQLite;Data Source=") + bench::largeShopFile());
        rdmFidelidade = new TrdmFidelidade;
        rdmFidelidade->adcFidelidade->open();
    }
    ~Module()
    {
        delete rdmFidelidade;
        rdmFidelidade = nullptr;
    }
};

// The calling thread's processor time in seconds: on a machine shared with other work it
// still measures what each side costs, where the elapsed time also counts the waits for a
// processor.
double threadSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// Times `service` (loaded into a client dataset) and `raw` alternately: elapsed time
// (the iteration time, raw_ms, ratio) and processor time (cpu_ms, raw_cpu_ms, cpu_ratio).
void compare(benchmark::State& state, const std::function<QVariant()>& service, const std::function<int()>& raw)
{
    static Module module;
    using clock = std::chrono::steady_clock;
    platform::ClientDataSet cds;
    double serviceSeconds = 0, rawSeconds = 0, serviceCpu = 0, rawCpu = 0;
    int rows = 0;
    for (auto _ : state) {
        const double c0 = threadSeconds();
        const auto t0 = clock::now();
        cds.setData(service());
        rows = cds.recordCount();
        const auto t1 = clock::now();
        const double c1 = threadSeconds();
        const int rawRows = raw();
        const auto t2 = clock::now();
        const double c2 = threadSeconds();
        if (rawRows != rows)
            state.SkipWithError("the data service and the raw engine disagree on the row count");
        const double s = std::chrono::duration<double>(t1 - t0).count();
        serviceSeconds += s;
        rawSeconds += std::chrono::duration<double>(t2 - t1).count();
        serviceCpu += c1 - c0;
        rawCpu += c2 - c1;
        state.SetIterationTime(s);
    }
    const double n = double(state.iterations());
    state.counters["rows"] = rows;
    state.counters["raw_ms"] = 1000.0 * rawSeconds / n;
    state.counters["ratio"] = rawSeconds > 0 ? serviceSeconds / rawSeconds : 0;
    state.counters["cpu_ms"] = 1000.0 * serviceCpu / n;
    state.counters["raw_cpu_ms"] = 1000.0 * rawCpu / n;
    state.counters["cpu_ratio"] = rawCpu > 0 ? serviceCpu / rawCpu : 0;
}

void BM_GetSaldoConsCamp(benchmark::State& state)
{
    static Raw raw;
    const QByteArray hoje = QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd 00:00:00")).toUtf8();
    compare(state, [] { return GetSaldoConsCamp(QStringLiteral("000001"), QStringLiteral("00000000001")); },
            [&] {
                return raw.run(sql::saldoConsCampAnsi, [&](sqlite3_stmt* st) {
                    bindText(st, ":P_CDCLIENTE", "000001");
                    bindText(st, ":P_CDCONSUMIDOR", "00000000001");
                    bindText(st, ":P_DATAHOJE", hoje);
                });
            });
}

void BM_GetBrinde(benchmark::State& state)
{
    static Raw raw;
    compare(state, [] { return GetBrinde(QStringLiteral("CAMP01"), QStringLiteral("0001")); },
            [&] {
                return raw.run(sql::brindeAnsi, [](sqlite3_stmt* st) {
                    bindText(st, ":P_CDCAMPANHA", "CAMP01");
                    bindText(st, ":P_CDFILIAL", "0001");
                    bindText(st, ":P_FIMARVPROD", "\xF4\x8F\xBF\xBF");
                });
            });
}

void BM_GetConsumidor(benchmark::State& state)
{
    static Raw raw;
    compare(state, [] { return GetConsumidor(); }, [&] { return raw.run(sql::consumidor, [](sqlite3_stmt*) {}); });
}

BENCHMARK(BM_GetSaldoConsCamp)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GetBrinde)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GetConsumidor)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
