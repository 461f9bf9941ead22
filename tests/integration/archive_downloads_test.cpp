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
#include <stdexcept>
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

TEST(ArchiveDownloads, TwoConnectionsAtMostAndFourStartsASecond) {
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
    // Starts a quarter of a second apart; on a loaded machine an arrival may lag its start by
    // more than the one before it did (the first opens its connection), so this only tells
    // paced starts from unpaced ones. The exact spacing is the politeness state's own test.
    for (std::size_t i = 1; i < archive.arrivals.size(); ++i) {
        EXPECT_GE(between(archive.arrivals[i - 1], archive.arrivals[i]).count(), 100) << i;
    }
    // The second connection is not kept waiting for a second, as it was at the old pace.
    ASSERT_EQ(archive.arrivals.size(), 4U);
    EXPECT_LT(between(archive.arrivals[0], archive.arrivals[1]).count(), 750);
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

TEST(ArchiveDownloads, OneStateGovernsTheArchiveHostWhateverItsSchemeAndPort) {
    const archive::ArchiveRequestPolicy policy("http://web.archive.org");
    for (const char* governed :
         {"http://web.archive.org/web/2012/x", "https://web.archive.org/web/2012/x",
          "HTTPS://Web.Archive.Org:8443/cdx/search/cdx?url=x", "http://web.archive.org",
          "https://user@web.archive.org:443?x"}) {
        EXPECT_TRUE(policy.governs(governed)) << governed;
    }
    for (const char* other :
         {"http://web.archive.org.example.com/web/2012/x", "http://example.com/?web.archive.org",
          "ftp://web.archive.org/web/2012/x", "http://archive.org/web/2012/x",
          "web.archive.org/web/2012/x"}) {
        EXPECT_FALSE(policy.governs(other)) << other;
    }
    // An archive given over https is asked over https only, with the http port gone; an archive
    // given over http, and every other server, as they are.
    const archive::ArchiveRequestPolicy secure("https://web.archive.org");
    const std::vector<std::pair<std::string, std::string>> upgraded{
        {"http://web.archive.org/web/2012im_/http://x/a.jpg?b#c",
         "https://web.archive.org/web/2012im_/http://x/a.jpg?b#c"},
        {"HTTP://Web.Archive.Org:80/web/2012/x", "https://Web.Archive.Org/web/2012/x"},
        {"http://web.archive.org:8080/web/2012/x", "https://web.archive.org:8080/web/2012/x"},
        {"http://web.archive.org?x", "https://web.archive.org?x"},
        {"https://web.archive.org/web/2012/x", "https://web.archive.org/web/2012/x"},
        {"http://hi.baidu.com/web.archive.org", "http://hi.baidu.com/web.archive.org"},
        {"ftp://web.archive.org/web/2012/x", "ftp://web.archive.org/web/2012/x"}};
    for (const auto& [asked, sent] : upgraded) {
        EXPECT_EQ(secure.address_of(asked), sent) << asked;
    }
    EXPECT_EQ(policy.address_of("http://web.archive.org/web/2012/x"),
              "http://web.archive.org/web/2012/x");
    // The harvest's policy is the save's and the pictures', whichever scheme each asks with;
    // from the first run over https on, every run asks over https.
    archive::ArchivePolicies policies;
    const std::string http = "http://web.archive.org/web/2012/x";
    archive::ArchiveRequestPolicy& first = policies.for_run("http://web.archive.org");
    EXPECT_EQ(first.address_of(http), http);
    EXPECT_EQ(&first, &policies.for_run("https://WEB.archive.org:443"));
    EXPECT_EQ(first.address_of(http), "https://web.archive.org/web/2012/x");
    policies.for_run("http://web.archive.org");
    EXPECT_EQ(first.address_of(http), "https://web.archive.org/web/2012/x");
}

// A loopback archive reached as 127.0.0.1 and the same server as "localhost", which the policy
// does not govern: a page elsewhere.
TEST(ArchiveDownloads, EveryHopIntoTheArchiveIsGovernedAndOnlyThoseAndAtMostFive) {
    std::mutex mutex;
    std::vector<std::string> arrivals;
    int port = 0;
    std::atomic<bool> refused_once = false;
    testing_support::LoopbackServer server([&](httplib::Server& routes) {
        routes.Get(R"(/(\w+)/(\d+))",
                   [&](const httplib::Request& request, httplib::Response& response) {
                       {
                           const std::lock_guard lock(mutex);
                           arrivals.push_back(request.get_header_value("Host") + request.path);
                       }
                       const std::string route = request.matches[1].str();
                       const int hop = std::stoi(request.matches[2].str());
                       const std::string archive = "http://127.0.0.1:" + std::to_string(port);
                       const std::string elsewhere = "http://localhost:" + std::to_string(port);
                       if (route == "out") {
                           // archive -> elsewhere -> elsewhere -> archive -> the capture,
                           // which first answers 429
                           if (hop == 4 && !refused_once.exchange(true)) {
                               response.status = 429;
                               response.set_header("Retry-After", "1");
                           } else if (hop == 4) {
                               response.set_content("capture", "text/html");
                           } else {
                               response.set_redirect((hop == 3 ? archive : elsewhere) + "/out/" +
                                                     std::to_string(hop + 1));
                           }
                       } else if (route == "circle") {
                           response.set_redirect("/circle/" + std::to_string(hop + 1));
                       } else {
                           response.set_redirect(elsewhere + "/live/" + std::to_string(hop + 1));
                       }
                   });
    });
    port = std::stoi(server.base_url().substr(server.base_url().rfind(':') + 1));
    archive::ArchiveRequestPolicy policy(server.base_url(), quick_limits());
    const std::string base = server.base_url();
    {
        PoliteRun run({base + "/out/0"}, policy);
        ASSERT_TRUE(moddelay::pump_until([&] { return run.downloads.done(); }, 30000));
        EXPECT_EQ(run.results[0].body, "capture");
        EXPECT_EQ(run.results[0].address, base + "/out/4");
    }
    const std::string host = "127.0.0.1:" + std::to_string(port);
    const std::string local = "localhost:" + std::to_string(port);
    {
        const std::lock_guard lock(mutex);
        EXPECT_EQ(arrivals,
                  (std::vector<std::string>{host + "/out/0", local + "/out/1", local + "/out/2",
                                            local + "/out/3", host + "/out/4", host + "/out/4"}));
        arrivals.clear();
    }
    const auto start = Clock::now();
    PoliteRun run({base + "/circle/0", base + "/live/0"}, policy);
    ASSERT_TRUE(moddelay::pump_until([&] { return run.downloads.done(); }, 30000));
    EXPECT_EQ(run.results[0].body, std::nullopt);
    EXPECT_EQ(run.results[0].failure, FetchFailure::error);
    EXPECT_EQ(run.results[1].body, std::nullopt);
    const std::lock_guard lock(mutex);
    // The request and five hops; pages elsewhere as curl would follow them: the request, 20 hops.
    EXPECT_EQ(std::ranges::count_if(
                  arrivals,
                  [](const std::string& at) { return at.find("/circle/") != std::string::npos; }),
              6);
    EXPECT_EQ(
        std::ranges::count_if(
            arrivals, [](const std::string& at) { return at.find("/live/") != std::string::npos; }),
        21);
    // Every hop into the archive waited its turn.
    EXPECT_GE(between(start, Clock::now()).count(), 5 * 190);
}

TEST(ArchiveDownloads, ARequestWaitingForAConnectionStartsWhenAnotherDownloadsTransferEnds) {
    LoopbackArchive archive(std::chrono::milliseconds(1500), -1, "");
    archive::ArchiveRequestPolicy policy(archive.base, quick_limits());
    PoliteRun busy(archive.urls(2), policy);
    ASSERT_TRUE(moddelay::pump_until([&] { return policy.running() == 2; }, 5000));
    // Both connections are taken by the other download object; nothing of this one ever ends
    // to wake it.
    PoliteRun waiting({archive.base + "/web/7"}, policy);
    ASSERT_TRUE(moddelay::pump_until([&] { return busy.downloads.done(); }, 30000));
    const auto freed = Clock::now();
    ASSERT_TRUE(moddelay::pump_until([&] { return waiting.downloads.done(); }, 10000));
    EXPECT_EQ(waiting.results[0].body, "capture 7");
    // Started within the wait's bound of the slot freeing, then took its 1.5 s.
    EXPECT_LE(between(freed, Clock::now()).count(), 1500 + 1000);
}

TEST(ArchiveDownloads, CancellingOrAFailingCallbackGivesTheConnectionsBackAtOnce) {
    LoopbackArchive archive(std::chrono::milliseconds(1500), -1, "");
    archive::ArchiveRequestPolicy policy(archive.base, quick_limits());
    {
        auto cancelled = std::make_unique<PoliteRun>(archive.urls(1), policy);
        ASSERT_TRUE(moddelay::pump_until([&] { return policy.running() == 1; }, 5000));
        PoliteRun other({archive.base + "/web/5"}, policy);
        ASSERT_TRUE(moddelay::pump_until([&] { return policy.running() == 2; }, 5000));
        cancelled->downloads.cancel();
        EXPECT_EQ(policy.running(), 1);
        cancelled.reset();
        EXPECT_EQ(policy.running(), 1);
        ASSERT_TRUE(moddelay::pump_until([&] { return other.downloads.done(); }, 30000));
        EXPECT_EQ(other.results[0].body, "capture 5");
        EXPECT_EQ(policy.running(), 0);
    }
    {
        // Destroyed while running, and a callback that throws while the other transfer runs.
        auto dropped = std::make_unique<PoliteRun>(archive.urls(1), policy);
        ASSERT_TRUE(moddelay::pump_until([&] { return policy.running() == 1; }, 5000));
        dropped.reset();
        EXPECT_EQ(policy.running(), 0);
    }
    LoopbackArchive quick(std::chrono::milliseconds(0), -1, "");
    LoopbackArchive slow(std::chrono::milliseconds(3000), -1, "");
    archive::ArchiveRequestPolicy shared(quick.base, quick_limits());
    platform::PageDownloads throwing(
        {slow.base + "/web/1", quick.base + "/web/2"}, 2,
        [](std::size_t, DownloadResult) { throw std::runtime_error("the caller failed"); }, {},
        &shared);
    ASSERT_TRUE(moddelay::pump_until([&] { return throwing.done(); }, 10000));
    EXPECT_THROW(throwing.rethrow_failure(), std::runtime_error);
    EXPECT_EQ(shared.running(), 0);
}

// The archive's policy, noting each attempt it lets begin.
class NotingPolicy : public platform::RequestPolicy {
public:
    explicit NotingPolicy(archive::ArchiveRequestPolicy& policy) : m_policy(policy) {}
    bool governs(const std::string& url) const override { return m_policy.governs(url); }
    std::string address_of(const std::string& url) const override {
        return m_policy.address_of(url);
    }
    Permission ask(const std::string& url) const override { return m_policy.ask(url); }
    void begin(const std::string& url, Attempts& request) override {
        m_policy.begin(url, request);
        begun.push_back(url);
    }
    Next end(Attempts& request, const Answer& answer) override {
        return m_policy.end(request, answer);
    }
    long connect_timeout_seconds() const override { return m_policy.connect_timeout_seconds(); }

    std::vector<std::string> begun;

private:
    archive::ArchiveRequestPolicy& m_policy;
};

TEST(ArchiveDownloads, OverHttpsA429IsPausedAndNoHopGoesThroughTheArchivesHttpRedirect) {
    const std::string blog = "web.archive.org/web/2012/http://hi.baidu.com/someone/blog";
    const std::string capture =
        "web.archive.org/web/20120221101500/http://hi.baidu.com/someone/blog";
    const testing_support::SampleBlogService service(
        {"--archive", "full", "--https", "--archive-429-first", "replay=1", "--archive-retry-after",
         "1", "--archive-block-impatient", "1"});
    archive::ArchiveRequestPolicy policy("https://web.archive.org", quick_limits());
    const auto start = Clock::now();
    {
        NotingPolicy noting(policy);
        std::optional<DownloadResult> result;
        platform::PageDownloads download(
            {"http://" + blog}, 4,
            [&](std::size_t, DownloadResult answer) { result = std::move(answer); }, {}, &noting);
        ASSERT_TRUE(moddelay::pump_until([&] { return download.done(); }, 30000));
        ASSERT_TRUE(result && result->body) << (result ? result->error : "");
        EXPECT_EQ(result->status, 200);
        EXPECT_EQ(result->address, "https://" + capture);
        // The address and the archive's redirect to the capture name http, which the archive
        // would only move to https at the cost of a turn each.
        EXPECT_EQ(noting.begun, (std::vector<std::string>{"https://" + blog, "https://" + blog,
                                                          "https://" + capture}));
    }
    // The 429 came first, and its Retry-After was waited out: a request within it would have
    // shut everything out.
    EXPECT_GE(between(start, Clock::now()).count(), 1000);
    EXPECT_FALSE(policy.blocked());
    const std::string log = service.request_log();
    // The last line is the log's own request.
    EXPECT_EQ(log, "https://" + blog + "\nhttps://" + blog + "\nhttps://" + capture +
                       "\n/_sample/requests\n");
    EXPECT_EQ(archive_requests(service), 3) << log;

    // Without the extra authority the stand-in's certificate is refused, not ignored.
    const std::string authority = std::getenv("PELLUMO_EXTRA_CA_FILE");
    unsetenv("PELLUMO_EXTRA_CA_FILE");
    PoliteRun untrusted({"https://" + blog}, policy);
    const bool ended = moddelay::pump_until([&] { return untrusted.downloads.done(); }, 30000);
    setenv("PELLUMO_EXTRA_CA_FILE", authority.c_str(), 1);
    ASSERT_TRUE(ended);
    EXPECT_EQ(untrusted.results[0].body, std::nullopt);
    EXPECT_EQ(untrusted.results[0].failure, FetchFailure::error);
}

TEST(ArchiveDownloads, OverHttpsTwoConnectionsAreKeptAliveForEveryDownloadOfTheRun) {
    const std::string capture =
        "https://web.archive.org/web/20120221101500/http://hi.baidu.com/someone/blog";
    const testing_support::SampleBlogService service({"--archive", "full", "--https"});
    archive::ArchiveRequestPolicy policy("https://web.archive.org", quick_limits());
    // Three download objects one after another, as a harvest, a save and its pictures make them.
    for (int run_number = 0; run_number < 3; ++run_number) {
        PoliteRun run(std::vector<std::string>(5, capture), policy);
        ASSERT_TRUE(moddelay::pump_until([&] { return run.downloads.done(); }, 30000));
        ASSERT_EQ(run.results.size(), 5U);
        for (const auto& [index, result] : run.results) {
            EXPECT_EQ(result.status, 200) << run_number << " " << index << " " << result.error;
        }
    }
    EXPECT_EQ(archive_requests(service), 15);
    const int connections = service.archive_connections();
    EXPECT_GE(connections, 1);
    EXPECT_LE(connections, 2);
}
