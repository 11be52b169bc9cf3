#pragma once
// What the benchmarks that set a data service against the raw driver measure, side by side
// in one run: elapsed time (the iteration time, raw_ms, ratio) and the thread's processor
// time (cpu_ms, raw_cpu_ms, cpu_ratio), which stays meaningful on a busy machine where the
// elapsed time also counts the waits for a processor.

#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>

namespace bench {

inline double threadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// Elapsed and thread processor time from its making.
struct Lap {
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    double cpuStart = threadCpuSeconds();

    double seconds() const { return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(); }
    double cpuSeconds() const { return threadCpuSeconds() - cpuStart; }
};

struct AgainstRaw {
    double service = 0, raw = 0, serviceCpu = 0, rawCpu = 0;  // seconds, summed over iterations
    int rows = 0;

    // One iteration's data service, `rows` its row count: its elapsed time is the
    // iteration's. Returns it.
    double addService(benchmark::State& state, const Lap& lap, int serviceRows)
    {
        const double s = lap.seconds();
        service += s;
        serviceCpu += lap.cpuSeconds();
        rows = serviceRows;
        state.SetIterationTime(s);
        return s;
    }
    // One iteration's raw fetch, which must have found the data service's rows.
    void addRaw(benchmark::State& state, const Lap& lap, int rawRows)
    {
        raw += lap.seconds();
        rawCpu += lap.cpuSeconds();
        if (rawRows != rows)
            state.SkipWithError("the data service and the raw driver disagree on the row count");
    }

    void report(benchmark::State& state) const
    {
        const double n = double(state.iterations());
        state.counters["rows"] = rows;
        state.counters["raw_ms"] = 1000.0 * raw / n;
        state.counters["ratio"] = raw > 0 ? service / raw : 0;
        state.counters["cpu_ms"] = 1000.0 * serviceCpu / n;
        state.counters["raw_cpu_ms"] = 1000.0 * rawCpu / n;
        state.counters["cpu_ratio"] = rawCpu > 0 ? serviceCpu / rawCpu : 0;
    }
};

}  // namespace bench
