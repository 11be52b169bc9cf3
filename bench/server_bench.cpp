// The loyalty data service on a large shop, end to end (bind, query, packet, loaded
// client dataset), against the same SQL through the raw driver in the same run: the
// SQLite C API, or libpq when VAK_BENCH_PG names a PostgreSQL database holding a large
// shop (shopgen --db ... --size large or chain; bench/chain.sh runs both on the chain).
// Each benchmark reports the data service's time per call and, as counters, the raw
// engine's time (raw_ms) and the ratio of the two.
//
// The SQLite shop is the one of bench/LargeShop.h (VAK_BENCH_SHOP, or generated on first use).

#include "bench/AgainstRaw.h"
#include "host/hostkit/HostHooks.h"
#include "hostapi/hostkit.h"
#include "platform/db/ConnectionString.h"
#include "platform/dataset/ClientDataSet.h"
#include "server/FidelidadeSql.h"
#include "server/Srv_Vak04100.h"
#include "bench/LargeShop.h"

#include <QCoreApplication>
#include <QDate>
#include <QFile>
#include <QRegularExpression>
#include <QSet>

#include <benchmark/benchmark.h>
#include <libpq-fe.h>
#include <sqlite3.h>

#include <ctime>
#include <cstdio>
#include <functional>

using namespace Srv_Vak04100;

namespace {

using Params = QList<QPair<QByteArray, QByteArray>>;  // name (with its colon), text value

// The database the benchmarks run on: VAK_BENCH_PG (a connection string to a PostgreSQL
// database holding the large shop) when set, else the SQLite large shop.
QString benchPg() { return qEnvironmentVariable("VAK_BENCH_PG"); }

// The raw engine on SQLite: prepare the text (named parameters as SQLite understands
// them), bind, step every row reading every column, finalize.
class RawSqlite {
public:
    RawSqlite()
    {
        bench::ensureLargeShop();  // the raw side may be the first to need it
        if (sqlite3_open_v2(bench::largeShopFile().toUtf8().constData(), &db_, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
            std::abort();
    }
    ~RawSqlite() { sqlite3_close(db_); }

    int run(const QString& sql, const Params& params, QByteArray* first)
    {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db_, sql.toUtf8().constData(), -1, &st, nullptr) != SQLITE_OK)
            std::abort();
        for (const auto& [name, value] : params)
            sqlite3_bind_text(st, sqlite3_bind_parameter_index(st, name.constData()), value.constData(),
                              int(value.size()), SQLITE_TRANSIENT);
        int rows = 0;
        while (sqlite3_step(st) == SQLITE_ROW) {
            if (first && rows == 0)
                *first = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
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

// The raw engine on PostgreSQL: libpq, the text prepared once on the server with $n
// markers, executed with text parameters, every value of every row read.
class RawPg {
public:
    RawPg()
    {
        const platform::db::ConnectionTarget t = platform::db::parseConnectionString(benchPg());
        // Each value quoted by libpq's rules: a blank or a quote in one adds no keyword.
        using platform::db::libpqQuoted;
        const QByteArray info = QStringLiteral("host=%1 port=%2 dbname=%3 user=%4 password=%5")
                                    .arg(libpqQuoted(t.host), libpqQuoted(QString::number(t.port > 0 ? t.port : 5432)),
                                         libpqQuoted(t.databaseName), libpqQuoted(t.user), libpqQuoted(t.password))
                                    .toUtf8();
        conn_ = PQconnectdb(info.constData());
        if (PQstatus(conn_) != CONNECTION_OK)
            std::abort();
        PQclear(PQexec(conn_, "SET jit = off"));  // as every connection of the system
    }
    ~RawPg() { PQfinish(conn_); }

    int run(const QString& sql, const Params& params, QByteArray* first)
    {
        QString text = sql;
        for (int i = 0; i < params.size(); ++i)
            text.replace(QString::fromLatin1(params[i].first), QStringLiteral("$%1").arg(i + 1));
        const QByteArray name = "raw" + QByteArray::number(qHash(text));
        if (!prepared_.contains(name)) {
            PGresult* r = PQprepare(conn_, name.constData(), text.toUtf8().constData(), int(params.size()), nullptr);
            if (PQresultStatus(r) != PGRES_COMMAND_OK)
                std::abort();
            PQclear(r);
            prepared_.insert(name);
        }
        std::vector<const char*> values;
        for (const auto& p : params)
            values.push_back(p.second.constData());
        PGresult* r = PQexecPrepared(conn_, name.constData(), int(values.size()), values.data(), nullptr, nullptr, 0);
        if (PQresultStatus(r) != PGRES_TUPLES_OK)
            std::abort();
        const int rows = PQntuples(r), columns = PQnfields(r);
        if (first && rows > 0)
            *first = PQgetvalue(r, 0, 0);
        for (int i = 0; i < rows; ++i)
            for (int c = 0; c < columns; ++c)
                benchmark::DoNotOptimize(PQgetvalue(r, i, c));
        PQclear(r);
        return rows;
    }

private:
    PGconn* conn_ = nullptr;
    QSet<QByteArray> prepared_;
};

// The same SQL through the raw driver of the benchmarks' database; `first`, when given,
// receives the first row's first value.
int runRaw(const QString& sql, const Params& params, QByteArray* first = nullptr)
{
    if (!benchPg().isEmpty()) {
        static RawPg pg;
        return pg.run(sql, params, first);
    }
    static RawSqlite lite;
    return lite.run(sql, params, first);
}

// The first campaign of the shop: "CAMP01" in the large shop, "CAMP001" in the chain.
QString firstCampaign()
{
    static const QString code = [] {
        QByteArray first;
        runRaw(QStringLiteral("SELECT MIN(CDCAMPANHA) FROM CAMPANHA"), {}, &first);
        return QString::fromUtf8(first);
    }();
    return code;
}

struct Module {
    Module()
    {
        QString target = benchPg();
        if (target.isEmpty()) {
            bench::ensureLargeShop();
            target = QStringLiteral("Provider=SQLite;Data Source=") + bench::largeShopFile();
        }
        hostkit::setStringConexQvn(target);
        rdmFidelidade = new TrdmFidelidade;
        rdmFidelidade->adcFidelidade->open();
    }
    ~Module()
    {
        delete rdmFidelidade;
        rdmFidelidade = nullptr;
    }
};

// Times `service` (loaded into a client dataset) and `raw` alternately: elapsed time
// (the iteration time, raw_ms, ratio) and processor time (cpu_ms, raw_cpu_ms, cpu_ratio).
void compare(benchmark::State& state, const std::function<QVariant()>& service, const std::function<int()>& raw)
{
    static Module module;
    platform::ClientDataSet cds;
    bench::AgainstRaw figures;
    for (auto _ : state) {
        const bench::Lap serviceLap;
        cds.setData(service());
        figures.addService(state, serviceLap, cds.recordCount());
        const bench::Lap rawLap;
        const int rawRows = raw();
        figures.addRaw(state, rawLap, rawRows);
    }
    figures.report(state);
}

void BM_GetSaldoConsCamp(benchmark::State& state)
{
    const QByteArray hoje = QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd 00:00:00")).toUtf8();
    compare(state, [] { return GetSaldoConsCamp(QStringLiteral("000001"), QStringLiteral("00000000001")); },
            [&] {
                return runRaw(sql::saldoConsCampAnsi,
                              {{":P_CDCLIENTE", "000001"}, {":P_CDCONSUMIDOR", "00000000001"}, {":P_DATAHOJE", hoje}});
            });
}

void BM_GetBrinde(benchmark::State& state)
{
    const QString campanha = firstCampaign();
    compare(state, [&] { return GetBrinde(campanha, QStringLiteral("0001")); },
            [&] {
                return runRaw(sql::brindeAnsi, {{":P_CDCAMPANHA", campanha.toUtf8()},
                                                {":P_CDFILIAL", "0001"},
                                                {":P_FIMARVPROD", "\xF4\x8F\xBF\xBF"}});
            });
}

void BM_GetConsumidor(benchmark::State& state)
{
    compare(state, [] { return GetConsumidor(); }, [&] { return runRaw(sql::consumidor, {}); });
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
