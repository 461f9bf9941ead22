#pragma once
// A main for benchmark programs that compare two ways of doing one job: after the usual table it
// prints how many times longer the slower way took.

#include <string>
#include <vector>

namespace bench {

// Two benchmarks by function name; the ratio is slow's wall time per iteration over fast's,
// divided by `work`: how many times more the slow one does (1000 posts against 100: 10), so that
// the ratio compares the time per unit of work.
struct Comparison {
    std::string slow;
    std::string fast;
    double work = 1;
};

// Runs the benchmarks the command line selects, then prints one "ratio" line per comparison
// whose two sides both ran. Returns the exit status for main.
int run_with_ratios(int argc, char** argv, const std::vector<Comparison>& comparisons);

} // namespace bench
