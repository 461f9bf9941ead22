// Saving 200 posts from the sample blog service with 50 ms latency per request: one download at a
// time against four at once, each post written when it arrives; then the same with the
// browsable copy, whose pictures (two a post) are downloaded after the posts; and the same with
// both exports written after the copy, whose extra time is the exports' share of the save.
//
//   build/bench/save_bench

#include "bench/ratio_report.h"
#include "platform/codepage.h"
#include "platform/page_downloads.h"
#include "platform/text.h"
#include "tests/support/sample_blog_service.h"
#include "tools/sample_blog/blog_model.h"
#include "utilities/moddelay.h"
#include "window/exports_run.h"
#include "window/offline_copy_run.h"
#include "window/post_saver.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <utility>

namespace {

namespace fs = std::filesystem;

constexpr int post_count = 200;

testing_support::SampleBlogService& service() {
    static testing_support::SampleBlogService instance(
        {"--posts", std::to_string(post_count), "--latency-ms", "50", "--pictures"});
    return instance;
}

std::vector<std::string> post_addresses() {
    const sample_blog::SampleBlog blog(u"someone", {.posts = post_count, .pictures = true});
    std::vector<std::string> addresses;
    for (int number = 1; number <= post_count; ++number) {
        addresses.push_back(platform::utf16_to_utf8(blog.post_address(number)));
    }
    return addresses;
}

enum class Extras { none, copy, copy_and_exports };

void save_all(std::size_t parallel, const blog::SaveTarget& target, Extras extras) {
    const std::vector<std::string> addresses = post_addresses();
    std::vector<offline::PreparedPost> copy_posts(addresses.size());
    std::size_t failures = 0;
    platform::PageDownloads downloads(
        addresses, parallel, [&](std::size_t index, platform::DownloadResult result) {
            const std::u16string page = platform::decode_gbk(result.body.value_or(""));
            const std::u16string failure =
                window::PostFailure(result, page, blog::SavePost(target, index + 1, page));
            failures += failure.empty() ? 0 : 1;
            copy_posts[index] = offline::PreparePost(
                index + 1, {platform::utf8_to_utf16(addresses[index]),
                            failure.empty() ? std::optional(page) : std::nullopt, failure});
        });
    while (!downloads.done()) {
        moddelay::pump_until([&] { return downloads.done(); }, 60000);
    }
    if (failures != 0) {
        throw std::runtime_error("some posts were not saved");
    }
    if (extras == Extras::none) {
        return;
    }
    const offline::CopyPlan plan = offline::PlanCopy(std::move(copy_posts));
    if (window::WriteOfflineCopy(target.folder, plan, u"someone", parallel,
                                 [](std::size_t, std::size_t) {}) != window::CopyResult::written) {
        throw std::runtime_error("the copy was not written");
    }
    if (extras == Extras::copy_and_exports &&
        !window::WriteExports(target.folder, plan.posts,
                              {u"someone", u"http://hi.baidu.com/someone", 1700000000})) {
        throw std::runtime_error("the exports were not written");
    }
}

void save_benchmark(benchmark::State& state, std::size_t parallel, Extras extras = Extras::none) {
    service();
    const fs::path folder = fs::temp_directory_path() / "pellumo-save-bench";
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove_all(folder);
        fs::create_directories(folder);
        state.ResumeTiming();
        save_all(parallel, {folder, u""}, extras);
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

void BM_SaveWithCopyOneAtATime(benchmark::State& state) {
    save_benchmark(state, 1, Extras::copy);
}
void BM_SaveWithCopyFourAtOnce(benchmark::State& state) {
    save_benchmark(state, 4, Extras::copy);
}
void BM_SaveWithCopyAndExportsFourAtOnce(benchmark::State& state) {
    save_benchmark(state, 4, Extras::copy_and_exports);
}

BENCHMARK(BM_SaveOneAtATime)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SaveFourAtOnce)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SaveWithCopyOneAtATime)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SaveWithCopyFourAtOnce)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SaveWithCopyAndExportsFourAtOnce)
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    return bench::run_with_ratios(
        argc, argv,
        {{"BM_SaveOneAtATime", "BM_SaveFourAtOnce"},
         {"BM_SaveWithCopyOneAtATime", "BM_SaveWithCopyFourAtOnce"},
         {"BM_SaveWithCopyAndExportsFourAtOnce", "BM_SaveWithCopyFourAtOnce"}});
}
