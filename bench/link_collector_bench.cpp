// The link collector against the duplicate pass it replaced, on a list of 50,000 addresses that
// receives a page of 500 post links, half of them listed already.
//
//   build/bench/link_collector_bench

#include "bench/ratio_report.h"
#include "blog/link_collector.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace {

constexpr std::size_t listed_count = 50'000;
constexpr std::size_t page_count = 500;

// Addresses shaped like the service's: a fixed stem and a 24-digit hex id, all the same length.
std::u16string post_address(std::uint64_t n) {
    static constexpr char16_t digits[] = u"0123456789abcdef";
    std::u16string id(24, u'0');
    std::uint64_t mixed = (n + 1) * 0x9E3779B97F4A7C15ULL;
    for (char16_t& digit : id) {
        digit = digits[mixed & 0xF];
        mixed = (mixed >> 4) | (mixed << 60);
    }
    return u"http://hi.baidu.com/someone/blog/item/" + id + u".html";
}

struct Workload {
    std::vector<std::u16string> listed;
    std::vector<std::u16string> page;
};

// Every other link of the page is listed already, spread over the whole list.
const Workload& workload() {
    static const Workload instance = [] {
        Workload w;
        for (std::size_t i = 0; i < listed_count; ++i) {
            w.listed.push_back(post_address(i));
        }
        for (std::size_t i = 0; i < page_count / 2; ++i) {
            w.page.push_back(w.listed[i * (listed_count / (page_count / 2))]);
            w.page.push_back(post_address(listed_count + i));
        }
        return w;
    }();
    return instance;
}

// The old way: append every post link, then drop later copies by comparing every pair.
void add_with_pairwise_pass(std::vector<std::u16string>& list,
                            const std::vector<std::u16string>& page) {
    for (const std::u16string& link : page) {
        if (blog::IsPostLink(link)) {
            list.push_back(link);
        }
    }
    for (std::size_t i = 0; i < list.size(); ++i) {
        for (std::size_t j = list.size() - 1; j > i; --j) {
            if (list[j] == list[i]) {
                list.erase(list.begin() + static_cast<std::ptrdiff_t>(j));
            }
        }
    }
}

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Only the page's arrival is timed; filling the list beforehand is not.
void BM_Collector(benchmark::State& state) {
    const Workload& w = workload();
    for (auto _ : state) {
        blog::PostLinkList list;
        list.add_page_links(w.listed);
        const Clock::time_point start = Clock::now();
        const auto added = list.add_page_links(w.page);
        state.SetIterationTime(seconds_since(start));
        benchmark::DoNotOptimize(added.data());
        if (list.size() != listed_count + page_count / 2) {
            state.SkipWithError("the collector kept a duplicate or lost a link");
        }
    }
}
BENCHMARK(BM_Collector)->UseManualTime()->Iterations(200)->Unit(benchmark::kMicrosecond);

void BM_PairwiseBaseline(benchmark::State& state) {
    const Workload& w = workload();
    for (auto _ : state) {
        std::vector<std::u16string> list = w.listed;
        const Clock::time_point start = Clock::now();
        add_with_pairwise_pass(list, w.page);
        state.SetIterationTime(seconds_since(start));
        if (list.size() != listed_count + page_count / 2) {
            state.SkipWithError("the pairwise pass kept a duplicate or lost a link");
        }
    }
}
BENCHMARK(BM_PairwiseBaseline)->UseManualTime()->Iterations(2)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    return bench::run_with_ratios(argc, argv, {{"BM_PairwiseBaseline", "BM_Collector"}});
}
