// Saving posts from the sample blog service the way the save button does (RunSave): 200 posts
// with 50 ms latency per request, one download at a time against four at once, without and
// with the browsable copy (two pictures a post), and with both exports after the copy, whose extra
// time is the exports' share of the save; then 1,000 and 10,000 posts with their copy and
// no latency, whose time per post should not grow with the blog.
//
//   build/bench/save_bench

#include "bench/ratio_report.h"
#include "platform/text.h"
#include "tests/support/sample_blog_service.h"
#include "tools/sample_blog/blog_model.h"
#include "window/save_pipeline.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr int post_count = 200;

std::vector<std::u16string> post_addresses(int count) {
    const sample_blog::SampleBlog blog(u"someone", {.posts = count, .pictures = true});
    std::vector<std::u16string> addresses;
    for (int number = 1; number <= count; ++number) {
        addresses.push_back(blog.post_address(number));
    }
    return addresses;
}

enum class Extras { none, copy, copy_and_exports };

// Without extras the posts are saved in a folder where a file stands in the copy's way, as a save
// without the copy would.
void save_all(int count, std::size_t parallel, const fs::path& folder, Extras extras) {
    window::SaveJob job;
    job.posts = post_addresses(count);
    job.downloads = job.posts;
    job.target = {folder, u""};
    job.user_name = u"someone";
    job.parallel = parallel;
    const window::ExportsSource exports{u"someone", u"http://hi.baidu.com/someone", 1700000000};
    if (extras == Extras::copy_and_exports) {
        job.exports = &exports;
    }
    const window::SaveOutcome outcome = window::RunSave(job);
    if (outcome.failures != 0) {
        throw std::runtime_error("some posts were not saved");
    }
    if (extras != Extras::none && outcome.copy != window::CopyResult::written) {
        throw std::runtime_error("the copy was not written");
    }
    if (!outcome.exported) {
        throw std::runtime_error("the exports were not written");
    }
}

void save_benchmark(benchmark::State& state, int count, std::size_t parallel, Extras extras) {
    const fs::path folder = fs::temp_directory_path() / "pellumo-save-bench";
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove_all(folder);
        fs::create_directories(folder);
        if (extras == Extras::none) {
            std::ofstream(folder / u8"离线浏览") << "no copy";
        }
        state.ResumeTiming();
        save_all(count, parallel, folder, extras);
    }
    fs::remove_all(folder);
    state.counters["posts"] = count;
    // Milliseconds of each iteration per post: the rate count / 1000 per second, inverted.
    state.counters["per_post_ms"] =
        benchmark::Counter(count / 1000.0, benchmark::Counter::kIsIterationInvariantRate |
                                               benchmark::Counter::kInvert);
}

// The slow service for the comparisons of one and four at once.
void with_latency(benchmark::State& state, std::size_t parallel, Extras extras) {
    const testing_support::SampleBlogService service(
        {"--posts", std::to_string(post_count), "--latency-ms", "50", "--pictures"});
    save_benchmark(state, post_count, parallel, extras);
}

void many(benchmark::State& state, int count) {
    const testing_support::SampleBlogService service(
        {"--posts", std::to_string(count), "--pictures"});
    save_benchmark(state, count, 4, Extras::copy);
}

void BM_SaveOneAtATime(benchmark::State& state) {
    with_latency(state, 1, Extras::none);
}
void BM_SaveFourAtOnce(benchmark::State& state) {
    with_latency(state, 4, Extras::none);
}
void BM_SaveWithCopyOneAtATime(benchmark::State& state) {
    with_latency(state, 1, Extras::copy);
}
void BM_SaveWithCopyFourAtOnce(benchmark::State& state) {
    with_latency(state, 4, Extras::copy);
}
void BM_SaveWithCopyAndExportsFourAtOnce(benchmark::State& state) {
    with_latency(state, 4, Extras::copy_and_exports);
}
void BM_Save1000PostsWithCopy(benchmark::State& state) {
    many(state, 1000);
}
void BM_Save10000PostsWithCopy(benchmark::State& state) {
    many(state, 10000);
}

BENCHMARK(BM_SaveOneAtATime)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SaveFourAtOnce)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SaveWithCopyOneAtATime)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SaveWithCopyFourAtOnce)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SaveWithCopyAndExportsFourAtOnce)
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_Save1000PostsWithCopy)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Save10000PostsWithCopy)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    return bench::run_with_ratios(
        argc, argv,
        {{"BM_SaveOneAtATime", "BM_SaveFourAtOnce"},
         {"BM_SaveWithCopyOneAtATime", "BM_SaveWithCopyFourAtOnce"},
         {"BM_SaveWithCopyAndExportsFourAtOnce", "BM_SaveWithCopyFourAtOnce"},
         {"BM_Save10000PostsWithCopy", "BM_Save1000PostsWithCopy", 10}});
}
