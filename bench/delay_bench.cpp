// What a 4-second DelaySeconds costs while nothing happens: the process's CPU time as a share of
// one core over the wall time. The wait sleeps in the GLib main context, so this stays near 0.
//
//   build/bench/delay_bench

#include "utilities/moddelay.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <sys/resource.h>

namespace {

// User and system time of the whole process, in seconds.
double process_cpu_seconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) {
        return double(t.tv_sec) + double(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

void BM_DelaySeconds4(benchmark::State& state) {
    using Clock = std::chrono::steady_clock;
    double cpu = 0;
    double wall = 0;
    for (auto _ : state) {
        const double cpu_before = process_cpu_seconds();
        const Clock::time_point start = Clock::now();
        moddelay::DelaySeconds(4);
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        cpu += process_cpu_seconds() - cpu_before;
        wall += elapsed;
        state.SetIterationTime(elapsed);
    }
    // The console prints small counters with SI prefixes: "1.9m" is 0.0019.
    state.counters["cpu_percent_of_core"] = 100 * cpu / wall;
    state.counters["cpu_us_per_wait"] = 1e6 * cpu / static_cast<double>(state.iterations());
}
BENCHMARK(BM_DelaySeconds4)->UseManualTime()->Iterations(2)->Unit(benchmark::kSecond);

} // namespace
