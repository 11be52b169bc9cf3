// Opening the redemption screen on a large shop: from the call of the entry to the first
// paint of the screen.
//
//   BM_Abre_ComConsumidor   the host names a consumer: the campaign balances are loaded;
//   BM_Abre_SemConsumidor   no consumer: the whole consumer list (100,000 in the large shop,
//                           1,000,000 in the chain) is loaded.
// Each iteration closes the screen again (not timed). "cpu_ms" is the thread's processor
// time to the first paint; "peak_rss_mb" is the process's peak resident memory so far.
//
// The shop is the PostgreSQL database VAK_BENCH_PG names (a connection string), else the
// SQLite file VAK_BENCH_SHOP, or ~/.cache/vak/large-shop.db, generated on first use
// (shopgen --size large; a few minutes). bench/chain.sh runs it on the chain. The terminal
// is written by shopgen's terminal command (fiscal profile) pointing at the shop. The
// consumer named is consumer 1 of client 1, who has the most point movements (1,000) in
// both large shops: the heaviest balance query.

#include "bench/GuiApplication.h"
#include "client/Cli_Vak04100.h"
#include "host/fiscaldev/SimPrinter.h"
#include "host/hostkit/HostHooks.h"
#include "host/possvc/sale/SaleServices.h"
#include "host/possvc/screen/ScreenOps.h"
#include "platform/ui/ErrorDisplay.h"
#include "tools/shopgen/Generator.h"
#include "tools/shopgen/TerminalCommand.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include "bench/LargeShop.h"
#include "platform/system/ProgramDirectory.h"

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <cstdio>
#include <ctime>

namespace {

void semErro(const QString& texto, void*)
{
    std::fprintf(stderr, "error shown: %s\n", qPrintable(texto));
}

// The thread's processor time in ms: on a machine shared with other work it still
// measures what the opening costs, where the elapsed time also counts waits for a processor.
double cpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// Notes the first paint of the screen (elapsed and processor time) and closes it right after.
class Pintura : public QObject {
public:
    QElapsedTimer relogio;
    qint64 ns = -1;
    double cpuInicio = 0, cpu = -1;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && ns < 0 && watched->objectName() == QLatin1String("frmFidelidade")) {
            ns = relogio.nsecsElapsed();
            cpu = cpuMs() - cpuInicio;
            QTimer::singleShot(0, [] {
                if (frmFidelidade)
                    frmFidelidade->close();
            });
        }
        return false;
    }
};

struct Bancada {
    QTemporaryDir dir;
    QString consumidor = QStringLiteral("00000000001"), cliente = QStringLiteral("000001");

    Bancada()
    {
        bench::ensureGuiApplication();
        QString conexao = qEnvironmentVariable("VAK_BENCH_PG");
        if (conexao.isEmpty()) {
            bench::ensureLargeShop();
            conexao = QStringLiteral("Provider=SQLite;Data Source=") + bench::largeShopFile();
        }
        shopgen::TerminalOptions o;
        o.dir = dir.path();
        o.profile = QStringLiteral("fiscal");
        shopgen::writeTerminal(o);
        platform::setProgramDirectory(dir.path());
        hostkit::setStringConexQvn(conexao);
        hostkit::setScriptedMessages(true);
        possvc::sim::installScreenOps();
        possvc::sim::setScripted(true);
        platform::ui::setErrorDisplay(&semErro);
    }
};

Bancada& bancada()
{
    static Bancada b;
    return b;
}

void abre(benchmark::State& state, bool comConsumidor)
{
    Bancada& b = bancada();
    double cpu = 0;
    for (auto _ : state) {
        Pintura pintura;
        qApp->installEventFilter(&pintura);
        pintura.relogio.start();
        pintura.cpuInicio = cpuMs();
        Cli_Vak04100::CriaFidelidadeQt(comConsumidor ? b.consumidor : QString(), QStringLiteral("Consumidor"), {}, {},
                                       comConsumidor ? b.cliente : QString());
        qApp->removeEventFilter(&pintura);
        if (pintura.ns < 0) {
            state.SkipWithError("the screen was not painted (did the opening fail?)");
            break;
        }
        state.SetIterationTime(pintura.ns / 1e9);
        cpu += pintura.cpu;
    }
    state.counters["cpu_ms"] = cpu / double(state.iterations());
    rusage uso{};
    getrusage(RUSAGE_SELF, &uso);
    state.counters["peak_rss_mb"] = uso.ru_maxrss / 1024.0;
}

void BM_Abre_ComConsumidor(benchmark::State& state) { abre(state, true); }
void BM_Abre_SemConsumidor(benchmark::State& state) { abre(state, false); }

}  // namespace

BENCHMARK(BM_Abre_ComConsumidor)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_Abre_SemConsumidor)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

BENCHMARK_MAIN();
