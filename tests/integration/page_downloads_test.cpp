#include "platform/page_downloads.h"

#include "platform/text.h"
#include "tests/support/loopback_server.h"
#include "tests/support/sample_blog_service.h"
#include "tools/sample_blog/blog_model.h"
#include "tools/sample_blog/gbk_encoder.h"
#include "utilities/moddelay.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <ranges>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using platform::DownloadResult;
using platform::FetchFailure;
using platform::PageDownloads;

namespace {

// The loopback servers below are reached directly whatever proxy the caller has; the sample
// service overrides this while it runs.
[[maybe_unused]] const int g_direct = setenv("no_proxy", "*", 1);

struct Report {
    std::size_t index = 0;
    DownloadResult result;
};

// Runs a PageDownloads and keeps what its callback saw; `react` runs after each report.
struct Recorder {
    Recorder(std::vector<std::string> urls, std::size_t max_parallel,
             platform::HttpLimits limits = {}, std::function<bool()> hold_back = {})
        : downloads(std::make_unique<PageDownloads>(
              std::move(urls), max_parallel,
              [this](std::size_t index, DownloadResult result) {
                  reports.push_back({index, std::move(result)});
                  if (react) {
                      react(*this);
                  }
              },
              limits, nullptr, std::move(hold_back))) {}

    bool run_to_end() {
        return moddelay::pump_until([this] { return !downloads || downloads->done(); }, 60000);
    }
    void pump_for(std::uint32_t ms) {
        moddelay::pump_until([] { return false; }, ms);
    }

    // The reports sorted by index; fails unless each of the `count` indices came exactly once.
    std::vector<Report> each_once(std::size_t count) const {
        std::vector<Report> sorted = reports;
        std::ranges::sort(sorted, {}, &Report::index);
        EXPECT_TRUE(std::ranges::equal(sorted, std::views::iota(std::size_t{0}, count), {},
                                       &Report::index));
        return sorted;
    }

    std::vector<Report> reports;
    std::function<void(Recorder&)> react; // may be set until the first pump
    std::unique_ptr<PageDownloads> downloads;
};

// Answers /page/N with "page N" after a delay and records the most requests it served at once.
struct CountingServer {
    explicit CountingServer(std::chrono::milliseconds delay)
        : loopback([this, delay](httplib::Server& server) {
              server.Get(R"(/page/(\d+))", [this, delay](const httplib::Request& request,
                                                         httplib::Response& response) {
                  const int now = ++in_flight;
                  int seen = most_in_flight.load();
                  while (now > seen && !most_in_flight.compare_exchange_weak(seen, now)) {
                  }
                  std::this_thread::sleep_for(delay);
                  --in_flight;
                  response.set_content("page " + request.matches[1].str(), "text/plain");
              });
          }) {}

    std::vector<std::string> urls(std::size_t count) const {
        std::vector<std::string> all;
        for (std::size_t page = 0; page < count; ++page) {
            all.push_back(loopback.base_url() + "/page/" + std::to_string(page));
        }
        return all;
    }
    std::atomic<int> in_flight{0};
    std::atomic<int> most_in_flight{0};
    testing_support::LoopbackServer loopback; // last: its handlers use the counters
};

TEST(PageDownloads, EachAddressOnceWithTheBytesTheServiceSentOrNoBodyAndTheReason) {
    const testing_support::SampleBlogService service(
        {"--posts", "8", "--latency-ms", "100", "--not-found", "5"});
    setenv("no_proxy", "127.0.0.1", 1); // the service puts it back as it was
    const testing_support::LoopbackSocket refusing(false);
    // The bodies as the service sends them: its pages in its own GBK encoding.
    struct Expected {
        std::string url;
        long status;
        FetchFailure failure = FetchFailure::none;
        std::string body = {};
    };
    std::vector<Expected> expected{
        {refusing.url, 0, FetchFailure::error},
        {"file:///etc/passwd", 0, FetchFailure::error},
        {"http://hi.baidu.com/_sample/empty", 200, FetchFailure::none, ""},
        {"http://hi.baidu.com/_sample/endless", 200, FetchFailure::too_large},
        {"http://hi.baidu.com/_sample/large-chunked/1048577", 200, FetchFailure::too_large},
        {"http://hi.baidu.com/_sample/trickle", 200, FetchFailure::too_long},
    };
    // Addresses a browser would percent-encode; curl refuses the blank as it stands.
    for (const std::u16string user : {u"my name", u"空间"}) {
        const sample_blog::SampleBlog blog(user, {.posts = 8});
        expected.push_back({platform::utf16_to_utf8(blog.post_address(1)), 200, FetchFailure::none,
                            sample_blog::encode_gbk(blog.post_page(1).html)});
    }
    const sample_blog::SampleBlog blog(u"pellumo", {.posts = 8});
    for (int number = 1; number <= blog.post_count(); ++number) {
        expected.push_back({platform::utf16_to_utf8(blog.post_address(number)),
                            number == 5 ? 404L : 200L, FetchFailure::none,
                            sample_blog::encode_gbk(number == 5 ? sample_blog::not_found_page()
                                                                : blog.post_page(number).html)});
    }
    std::vector<std::string> urls;
    std::ranges::transform(expected, std::back_inserter(urls), &Expected::url);

    Recorder recorder(urls, 4, {.total_seconds = 2, .max_body_bytes = 1024 * 1024});
    ASSERT_TRUE(recorder.run_to_end());
    for (const auto& [index, result] : recorder.each_once(urls.size())) {
        SCOPED_TRACE(urls.at(index));
        EXPECT_EQ(result.status, expected[index].status);
        EXPECT_EQ(result.failure, expected[index].failure);
        if (result.failure == FetchFailure::none) {
            EXPECT_EQ(result.body, expected[index].body);
            EXPECT_EQ(result.error, "");
        } else {
            EXPECT_EQ(result.body, std::nullopt);
            EXPECT_NE(result.error, "");
        }
    }
}

TEST(PageDownloads, NeverMoreThanTheLimitAtOnceAndOneAtATimeInListOrder) {
    for (const std::size_t limit : {std::size_t{1}, std::size_t{3}}) {
        SCOPED_TRACE(limit);
        CountingServer server(std::chrono::milliseconds(200));
        Recorder recorder(server.urls(6), limit);
        ASSERT_TRUE(recorder.run_to_end());
        for (const Report& report : recorder.each_once(6)) {
            EXPECT_EQ(report.result.body, "page " + std::to_string(report.index));
        }
        EXPECT_EQ(server.most_in_flight.load(), static_cast<int>(limit));
        for (std::size_t place = 0; limit == 1 && place < recorder.reports.size(); ++place) {
            EXPECT_EQ(recorder.reports[place].index, place);
        }
    }
}

TEST(PageDownloads, NothingStartsWhileTheCallerHoldsTheRestBack) {
    CountingServer server(std::chrono::milliseconds(50));
    bool held = true;
    Recorder recorder(server.urls(4), 3, {}, [&held] { return held; });
    EXPECT_EQ(recorder.downloads->running_count(), 0U);
    recorder.pump_for(300);
    EXPECT_TRUE(recorder.reports.empty());
    EXPECT_EQ(server.most_in_flight.load(), 0);
    held = false;
    ASSERT_TRUE(recorder.run_to_end());
    recorder.each_once(4);

    // Held back while one is running or unreported: one at a time, whatever the limit.
    server.most_in_flight = 0;
    const PageDownloads* downloads = nullptr; // until its constructor returns, one is running
    int asked_before = 0;
    Recorder one_by_one(server.urls(4), 3, {}, [&] {
        return downloads ? downloads->unreported_count() > 0 : asked_before++ > 0;
    });
    downloads = one_by_one.downloads.get();
    ASSERT_TRUE(one_by_one.run_to_end());
    one_by_one.each_once(4);
    EXPECT_EQ(server.most_in_flight.load(), 1);
}

TEST(PageDownloads, CancelAbortsHangingTransfersAndSilencesCallbacks) {
    const testing_support::LoopbackSocket silent(true);
    Recorder recorder({silent.url, silent.url, silent.url}, 2);
    PageDownloads& downloads = *recorder.downloads;
    recorder.pump_for(300);
    ASSERT_EQ(downloads.running_count(), 2U);

    downloads.cancel();
    EXPECT_TRUE(downloads.done());
    EXPECT_EQ(downloads.running_count(), 0U);
    recorder.pump_for(300);
    EXPECT_TRUE(recorder.reports.empty());
    // Both connections were really dropped, not left hanging.
    EXPECT_TRUE(silent.next_connection_gets_closed());
    EXPECT_TRUE(silent.next_connection_gets_closed());
}

TEST(PageDownloads, CancelOrDestructionFromInsideACallbackIsSafe) {
    CountingServer server(std::chrono::milliseconds(0));
    for (const bool destroy : {false, true}) {
        Recorder recorder(server.urls(16), 4);
        recorder.react = [destroy](Recorder& self) {
            destroy ? self.downloads.reset() : self.downloads->cancel();
        };
        ASSERT_TRUE(recorder.run_to_end());
        recorder.pump_for(200);
        EXPECT_EQ(recorder.reports.size(), 1U) << "destroy " << destroy;
    }
}

} // namespace
