#include "platform/codepage.h"
#include "platform/http.h"
#include "platform/text.h"
#include "tests/support/loopback_server.h"
#include "tests/support/sample_blog_service.h"
#include "tools/sample_blog/blog_model.h"
#include "utilities/mdgetdata.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <cstdlib>
#include <netinet/in.h>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

using mdgetdata::FetchPageText;
using platform::HttpError;

namespace {

// The loopback servers below are reached directly whatever proxy the caller has; the sample
// service overrides this while it runs.
[[maybe_unused]] const int g_direct = setenv("no_proxy", "127.0.0.1", 1);

// A loopback address whose port is bound but not listening, so connecting to it is refused.
struct RefusingAddress {
    RefusingAddress() {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            throw std::runtime_error("no loopback port to refuse");
        }
        url = u"http://127.0.0.1:" + platform::decimal(ntohs(address.sin_port)) + u"/u/blog";
    }
    ~RefusingAddress() { close(fd); }
    RefusingAddress(const RefusingAddress&) = delete;

    int fd = socket(AF_INET, SOCK_STREAM, 0);
    std::u16string url;
};

TEST(FetchPage, BodiesComeBackDecodedFromGbkWhateverTheStatusOrDeclaredCharset) {
    const testing_support::SampleBlogService service;
    EXPECT_EQ(FetchPageText(u"http://hi.baidu.com/_sample/missing"), sample_blog::not_found_page());
    EXPECT_EQ(FetchPageText(u"http://hi.baidu.com/_sample/empty"), u"");
    const std::u16string utf8 = FetchPageText(u"http://hi.baidu.com/_sample/utf8");
    EXPECT_EQ(utf8, platform::decode_gbk(platform::utf16_to_utf8(sample_blog::utf8_sample_page())));
    EXPECT_EQ(utf8.find(sample_blog::k_utf8_sample_text), std::u16string::npos);
}

TEST(FetchPage, PageThatNeverAnswersEndsWithinTheStallLimit) {
    const testing_support::SampleBlogService service;
    const platform::HttpLimits limits{.connect_timeout_seconds = 5, .stall_seconds = 2};
    const auto start = std::chrono::steady_clock::now();
    EXPECT_THROW(platform::http_get("http://hi.baidu.com/_sample/hang", limits), HttpError);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::seconds(limits.stall_seconds));
    // Far below the default stall time, so the limit given was the one applied.
    EXPECT_LT(waited, std::chrono::seconds(platform::HttpLimits{}.stall_seconds));
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
    const RefusingAddress refusing;
    EXPECT_THROW(FetchPageText(refusing.url), HttpError);
}

} // namespace
