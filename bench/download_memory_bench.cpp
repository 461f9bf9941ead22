// Peak memory while saving posts that break the size limit, or come close to it, from the sample
// blog service: eight posts, four downloads at a time, each post written as it arrives, as the
// save does. The counters are the process's peak resident size during the run and its growth
// over the resident size before it, in MiB.
//
//   build/bench/download_memory_bench

#include "platform/codepage.h"
#include "platform/http.h"
#include "platform/page_downloads.h"
#include "tests/support/sample_blog_service.h"
#include "utilities/moddelay.h"
#include "window/post_saver.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr std::size_t post_count = 8;
constexpr std::size_t parallel = 4;
constexpr std::size_t mib = 1024 * 1024;
const std::size_t page_limit = platform::HttpLimits{}.max_body_bytes;

testing_support::SampleBlogService& service() {
    static testing_support::SampleBlogService instance;
    return instance;
}

// A line of /proc/self/status, such as VmHWM (peak) or VmRSS, in MiB.
double status_mib(const std::string& field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.starts_with(field + ":")) {
            return std::stod(line.substr(field.size() + 1)) / 1024.0; // "   1234 kB"
        }
    }
    throw std::runtime_error("no " + field + " in /proc/self/status");
}

// Starts a new peak: writing 5 to clear_refs sets VmHWM back to the present resident size.
void reset_peak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

// How many posts were saved; `error` keeps the first failure that was not a size limit.
std::size_t save_all(const std::string& address, std::string& error) {
    const fs::path folder = fs::temp_directory_path() / "pellumo-memory-bench";
    fs::remove_all(folder);
    fs::create_directories(folder);
    std::size_t saved = 0;
    platform::PageDownloads downloads(
        std::vector<std::string>(post_count, address), parallel,
        [&](std::size_t index, platform::DownloadResult result) {
            if (result.failure != platform::FetchFailure::too_large && error.empty()) {
                error = result.error;
            }
            const std::u16string page =
                result.body ? platform::decode_gbk(*result.body) : std::u16string();
            result.body.reset();
            saved += blog::SavePost({folder, u""}, index + 1, page) && !page.empty() ? 1 : 0;
        });
    while (!downloads.done()) {
        moddelay::pump_until([&] { return downloads.done(); }, 60000);
    }
    fs::remove_all(folder);
    return saved;
}

void measure(benchmark::State& state, const std::string& address, std::size_t expect_saved) {
    service();
    for (auto _ : state) {
        const double before = status_mib("VmRSS");
        reset_peak();
        std::string error;
        const std::size_t saved = save_all(address, error);
        const double peak = status_mib("VmHWM");
        if (saved > expect_saved) {
            state.SkipWithError("a post past the limit was saved");
        } else if (saved < expect_saved) {
            // Seen when a callback outlasts the service's one-second wait for a request.
            std::fprintf(stderr, "%zu of %zu posts saved; first other failure: %s\n", saved,
                         expect_saved, error.c_str());
        }
        state.counters["saved"] = static_cast<double>(saved);
        state.counters["peak_MiB"] = peak;
        state.counters["growth_MiB"] = peak - before;
    }
}

void BM_EndlessPosts(benchmark::State& state) {
    measure(state, "http://hi.baidu.com/_sample/endless", 0);
}
void BM_PostsOneByteOverTheLimit(benchmark::State& state) {
    measure(state, "http://hi.baidu.com/_sample/large-chunked/" + std::to_string(page_limit + 1),
            0);
}
void BM_PostsOf300MiB(benchmark::State& state) {
    measure(state, "http://hi.baidu.com/_sample/large/" + std::to_string(300 * mib), 0);
}
void BM_PostsAtTheLimit(benchmark::State& state) {
    measure(state, "http://hi.baidu.com/_sample/large-chunked/" + std::to_string(page_limit),
            post_count);
}

BENCHMARK(BM_EndlessPosts)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PostsOneByteOverTheLimit)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PostsOf300MiB)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PostsAtTheLimit)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
