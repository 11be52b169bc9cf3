// The search list over the large shop's consumers (100,000), as the redemption screen
// opens it: opening the list (construction to the first paint processed), and each
// keystroke of a typed name, the first one typed as soon as the list shows: the key's
// press and release as the filter line receives them, the filter, the view's update and
// every event they leave (the repaint included).
//
//   BM_AbreLista   time to open the list;
//   BM_Digita      per iteration the name is typed into a fresh list; the iteration time
//                  is the slowest keystroke, and the counters give, over every keystroke
//                  of every iteration, the first keystroke (mean), the median (p50) and the
//                  slowest (max), in ms, elapsed and processor time.
//
// The shop is the one of bench/LargeShop.h (VAK_BENCH_SHOP, or generated on first use).

#include "bench/GuiApplication.h"
#include "bench/Keyboard.h"
#include "bench/LargeShop.h"
#include "host/hostkit/HostHooks.h"
#include "host/possvc/screen/SearchDialog.h"
#include "host/possvc/screen/SearchModel.h"
#include "hostapi/hostkit.h"
#include "platform/dataset/ClientDataSet.h"
#include "server/Srv_Vak04100.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <memory>
#include <vector>

using possvc::sim::SearchColours;
using possvc::sim::SearchDialog;

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point t0)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

// The thread's processor time in ms: on a machine shared with other work it still
// measures what the list costs, where the elapsed time also counts waits for a processor.
double cpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// The consumer list, loaded once through the data service as the screen loads it.
platform::ClientDataSet& consumidores()
{
    static platform::ClientDataSet* cds = [] {
        bench::ensureLargeShop();
        hostkit::setStringConexQvn(QStringLiteral("Provider=SQLite;Data Source=") + bench::largeShopFile());
        Srv_Vak04100::rdmFidelidade = new Srv_Vak04100::TrdmFidelidade;
        Srv_Vak04100::rdmFidelidade->adcFidelidade->open();
        auto* dataSet = new platform::ClientDataSet;
        dataSet->setData(Srv_Vak04100::GetConsumidor());
        if (dataSet->recordCount() == 0)
            std::abort();
        return dataSet;
    }();
    return *cds;
}

std::unique_ptr<SearchDialog> abre()
{
    auto dialog = std::make_unique<SearchDialog>(&consumidores(), SearchColours{});
    dialog->show();
    QCoreApplication::processEvents();
    return dialog;
}

void BM_AbreLista(benchmark::State& state)
{
    consumidores();
    double cpu = 0;
    for (auto _ : state) {
        const double c0 = cpuMs();
        const auto t0 = Clock::now();
        auto dialog = abre();
        state.SetIterationTime(msSince(t0) / 1000.0);
        cpu += cpuMs() - c0;
        state.PauseTiming();
        dialog.reset();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    state.counters["rows"] = consumidores().recordCount();
    state.counters["cpu_ms"] = cpu / double(state.iterations());
}

// The median of the times seen.
double p50(std::vector<double> ms)
{
    if (ms.empty())
        return 0;
    auto mid = ms.begin() + std::ptrdiff_t(ms.size() / 2);
    std::nth_element(ms.begin(), mid, ms.end());
    return *mid;
}

void BM_Digita(benchmark::State& state)
{
    // A name typed as the operator would: lower case, without accents.
    const QString nome = QStringLiteral("maria silva");
    std::vector<double> elapsed, cpu;  // every keystroke, the first ones at [k * size]
    int shown = 0;
    for (auto _ : state) {
        auto dialog = abre();
        double worst = 0;
        for (int i = 0; i < nome.size(); ++i) {
            const double c0 = cpuMs();
            const auto t0 = Clock::now();
            bench::typeKey(dialog->filterEdit(), nome.at(i));
            elapsed.push_back(msSince(t0));
            cpu.push_back(cpuMs() - c0);
            worst = std::max(worst, elapsed.back());
        }
        shown = dialog->model()->rowCount();
        if (dialog->filterEdit()->text() != nome)
            std::abort();  // the keys did not reach the filter line
        state.SetIterationTime(worst / 1000.0);
        dialog.reset();
        QCoreApplication::processEvents();
    }
    double first = 0, firstCpu = 0;
    for (size_t k = 0; k < elapsed.size(); k += size_t(nome.size())) {
        first += elapsed[k];
        firstCpu += cpu[k];
    }
    const double n = double(state.iterations());
    state.counters["first_ms"] = first / n;
    state.counters["p50_ms"] = p50(elapsed);
    state.counters["max_ms"] = *std::max_element(elapsed.begin(), elapsed.end());
    state.counters["first_cpu_ms"] = firstCpu / n;
    state.counters["p50_cpu_ms"] = p50(cpu);
    state.counters["max_cpu_ms"] = *std::max_element(cpu.begin(), cpu.end());
    state.counters["rows_left"] = shown;
}

BENCHMARK(BM_AbreLista)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Digita)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    return bench::runWithGuiApplication(argc, argv);
}
