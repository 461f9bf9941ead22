#include "platform/page_downloads.h"

#include "platform/codepage.h"
#include "platform/http.h"
#include "platform/text.h"
#include "tests/support/loopback_server.h"
#include "tests/support/sample_blog_service.h"
#include "tools/sample_blog/blog_model.h"
#include "utilities/moddelay.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using platform::PageDownloads;

namespace {

constexpr std::uint32_t generous_limit_ms = 60000;

struct Report {
    std::size_t index = 0;
    std::optional<std::string> body;
    long status = 0;
    std::size_t running = 0; // transfers still running when the report came
};

// Owns a PageDownloads and keeps what its callback saw. `react` runs after each report.
class Recorder {
public:
    Recorder(std::vector<std::string> urls, std::size_t max_parallel,
             std::function<void(Recorder&)> react = {})
        : m_react(std::move(react)),
          m_downloads(std::make_unique<PageDownloads>(
              std::move(urls), max_parallel,
              [this](std::size_t index, std::optional<std::string> body, long status) {
                  m_reports.push_back(
                      {index, std::move(body), status, m_downloads->running_count()});
                  if (m_react) {
                      m_react(*this);
                  }
              })) {}

    bool run_to_end() {
        return moddelay::pump_until([this] { return !m_downloads || m_downloads->done(); },
                                    generous_limit_ms);
    }
    void pump_for(std::uint32_t ms) {
        moddelay::pump_until([] { return false; }, ms);
    }

    std::unique_ptr<PageDownloads>& downloads() { return m_downloads; }
    const std::vector<Report>& reports() const { return m_reports; }
    std::vector<std::size_t> order() const {
        std::vector<std::size_t> indices;
        for (const Report& report : m_reports) {
            indices.push_back(report.index);
        }
        return indices;
    }

private:
    std::vector<Report> m_reports;
    std::function<void(Recorder&)> m_react;
    std::unique_ptr<PageDownloads> m_downloads;
};

// Sets an environment variable for one test and puts the old value back.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const char* value) : m_name(name) {
        if (const char* old = std::getenv(name)) {
            m_old = old;
        }
        setenv(name, value, 1);
    }
    ~ScopedEnvironment() {
        if (m_old) {
            setenv(m_name.c_str(), m_old->c_str(), 1);
        } else {
            unsetenv(m_name.c_str());
        }
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::string m_name;
    std::optional<std::string> m_old;
};

// Loopback servers of these tests are reached directly, whatever proxy the caller has.
struct DirectConnections {
    ScopedEnvironment no_proxy{"no_proxy", "*"};
};

// A loopback TCP socket: bound only (connections are refused) or listening without ever
// accepting (connections open, requests get no answer).
class LoopbackSocket {
public:
    explicit LoopbackSocket(bool listening) : m_fd(socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (m_fd < 0 || bind(m_fd, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
            (listening && listen(m_fd, 8) != 0)) {
            throw std::runtime_error("cannot set up a loopback socket");
        }
        m_port = ntohs(address.sin_port);
    }
    ~LoopbackSocket() { close(m_fd); }
    LoopbackSocket(const LoopbackSocket&) = delete;
    LoopbackSocket& operator=(const LoopbackSocket&) = delete;

    std::string url() const { return "http://127.0.0.1:" + std::to_string(m_port) + "/"; }

    // Takes a waiting connection and reads until the peer closes it; false when it stays open.
    bool next_connection_gets_closed() const {
        const int connection = accept(m_fd, nullptr, nullptr);
        if (connection < 0) {
            return false;
        }
        timeval patience{10, 0};
        setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
        char buffer[4096];
        ssize_t got = 0;
        while ((got = recv(connection, buffer, sizeof buffer, 0)) > 0) {
        }
        const bool closed = got == 0 || errno == ECONNRESET;
        close(connection);
        return closed;
    }

private:
    int m_fd;
    int m_port = 0;
};

// Answers /page/N with "page N" after a delay and records how many requests it served at once.
class CountingServer {
public:
    explicit CountingServer(std::chrono::milliseconds delay)
        : m_server([this, delay](httplib::Server& server) {
              server.Get(R"(/page/(\d+))", [this, delay](const httplib::Request& request,
                                                         httplib::Response& response) {
                  const int now = ++m_in_flight;
                  int seen = m_most_in_flight.load();
                  while (now > seen && !m_most_in_flight.compare_exchange_weak(seen, now)) {
                  }
                  std::this_thread::sleep_for(delay);
                  --m_in_flight;
                  response.set_content("page " + request.matches[1].str(), "text/plain");
              });
          }) {}

    std::string url(std::size_t page) const {
        return m_server.base_url() + "/page/" + std::to_string(page);
    }
    std::vector<std::string> urls(std::size_t count) const {
        std::vector<std::string> all;
        for (std::size_t page = 0; page < count; ++page) {
            all.push_back(url(page));
        }
        return all;
    }
    int most_in_flight() const { return m_most_in_flight.load(); }

private:
    std::atomic<int> m_in_flight{0};
    std::atomic<int> m_most_in_flight{0};
    testing_support::LoopbackServer m_server; // last: its handlers use the counters
};

void expect_each_index_once(const std::vector<Report>& reports, std::size_t count) {
    std::multiset<std::size_t> seen;
    for (const Report& report : reports) {
        seen.insert(report.index);
    }
    ASSERT_EQ(reports.size(), count);
    for (std::size_t index = 0; index < count; ++index) {
        EXPECT_EQ(seen.count(index), 1U) << "index " << index;
    }
}

TEST(PageDownloadsFromTheSampleService, EachPostOnceWithTheBodyABlockingGetReturns) {
    const testing_support::SampleBlogService service(
        {"--posts", "20", "--latency-ms", "200", "--not-found", "5"});
    const sample_blog::SampleBlog blog(u"pellumo", {.posts = 20});
    std::vector<std::string> urls;
    for (int number = 1; number <= blog.post_count(); ++number) {
        urls.push_back(platform::utf16_to_utf8(blog.post_address(number)));
    }
    const std::size_t not_found = 4; // post 5
    const std::size_t empty = urls.size();
    urls.push_back("http://hi.baidu.com/_sample/empty");

    Recorder recorder(urls, 4);
    ASSERT_TRUE(recorder.run_to_end());
    expect_each_index_once(recorder.reports(), urls.size());
    EXPECT_EQ(recorder.downloads()->finished_count(), urls.size());
    for (const Report& report : recorder.reports()) {
        ASSERT_TRUE(report.body.has_value()) << urls[report.index];
        EXPECT_EQ(*report.body, platform::http_get(urls[report.index])) << urls[report.index];
        EXPECT_LE(report.running, 4U);
    }
    const auto report_of = [&](std::size_t index) {
        return *std::find_if(recorder.reports().begin(), recorder.reports().end(),
                             [&](const Report& report) { return report.index == index; });
    };
    const auto body_of = [&](std::size_t index) { return report_of(index).body.value(); };
    EXPECT_EQ(report_of(not_found).status, 404);
    EXPECT_EQ(report_of(0).status, 200);
    // The error page comes back like any page; an empty body is not a failure.
    EXPECT_NE(platform::decode_gbk(body_of(not_found)).find(sample_blog::k_not_found_text),
              std::u16string::npos);
    EXPECT_EQ(body_of(empty), "");
}

TEST(PageDownloadsParallelism, NeverMoreThanTheLimitAtOnceAndTheLimitIsUsed) {
    DirectConnections direct;
    for (const std::size_t limit : {std::size_t{1}, std::size_t{2}, std::size_t{4}}) {
        SCOPED_TRACE(limit);
        CountingServer server(std::chrono::milliseconds(300));
        Recorder recorder(server.urls(8), limit);
        ASSERT_TRUE(recorder.run_to_end());
        expect_each_index_once(recorder.reports(), 8);
        EXPECT_EQ(server.most_in_flight(), static_cast<int>(limit));
        for (const Report& report : recorder.reports()) {
            EXPECT_LE(report.running, limit);
            EXPECT_EQ(report.body, "page " + std::to_string(report.index));
        }
    }
}

TEST(PageDownloadsParallelism, OneAtATimeEndsInListOrder) {
    DirectConnections direct;
    CountingServer server(std::chrono::milliseconds(0));
    Recorder recorder(server.urls(12), 1);
    ASSERT_TRUE(recorder.run_to_end());
    std::vector<std::size_t> expected(12);
    for (std::size_t index = 0; index < expected.size(); ++index) {
        expected[index] = index;
    }
    EXPECT_EQ(recorder.order(), expected);
}

TEST(PageDownloadsParallelism, TheMainContextKeepsBeingServed) {
    DirectConnections direct;
    CountingServer server(std::chrono::milliseconds(300));
    int ticks = 0;
    const guint ticker = g_timeout_add(
        20,
        [](gpointer count) -> gboolean {
            ++*static_cast<int*>(count);
            return G_SOURCE_CONTINUE;
        },
        &ticks);
    std::vector<int> ticks_at_report;
    Recorder recorder(server.urls(8), 4, [&](Recorder&) { ticks_at_report.push_back(ticks); });
    ASSERT_TRUE(recorder.run_to_end());
    g_source_remove(ticker);
    ASSERT_EQ(ticks_at_report.size(), 8U);
    // The second wave of four takes 300 ms, during which the ticker must keep running.
    EXPECT_GT(ticks_at_report.back(), ticks_at_report.front());
}

TEST(PageDownloadsFailures, TransportFailuresGiveNoBodyAndLeaveTheOthersAlone) {
    DirectConnections direct;
    const LoopbackSocket refusing(false);
    CountingServer server(std::chrono::milliseconds(0));
    Recorder recorder({refusing.url(), "file:///etc/hostname", server.url(7), "gopher://127.0.0.1/",
                       server.url(8)},
                      2);
    ASSERT_TRUE(recorder.run_to_end());
    expect_each_index_once(recorder.reports(), 5);
    for (const Report& report : recorder.reports()) {
        switch (report.index) {
        case 2:
            EXPECT_EQ(report.body, "page 7");
            break;
        case 4:
            EXPECT_EQ(report.body, "page 8");
            break;
        default:
            EXPECT_EQ(report.body, std::nullopt) << "index " << report.index;
        }
    }
}

TEST(PageDownloadsFailures, AnAddressCurlRefusesIsReportedLaterFromTheMainContext) {
    // libcurl refuses addresses longer than 8 MB when the option is set.
    const std::string huge = "http://127.0.0.1/" + std::string(9 * 1024 * 1024, 'a');
    Recorder recorder({huge}, 1);
    EXPECT_TRUE(recorder.reports().empty());
    EXPECT_FALSE(recorder.downloads()->done());
    ASSERT_TRUE(recorder.run_to_end());
    ASSERT_EQ(recorder.reports().size(), 1U);
    EXPECT_EQ(recorder.reports()[0].body, std::nullopt);
}

TEST(PageDownloadsFailures, ABadLimitOrAnEmptyListIsHandled) {
    EXPECT_THROW(PageDownloads({"http://127.0.0.1/"}, 0, [](std::size_t, auto, long) {}),
                 std::invalid_argument);
    Recorder recorder({}, 4);
    EXPECT_TRUE(recorder.downloads()->done());
    recorder.pump_for(50);
    EXPECT_TRUE(recorder.reports().empty());
}

TEST(PageDownloadsStopping, CancelAbortsHangingTransfersAndSilencesCallbacks) {
    DirectConnections direct;
    const LoopbackSocket silent(true);
    Recorder recorder({silent.url(), silent.url(), silent.url()}, 2);
    PageDownloads& downloads = *recorder.downloads();
    moddelay::pump_until([&] { return downloads.running_count() == 2; }, generous_limit_ms);
    recorder.pump_for(200);
    ASSERT_EQ(downloads.running_count(), 2U);

    downloads.cancel();
    EXPECT_TRUE(downloads.done());
    EXPECT_EQ(downloads.running_count(), 0U);
    recorder.pump_for(300);
    EXPECT_TRUE(recorder.reports().empty());
    // Both connections were really dropped, not left hanging.
    EXPECT_TRUE(silent.next_connection_gets_closed());
    EXPECT_TRUE(silent.next_connection_gets_closed());
}

TEST(PageDownloadsStopping, AWaitOnAHangingTransferCostsAlmostNoCpu) {
    DirectConnections direct;
    const LoopbackSocket silent(true);
    Recorder recorder({silent.url()}, 1);
    const std::clock_t before = std::clock();
    recorder.pump_for(1000);
    const double cpu_seconds = static_cast<double>(std::clock() - before) / CLOCKS_PER_SEC;
    EXPECT_LT(cpu_seconds, 0.1);
    EXPECT_TRUE(recorder.reports().empty());
}

TEST(PageDownloadsStopping, CancelOrDestructionFromInsideACallbackIsSafe) {
    DirectConnections direct;
    CountingServer server(std::chrono::milliseconds(0));
    {
        Recorder recorder(server.urls(16), 4, [](Recorder& self) { self.downloads()->cancel(); });
        ASSERT_TRUE(recorder.run_to_end());
        recorder.pump_for(200);
        EXPECT_EQ(recorder.reports().size(), 1U);
        EXPECT_EQ(recorder.downloads()->finished_count(), 1U);
    }
    {
        Recorder recorder(server.urls(16), 4, [](Recorder& self) { self.downloads().reset(); });
        ASSERT_TRUE(recorder.run_to_end());
        recorder.pump_for(200);
        EXPECT_EQ(recorder.reports().size(), 1U);
        EXPECT_EQ(recorder.downloads(), nullptr);
    }
}

TEST(PageDownloadsStopping, ACallbackThatThrowsStopsTheRestAndIsRethrown) {
    DirectConnections direct;
    CountingServer server(std::chrono::milliseconds(0));
    Recorder recorder(server.urls(10), 3, [](Recorder&) { throw std::runtime_error("disk full"); });
    ASSERT_TRUE(recorder.run_to_end());
    recorder.pump_for(200);
    EXPECT_EQ(recorder.reports().size(), 1U);
    EXPECT_THROW(recorder.downloads()->rethrow_failure(), std::runtime_error);
}

} // namespace
