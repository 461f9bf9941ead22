// Memory while saving the way the save button does (RunSave), browsable copy and both exports
// included, from the sample blog service, four downloads at a time: eight posts at the page size
// limit (prose, and prose with each sentence a paragraph of its own), posts past it, and 1,000
// and 10,000 small posts. The counters are the process's peak resident size during the save and its
// growth over the resident size just before it, in MiB; for the posts saved also the longest time
// the main loop went without running, seen by a 10 ms timeout that records how late it came. The
// exports_ counters are the same from the exports' caption on.
//
//   build/bench/download_memory_bench

#include "platform/http.h"
#include "tests/support/sample_blog_service.h"
#include "tools/sample_blog/blog_model.h"
#include "window/save_pipeline.h"

#include <benchmark/benchmark.h>

#include <glib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr std::size_t post_count = 8;
constexpr std::size_t mib = 1024 * 1024;
const std::size_t page_limit = platform::HttpLimits{}.max_body_bytes;

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

// The longest wait between two runs of a 10 ms timeout on the main loop, beyond its 10 ms.
class LoopLateness {
public:
    LoopLateness() : m_last(g_get_monotonic_time()) {
        m_source = g_timeout_add(10, &LoopLateness::on_tick, this);
    }
    ~LoopLateness() { g_source_remove(m_source); }
    LoopLateness(const LoopLateness&) = delete;
    LoopLateness& operator=(const LoopLateness&) = delete;

    double worst_ms() const { return static_cast<double>(m_worst_us) / 1000.0; }
    // The longest wait so far, starting anew.
    double take_worst_ms() {
        const double worst = worst_ms();
        m_worst_us = 0;
        return worst;
    }

private:
    static gboolean on_tick(gpointer self) {
        auto* lateness = static_cast<LoopLateness*>(self);
        const gint64 now = g_get_monotonic_time();
        lateness->m_worst_us = std::max(lateness->m_worst_us, now - lateness->m_last - 10000);
        lateness->m_last = now;
        return G_SOURCE_CONTINUE;
    }

    gint64 m_last;
    gint64 m_worst_us = 0;
    guint m_source = 0;
};

void measure(benchmark::State& state, std::vector<std::u16string> posts, std::size_t expect_saved,
             bool lateness) {
    const fs::path folder = fs::temp_directory_path() / "pellumo-memory-bench";
    for (auto _ : state) {
        fs::remove_all(folder);
        fs::create_directories(folder);
        window::SaveJob job;
        job.posts = posts;
        job.downloads = posts;
        job.target = {folder, u""};
        job.user_name = u"someone";
        const window::ExportsSource exports{u"someone", u"http://hi.baidu.com/someone", 1700000000};
        job.exports = &exports;
        const double before = status_mib("VmRSS");
        reset_peak();
        std::unique_ptr<LoopLateness> loop;
        if (lateness) {
            loop = std::make_unique<LoopLateness>();
        }
        // The exports' own share, from their caption on.
        double peak_before_exports = 0;
        double gap_before_exports = 0;
        window::SaveEvents events;
        events.show = [&](std::u16string_view full, std::u16string_view) {
            if (full == u"导出" && peak_before_exports == 0) {
                peak_before_exports = status_mib("VmHWM");
                reset_peak();
                gap_before_exports = loop ? loop->take_worst_ms() : 0;
            }
        };
        const window::SaveOutcome outcome = window::RunSave(job, events);
        const double exports_peak = status_mib("VmHWM");
        const double peak = std::max(peak_before_exports, exports_peak);
        const std::size_t saved = posts.size() - outcome.failures;
        if (saved != expect_saved) {
            std::fprintf(stderr, "%zu of %zu posts saved, %zu expected\n", saved, posts.size(),
                         expect_saved);
            state.SkipWithError("not the posts expected were saved");
        }
        state.counters["saved"] = static_cast<double>(saved);
        state.counters["copy_written"] = outcome.copy == window::CopyResult::written ? 1 : 0;
        state.counters["exported"] = outcome.exported ? 1 : 0;
        state.counters["peak_MiB"] = peak;
        state.counters["growth_MiB"] = peak - before;
        if (peak_before_exports > 0) {
            state.counters["exports_growth_MiB"] = exports_peak - before;
        }
        if (loop) {
            const double exports_gap = loop->worst_ms();
            state.counters["loop_gap_ms"] = std::max(gap_before_exports, exports_gap);
            if (peak_before_exports > 0) {
                state.counters["exports_loop_gap_ms"] = exports_gap;
            }
        }
    }
    fs::remove_all(folder);
}

// Posts of the default sample service that differ in length only; `bytes` for the first, one
// more byte for each after it.
std::vector<std::u16string> long_posts(std::string_view kind, std::size_t bytes) {
    std::vector<std::u16string> posts;
    for (std::size_t i = 0; i < post_count; ++i) {
        const std::string address =
            "http://hi.baidu.com/_sample/" + std::string(kind) + "/" + std::to_string(bytes + i);
        posts.emplace_back(address.begin(), address.end());
    }
    return posts;
}

void BM_EndlessPosts(benchmark::State& state) {
    const testing_support::SampleBlogService service;
    measure(state, std::vector<std::u16string>(post_count, u"http://hi.baidu.com/_sample/endless"),
            0, false);
}
void BM_PostsOneByteOverTheLimit(benchmark::State& state) {
    const testing_support::SampleBlogService service;
    measure(state, long_posts("large-chunked", page_limit + 1), 0, false);
}
void BM_PostsOf300MiB(benchmark::State& state) {
    const testing_support::SampleBlogService service;
    measure(state, long_posts("large", 300 * mib), 0, false);
}
void BM_PostsAtTheLimit(benchmark::State& state) {
    const testing_support::SampleBlogService service;
    measure(state, long_posts("large-chunked", page_limit - post_count), post_count, true);
}

void BM_TagDensePostsAtTheLimit(benchmark::State& state) {
    const testing_support::SampleBlogService service;
    measure(state, long_posts("large-tagged", page_limit - post_count), post_count, true);
}

void small_posts(benchmark::State& state, int count) {
    const testing_support::SampleBlogService service({"--posts", std::to_string(count)});
    const sample_blog::SampleBlog blog(u"someone", {.posts = count});
    std::vector<std::u16string> posts;
    for (int number = 1; number <= count; ++number) {
        posts.push_back(blog.post_address(number));
    }
    measure(state, posts, posts.size(), true);
}
void BM_1000SmallPosts(benchmark::State& state) {
    small_posts(state, 1000);
}
void BM_10000SmallPosts(benchmark::State& state) {
    small_posts(state, 10000);
}

BENCHMARK(BM_EndlessPosts)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PostsOneByteOverTheLimit)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PostsOf300MiB)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PostsAtTheLimit)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TagDensePostsAtTheLimit)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_1000SmallPosts)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_10000SmallPosts)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
