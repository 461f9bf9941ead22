#include "platform/archive_request_policy.h"
#include "platform/page_downloads.h"
#include "tests/support/loopback_server.h"
#include "utilities/moddelay.h"

#include <gtest/gtest.h>

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
    PoliteRun(const std::vector<std::string>& urls, platform::ArchiveRequestPolicy& policy)
        : downloads(
              urls, 4,
              [this](std::size_t index, DownloadResult result) {
                  results.emplace(index, std::move(result));
              },
              {}, &policy) {}
    std::map<std::size_t, DownloadResult> results;
    platform::PageDownloads downloads;
};

TEST(ArchiveDownloads, TwoConnectionsAtMostAndOneStartASecond) {
    LoopbackArchive archive(std::chrono::milliseconds(1500), -1, "");
    platform::ArchiveRequestPolicy policy(archive.base);
    PoliteRun run(archive.urls(4), policy);
    ASSERT_TRUE(moddelay::pump_until([&] { return run.downloads.done(); }, 30000));

    ASSERT_EQ(run.results.size(), 4U);
    for (const auto& [index, result] : run.results) {
        EXPECT_EQ(result.body, "capture " + std::to_string(index));
    }
    const std::lock_guard lock(archive.mutex);
    EXPECT_EQ(archive.most_in_flight, 2);
    for (std::size_t i = 1; i < archive.arrivals.size(); ++i) {
        EXPECT_GE(between(archive.arrivals[i - 1], archive.arrivals[i]).count(), 990) << i;
    }
}

TEST(ArchiveDownloads, A429PausesEveryRequestForItsRetryAfterAndIsRetriedNotFailed) {
    LoopbackArchive archive(std::chrono::milliseconds(0), 0, "3");
    platform::ArchiveRequestPolicy policy(archive.base);
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
    platform::ArchiveRequestPolicy policy(archive.base);
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

} // namespace
