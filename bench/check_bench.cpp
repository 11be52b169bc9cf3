// pdvhost check on a terminal of the large shop (100,000 consumers, millions of point
// movements, 20 campaigns of 620 gifts): the whole check, which must stay within 2 s,
// against the reading of the terminal files alone (the part that does not grow with the
// shop). "limit_s" is the target; "findings" must be 0 (a healthy terminal).
//
// The shop is VAK_BENCH_SHOP, or ~/.cache/vak/large-shop.db, generated on first use. The
// terminal is written by shopgen's terminal command (fiscal profile) pointing at it; the
// check finds the module beside this executable, as pdvhost does.

#include "bench/GuiApplication.h"
#include "host/app/Check.h"
#include "host/app/CheckCommand.h"
#include "host/hostkit/HostHooks.h"
#include "hostapi/hostkit.h"
#include "tools/shopgen/TerminalCommand.h"

#include "bench/LargeShop.h"
#include "platform/system/ProgramDirectory.h"

#include <QApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

struct LargeTerminal {
    QTemporaryDir tmp;
    QString dir = tmp.path() + QStringLiteral("/caixa");
    QString db = QStringLiteral("Provider=SQLite;Data Source=") + bench::largeShopFile();

    LargeTerminal()
    {
        bench::ensureLargeShop();
        shopgen::TerminalOptions o;
        o.dir = dir;
        o.profile = QStringLiteral("fiscal");
        o.db = db;
        shopgen::writeTerminal(o);
    }
};

LargeTerminal& terminal()
{
    static LargeTerminal t;
    return t;
}

void BM_Check_LargeShop(benchmark::State& state)
{
    LargeTerminal& t = terminal();
    int findings = 0;
    for (auto _ : state) {
        const pdvhost::Findings f = pdvhost::checkTerminal(t.dir, t.db);
        findings = f.count(pdvhost::Severity::Error) + f.count(pdvhost::Severity::Warning);
        benchmark::DoNotOptimize(findings);
    }
    state.counters["findings"] = findings;
    state.counters["limit_s"] = 2;
}
BENCHMARK(BM_Check_LargeShop)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void BM_Check_TerminalFilesOnly(benchmark::State& state)
{
    LargeTerminal& t = terminal();
    platform::setProgramDirectory(t.dir);
    for (auto _ : state) {
        pdvhost::Findings f;
        pdvhost::check::Terminal files;
        files.dir = t.dir;
        pdvhost::check::checkFiles(files, f);
        benchmark::DoNotOptimize(f);
    }
}
BENCHMARK(BM_Check_TerminalFilesOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv)
{
    return bench::runWithGuiApplication(argc, argv);
}
