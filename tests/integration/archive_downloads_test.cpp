#include "archive/archive_request_policy.h"
#include "platform/page_downloads.h"
#include "tests/support/loopback_server.h"
#include "tests/support/sample_blog_service.h"
#include "utilities/moddelay.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using platform::DownloadResult;
using platform::FetchFailure;
using Clock = std::chrono::steady_clock;

namespace {

[[maybe_unused]] const int g_direct = setenv("no_proxy", "*", 1);

// An archive on a loopback port: /web/N answers "capture N" after `delay`, except that the
// first request for /web/<refuse_once> gets a 429 with the given Retry-After.
struct LoopbackArchive {
    LoopbackArchive(std::chrono::milliseconds delay, int refuse_once, std::string retry_after)
        : server(
              std::make_unique<testing_support::LoopbackServer>([=, this](httplib::Server& routes) {
                  routes.Get(R"(/web/(\d+))", [=, this](const httplib::Request& request,
                                                        httplib::Response& response) {
                      const int number = std::stoi(request.matches[1].str());
                      bool refuse = false;
                      {
                          const std::lock_guard lock(mutex);
                          arrivals.push_back(Clock::now());
                          refuse = number == refuse_once && requests[number]++ == 0;
                          most_in_flight = std::max(most_in_flight, ++in_flight);
                      }
                      if (refuse) {
                          response.status = 429;
                          response.set_header("Retry-After", retry_after);
                          refused = true;
                      } else {
                          std::this_thread::sleep_for(delay);
                          response.set_content("capture " + std::to_string(number), "text/html");
                      }
                      const std::lock_guard lock(mutex);
                      --in_flight;
                  });
              })),
          base(server->base_url()) {}

    std::vector<std::string> urls(int count) const {
        std::vector<std::string> all;
        for (int number = 0; number < count; ++number) {
            all.push_back(base + "/web/" + std::to_string(number));
        }
        return all;
    }

    std::mutex mutex;
    std::vector<Clock::time_point> arrivals;
    std::map<int, int> requests;
    int in_flight = 0;
    int most_in_flight = 0;
    std::atomic<bool> refused = false;
    std::unique_ptr<testing_support::LoopbackServer> server;
    const std::string base;
};

std::chrono::milliseconds between(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(to - from);
}

struct PoliteRun {
    PoliteRun(const std::vector<std::string>& urls, archive::ArchiveRequestPolicy& policy)
        : downloads(
              urls, 4,
              [this](std::size_t index, DownloadResult result) {
                  results.emplace(index, std::move(result));
              },
              {}, &policy) {}
    std::map<std::size_t, DownloadResult> results;
    platform::PageDownloads downloads;
};

// The archive's rules with pauses short enough for a test: 100 ms back-off, 200 ms apart.
archive::PolitenessLimits quick_limits() {
    archive::PolitenessLimits limits;
    limits.replay_interval_ms = 200;
    limits.index_interval_ms = 200;
    limits.first_backoff_ms = 100;
    limits.first_429_pause_ms = 100;
    return limits;
}

// How many lines of the stand-in's request log name the archive.
int archive_requests(const testing_support::SampleBlogService& service) {
    const std::string log = service.request_log();
    int count = 0;
    for (std::size_t at = log.find("web.archive.org"); at != std::string::npos;
         at = log.find("web.archive.org", at + 1)) {
        ++count;
    }
    return count;
}

TEST(ArchiveDownloads, TwoConnectionsAtMostAndOneStartASecond) {
    LoopbackArchive archive(std::chrono::milliseconds(1500), -1, "");
    archive::ArchiveRequestPolicy policy(archive.base);
    PoliteRun run(archive.urls(4), policy);
    ASSERT_TRUE(moddelay::pump_until([&] { return run.downloads.done(); }, 30000));

    ASSERT_EQ(run.results.size(), 4U);
    for (const auto& [index, result] : run.results) {
        EXPECT_EQ(result.body, "capture " + std::to_string(index));
    }
    const std::lock_guard lock(archive.mutex);
    EXPECT_EQ(archive.most_in_flight, 2);
    // Starts a second apart; on a loaded machine an arrival may lag its start by a few
    // milliseconds more than the one before it did.
    for (std::size_t i = 1; i < archive.arrivals.size(); ++i) {
        EXPECT_GE(between(archive.arrivals[i - 1], archive.arrivals[i]).count(), 950) << i;
    }
}

TEST(ArchiveDownloads, A429PausesEveryRequestForItsRetryAfterAndIsRetriedNotFailed) {
    LoopbackArchive archive(std::chrono::milliseconds(0), 0, "3");
    archive::ArchiveRequestPolicy policy(archive.base);
    PoliteRun run(archive.urls(3), policy);
    ASSERT_TRUE(moddelay::pump_until([&] { return run.downloads.done(); }, 30000));

    ASSERT_EQ(run.results.size(), 3U);
    for (const auto& [index, result] : run.results) {
        EXPECT_EQ(result.status, 200);
        EXPECT_EQ(result.failure, FetchFailure::none);
        EXPECT_EQ(result.body, "capture " + std::to_string(index));
    }
    const std::lock_guard lock(archive.mutex);
    EXPECT_EQ(archive.requests[0], 2);
    // The 429 came first; nothing reached the archive in the three seconds after it.
    ASSERT_EQ(archive.arrivals.size(), 4U);
    EXPECT_GE(between(archive.arrivals[0], archive.arrivals[1]).count(), 3000);
}

TEST(ArchiveDownloads, RefusedAfterA429MeansBlockedForEveryRequestLeft) {
    LoopbackArchive archive(std::chrono::milliseconds(0), 0, "2");
    archive::ArchiveRequestPolicy policy(archive.base);
    PoliteRun run(archive.urls(3), policy);
    // The archive shuts its door while the pause runs.
    ASSERT_TRUE(moddelay::pump_until([&] { return archive.refused.load(); }, 10000));
    archive.server.reset();
    ASSERT_TRUE(moddelay::pump_until([&] { return run.downloads.done(); }, 30000));

    EXPECT_TRUE(policy.blocked());
    ASSERT_EQ(run.results.size(), 3U);
    for (const auto& [index, result] : run.results) {
        EXPECT_EQ(result.failure, FetchFailure::blocked) << index;
        EXPECT_EQ(result.body, std::nullopt);
    }
}

TEST(ArchiveDownloads, RedirectsAreAskedForOneByOneAndAServerGoingRoundInCirclesIsLeft) {
    std::mutex mutex;
    std::vector<std::pair<std::string, Clock::time_point>> arrivals;
    testing_support::LoopbackServer server([&](httplib::Server& routes) {
        // /web/hop/N leads to N-1, /web/hop/0 is the capture; /web/a and /web/b lead to each
        // other for ever.
        routes.Get(R"(/web/(hop/\d+|a|b))", [&](const httplib::Request& request,
                                                httplib::Response& response) {
            {
                const std::lock_guard lock(mutex);
                arrivals.emplace_back(request.path, Clock::now());
            }
            const std::string where = request.matches[1].str();
            if (where == "hop/0") {
                response.set_content("capture", "text/html");
            } else if (where.starts_with("hop/")) {
                response.set_redirect("/web/hop/" + std::to_string(std::stoi(where.substr(4)) - 1));
            } else {
                response.set_redirect(where == "a" ? "/web/b" : "/web/a");
            }
        });
    });
    archive::ArchiveRequestPolicy policy(server.base_url(), quick_limits());
    PoliteRun run({server.base_url() + "/web/hop/3", server.base_url() + "/web/a"}, policy);
    ASSERT_TRUE(moddelay::pump_until([&] { return run.downloads.done(); }, 30000));

    ASSERT_EQ(run.results.size(), 2U);
    EXPECT_EQ(run.results[0].body, "capture");
    EXPECT_EQ(run.results[0].address, server.base_url() + "/web/hop/0");
    EXPECT_EQ(run.results[1].body, std::nullopt);
    EXPECT_EQ(run.results[1].failure, FetchFailure::error);
    const std::lock_guard lock(mutex);
    // Four hops of the first, the second and its five redirects: no more.
    const auto circling = std::ranges::count_if(
        arrivals, [](const auto& arrival) { return !arrival.first.starts_with("/web/hop"); });
    EXPECT_EQ(circling, 6);
    EXPECT_EQ(arrivals.size(), 10U);
    for (std::size_t i = 1; i < arrivals.size(); ++i) {
        EXPECT_GE(between(arrivals[i - 1].second, arrivals[i].second).count(), 190) << i;
    }
}

TEST(ArchiveDownloads, AnAnswerBrokenOffInTheMiddleIsTriedAgainAfterAPause) {
    std::atomic<int> requests = 0;
    testing_support::LoopbackServer server([&](httplib::Server& routes) {
        routes.Get("/web/cut", [&](const httplib::Request&, httplib::Response& response) {
            if (requests++ > 0) {
                response.set_content(std::string(1000, 'x'), "text/html");
                return;
            }
            // 1000 bytes announced, 10 sent, then the connection is dropped.
            response.set_content_provider(1000, "text/html",
                                          [](std::size_t, std::size_t, httplib::DataSink& sink) {
                                              sink.write("xxxxxxxxxx", 10);
                                              return false;
                                          });
        });
    });
    archive::ArchiveRequestPolicy policy(server.base_url(), quick_limits());
    PoliteRun run({server.base_url() + "/web/cut"}, policy);
    ASSERT_TRUE(moddelay::pump_until([&] { return run.downloads.done(); }, 30000));
    EXPECT_EQ(requests.load(), 2);
    EXPECT_EQ(run.results[0].body, std::string(1000, 'x'));
    EXPECT_EQ(run.results[0].failure, FetchFailure::none);
}

TEST(ArchiveDownloads, NoAnswerThreeTimesIsOutOfReachButAfterA429ItIsTheArchiveShuttingUsOut) {
    const std::vector<std::string> posts{
        "http://web.archive.org/web/2012id_/http://hi.baidu.com/someone/blog/item/1.html",
        "http://web.archive.org/web/2012id_/http://hi.baidu.com/someone/blog/item/2.html",
        "http://web.archive.org/web/2012id_/http://hi.baidu.com/someone/blog/item/3.html",
        "http://web.archive.org/web/2012id_/http://hi.baidu.com/someone/blog/item/4.html"};
    {
        // Every connection is closed without a word: the network is gone.
        const testing_support::SampleBlogService service(
            {"--archive", "full", "--archive-silent-after-index", "0"});
        archive::ArchiveRequestPolicy policy("http://web.archive.org", quick_limits());
        PoliteRun run(posts, policy);
        ASSERT_TRUE(moddelay::pump_until([&] { return run.downloads.done(); }, 30000));
        EXPECT_TRUE(policy.unreachable());
        EXPECT_FALSE(policy.blocked());
        ASSERT_EQ(run.results.size(), posts.size());
        for (const auto& [index, result] : run.results) {
            EXPECT_EQ(result.failure, FetchFailure::unreachable) << index;
        }
        EXPECT_EQ(archive_requests(service), 3);
    }
    {
        // The index's first answer is a 429; then the connections are closed: a block.
        const testing_support::SampleBlogService service(
            {"--archive", "full", "--archive-429-first", "index=1", "--archive-retry-after", "1",
             "--archive-silent-after-index", "1", "--archive-block-impatient", "0"});
        archive::ArchiveRequestPolicy policy("http://web.archive.org", quick_limits());
        PoliteRun run({"http://web.archive.org/cdx/search/cdx?url=hi.baidu.com/someone"}, policy);
        ASSERT_TRUE(moddelay::pump_until([&] { return run.downloads.done(); }, 30000));
        EXPECT_TRUE(policy.blocked());
        EXPECT_FALSE(policy.unreachable());
        EXPECT_EQ(run.results[0].failure, FetchFailure::blocked);
        // The 429, then one attempt, no second: curl itself sends it once more on a new
        // connection when it went out on the 429's kept-alive one and that was closed unanswered.
        const int requests = archive_requests(service);
        EXPECT_GE(requests, 2);
        EXPECT_LE(requests, 3);
    }
}

} // namespace
