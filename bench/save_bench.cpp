// Saving 200 posts from the sample blog service with 50 ms latency per request: one download at a
// time against four at once, each post written when it arrives.
//
//   build/bench/save_bench

#include "bench/ratio_report.h"
#include "platform/codepage.h"
#include "platform/page_downloads.h"
#include "platform/text.h"
#include "tests/support/sample_blog_service.h"
#include "tools/sample_blog/blog_model.h"
#include "utilities/moddelay.h"
#include "window/post_saver.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>

namespace {

namespace fs = std::filesystem;

constexpr int post_count = 200;

testing_support::SampleBlogService& service() {
    static testing_support::SampleBlogService instance(
        {"--posts", std::to_string(post_count), "--latency-ms", "50"});
    return instance;
}

std::vector<std::string> post_addresses() {
    const sample_blog::SampleBlog blog(u"someone", {.posts = post_count});
    std::vector<std::string> addresses;
    for (int number = 1; number <= post_count; ++number) {
        addresses.push_back(platform::utf16_to_utf8(blog.post_address(number)));
    }
    return addresses;
}

void save_all(std::size_t parallel, const blog::SaveTarget& target) {
    std::size_t failures = 0;
    platform::PageDownloads downloads(
        post_addresses(), parallel, [&](std::size_t index, std::optional<std::string> body, long) {
            if (!body || !blog::SavePost(target, index + 1, platform::decode_gbk(*body))) {
                ++failures;
            }
        });
    while (!downloads.done()) {
        moddelay::pump_until([&] { return downloads.done(); }, 60000);
    }
    if (failures != 0) {
        throw std::runtime_error("some posts were not saved");
    }
}

void save_benchmark(benchmark::State& state, std::size_t parallel) {
    service();
    const fs::path folder = fs::temp_directory_path() / "pellumo-save-bench";
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove_all(folder);
        fs::create_directories(folder);
        state.ResumeTiming();
        save_all(parallel, {folder, u""});
    }
    fs::remove_all(folder);
    state.counters["posts"] = post_count;
}

void BM_SaveOneAtATime(benchmark::State& state) {
    save_benchmark(state, 1);
}
void BM_SaveFourAtOnce(benchmark::State& state) {
    save_benchmark(state, 4);
}

BENCHMARK(BM_SaveOneAtATime)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SaveFourAtOnce)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    return bench::run_with_ratios(argc, argv, {{"BM_SaveOneAtATime", "BM_SaveFourAtOnce"}});
}
