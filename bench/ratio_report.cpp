#include "bench/ratio_report.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>

namespace bench {
namespace {

// The console table as usual, plus the mean wall time per iteration of each benchmark.
class RecordingReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred || run.iterations == 0) {
                continue;
            }
            Total& total = m_totals[run.run_name.function_name];
            total.seconds += run.real_accumulated_time;
            total.iterations += static_cast<double>(run.iterations);
        }
    }

    // Zero when the benchmark did not run.
    double seconds_per_iteration(const std::string& name) const {
        const auto found = m_totals.find(name);
        return found == m_totals.end() ? 0 : found->second.seconds / found->second.iterations;
    }

private:
    struct Total {
        double seconds = 0;
        double iterations = 0;
    };
    std::map<std::string, Total> m_totals;
};

} // namespace

int run_with_ratios(int argc, char** argv, const std::vector<Comparison>& comparisons) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    RecordingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    for (const Comparison& comparison : comparisons) {
        const double slow = reporter.seconds_per_iteration(comparison.slow);
        const double fast = reporter.seconds_per_iteration(comparison.fast);
        if (slow > 0 && fast > 0) {
            std::printf("ratio %s / %s = %.2f%s\n", comparison.slow.c_str(),
                        comparison.fast.c_str(), slow / fast / comparison.work,
                        comparison.work != 1 ? " (per unit of work)" : "");
        }
    }
    return 0;
}

} // namespace bench
