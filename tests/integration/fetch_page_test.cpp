#include "platform/codepage.h"
#include "platform/http.h"
#include "platform/text.h"
#include "tests/support/loopback_server.h"
#include "tests/support/sample_blog_service.h"
#include "tools/sample_blog/blog_model.h"
#include "tools/sample_blog/long_post.h"
#include "utilities/mdgetdata.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

using mdgetdata::FetchPageText;
using platform::FetchFailure;
using platform::HttpError;
using platform::HttpLimits;

namespace {

// The loopback servers below are reached directly whatever proxy the caller has; the sample
// service overrides this while it runs.
[[maybe_unused]] const int g_direct = setenv("no_proxy", "127.0.0.1", 1);

constexpr std::size_t one_mib = 1024 * 1024;

// What http_get raised for the address, and how long it took.
struct Outcome {
    FetchFailure failure = FetchFailure::none;
    std::chrono::steady_clock::duration took{};
};

Outcome fetch(const std::string& url, const HttpLimits& limits) {
    const auto start = std::chrono::steady_clock::now();
    Outcome outcome;
    try {
        platform::http_get(url, limits);
    } catch (const HttpError& error) {
        outcome.failure = error.failure();
    }
    outcome.took = std::chrono::steady_clock::now() - start;
    return outcome;
}

TEST(FetchPage, PagesUpToTheSizeLimitArriveWholeLargerOrEndlessOnesRaise) {
    const testing_support::SampleBlogService service;
    const HttpLimits limits{.max_body_bytes = one_mib};
    for (const std::string form : {"large/", "large-chunked/"}) {
        SCOPED_TRACE(form);
        const std::string url = "http://hi.baidu.com/_sample/" + form;
        EXPECT_EQ(platform::http_get(url + std::to_string(one_mib), limits),
                  sample_blog::long_post_bytes(0, one_mib, one_mib));
        EXPECT_EQ(fetch(url + std::to_string(one_mib + 1), limits).failure,
                  FetchFailure::too_large);
    }
    // The page limit a caller gets when it names none.
    EXPECT_EQ(fetch("http://hi.baidu.com/_sample/endless", {}).failure, FetchFailure::too_large);
}

TEST(FetchPage, TimeLimitsEndPagesThatNeverAnswerOrNeverFinish) {
    using std::chrono::milliseconds;
    using std::chrono::seconds;
    const testing_support::SampleBlogService service;
    const Outcome hung = fetch("http://hi.baidu.com/_sample/hang",
                               {.connect_timeout_seconds = 20, .stall_seconds = 2});
    EXPECT_EQ(hung.failure, FetchFailure::stalled);
    EXPECT_GE(hung.took, milliseconds(1500));
    EXPECT_LT(hung.took, seconds(15)); // the stall limit, not the connect time-out

    // A byte every 100 ms never stalls; only the total limit ends it.
    const Outcome trickled = fetch("http://hi.baidu.com/_sample/trickle", {.total_seconds = 2});
    EXPECT_EQ(trickled.failure, FetchFailure::too_long);
    EXPECT_GE(trickled.took, milliseconds(1500));
    EXPECT_LT(trickled.took, seconds(15));
}

TEST(FetchPage, AnAnswerSlowerThanTheConnectTimeOutButWithinTheStallLimitArrives) {
    const testing_support::LoopbackServer server([](httplib::Server& server) {
        server.Get("/late", [](const httplib::Request&, httplib::Response& response) {
            std::this_thread::sleep_for(std::chrono::milliseconds(3000));
            response.set_content("late", "text/plain");
        });
    });
    EXPECT_EQ(platform::http_get(server.base_url() + "/late",
                                 {.connect_timeout_seconds = 1, .stall_seconds = 20}),
              "late");
}

TEST(FetchPage, AddressesGoOutAsABrowserSendsThem) {
    const testing_support::SampleBlogService service;
    for (const std::u16string user : {u"my name", u"空间"}) {
        EXPECT_EQ(FetchPageText(u"http://hi.baidu.com/" + user + u"/blog#top"),
                  sample_blog::SampleBlog(user).list_page(0).html);
    }
    EXPECT_EQ(service.request_log(), "http://hi.baidu.com/my%20name/blog\n"
                                     "http://hi.baidu.com/%E7%A9%BA%E9%97%B4/blog\n"
                                     "/_sample/requests\n");
}

TEST(FetchPage, OnlyHttpIsFetchedOrFollowedAndNoResponseRaises) {
    const testing_support::LoopbackServer server([](httplib::Server& server) {
        server.Get("/moved", [](const httplib::Request&, httplib::Response& response) {
            response.set_redirect("/target");
        });
        server.Get("/target", [](const httplib::Request&, httplib::Response& response) {
            response.set_content("\xB5\xBD\xC1\xCB", "text/html; charset=gbk"); // 到了
        });
        server.Get("/to_file", [](const httplib::Request&, httplib::Response& response) {
            response.set_redirect("file:///etc/passwd");
        });
        server.Get("/loop", [](const httplib::Request&, httplib::Response& response) {
            response.set_redirect("/loop");
        });
    });
    const std::u16string base = platform::utf8_to_utf16(server.base_url());
    EXPECT_EQ(FetchPageText(base + u"/moved"), u"到了");
    EXPECT_THROW(FetchPageText(base + u"/to_file"), HttpError);
    EXPECT_THROW(FetchPageText(base + u"/loop"), HttpError);
    // A readable file: without the protocol rule this would come back as text.
    EXPECT_THROW(FetchPageText(u"file:///etc/passwd"), HttpError);
    const testing_support::LoopbackSocket refusing(false);
    EXPECT_THROW(FetchPageText(platform::utf8_to_utf16(refusing.url)), HttpError);
}

} // namespace
