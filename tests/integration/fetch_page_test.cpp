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
#include <memory>
#include <netinet/in.h>
#include <optional>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

using mdgetdata::FetchPageText;
using platform::HttpError;

namespace {

// Sets or removes an environment variable for one scope.
class EnvironmentOverride {
public:
    EnvironmentOverride(const char* name, const char* value) : m_name(name) {
        if (const char* previous = std::getenv(name)) {
            m_previous = previous;
        }
        if (value) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }
    ~EnvironmentOverride() {
        if (m_previous) {
            setenv(m_name, m_previous->c_str(), 1);
        } else {
            unsetenv(m_name);
        }
    }
    EnvironmentOverride(const EnvironmentOverride&) = delete;
    EnvironmentOverride& operator=(const EnvironmentOverride&) = delete;

private:
    const char* m_name;
    std::optional<std::string> m_previous;
};

// A loopback port that is bound but not listening, so connecting to it is refused at once.
class RefusingPort {
public:
    RefusingPort() : m_socket(socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (m_socket < 0 || bind(m_socket, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            getsockname(m_socket, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            close(m_socket);
            throw std::runtime_error("no loopback port to refuse");
        }
        m_port = ntohs(address.sin_port);
    }
    ~RefusingPort() { close(m_socket); }
    RefusingPort(const RefusingPort&) = delete;
    RefusingPort& operator=(const RefusingPort&) = delete;

    int port() const { return m_port; }

private:
    int m_socket;
    int m_port = 0;
};

// Serves redirects on loopback; reached directly, not through the sample service.
class RedirectServer {
public:
    RedirectServer()
        : m_server([](httplib::Server& server) {
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
          }) {}

    std::u16string address(std::string_view path) const {
        return platform::utf8_to_utf16(m_server.base_url() + std::string(path));
    }

private:
    testing_support::LoopbackServer m_server;
};

class FetchPage : public testing::Test {
protected:
    static void SetUpTestSuite() {
        s_service = std::make_unique<testing_support::SampleBlogService>(
            std::vector<std::string>{"--posts", "5", "--per-page", "2"});
    }
    static void TearDownTestSuite() { s_service.reset(); }

    static inline std::unique_ptr<testing_support::SampleBlogService> s_service;
    const sample_blog::SampleBlog m_blog{u"pellumo", {.posts = 5, .per_page = 2}};
};

TEST_F(FetchPage, ListPagesDecodeFromGbk) {
    for (const int k : {0, m_blog.last_page_index()}) {
        const std::u16string text = FetchPageText(m_blog.list_page_address(k));
        EXPECT_EQ(text, m_blog.list_page(k).html) << "list page " << k;
    }
    const std::u16string first = FetchPageText(m_blog.list_page_address(0));
    EXPECT_NE(first.find(u"[下一页]"), std::u16string::npos);
}

TEST_F(FetchPage, ErrorPageBodyIsReturnedLikeAnyOther) {
    EXPECT_EQ(FetchPageText(u"http://hi.baidu.com/_sample/missing"), sample_blog::not_found_page());
}

TEST_F(FetchPage, EmptyBodyGivesEmptyText) {
    EXPECT_EQ(FetchPageText(u"http://hi.baidu.com/_sample/empty"), u"");
}

TEST_F(FetchPage, Utf8PageIsDecodedAsGbkAllTheSame) {
    const std::u16string text = FetchPageText(u"http://hi.baidu.com/_sample/utf8");
    const std::string utf8_bytes = platform::utf16_to_utf8(sample_blog::utf8_sample_page());
    EXPECT_EQ(text, platform::decode_gbk(utf8_bytes));
    EXPECT_EQ(text.find(sample_blog::k_utf8_sample_text), std::u16string::npos);
}

TEST_F(FetchPage, PageThatNeverAnswersEndsWithinTheStallLimit) {
    const platform::HttpLimits limits{.connect_timeout_seconds = 5, .stall_seconds = 2};
    const auto start = std::chrono::steady_clock::now();
    EXPECT_THROW(platform::http_get("http://hi.baidu.com/_sample/hang", limits), HttpError);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::seconds(limits.stall_seconds));
    // Far below the default stall time, so the limit given was the one applied.
    EXPECT_LT(waited, std::chrono::seconds(platform::HttpLimits{}.stall_seconds));
}

// Loopback servers of the test's own, reached without the sample service as a proxy.
class FetchPageDirect : public testing::Test {
private:
    const EnvironmentOverride m_no_proxy{"http_proxy", nullptr};
};

TEST_F(FetchPageDirect, RefusedConnectionRaisesNamingTheAddress) {
    const RefusingPort refusing;
    const std::string address = "http://127.0.0.1:" + std::to_string(refusing.port()) + "/u/blog";
    try {
        FetchPageText(platform::utf8_to_utf16(address));
        FAIL() << "no error for a refused connection";
    } catch (const HttpError& error) {
        EXPECT_NE(std::string(error.what()).find(address), std::string::npos) << error.what();
    }
}

TEST_F(FetchPageDirect, RedirectsAreFollowedOnlyToHttp) {
    const RedirectServer server;
    EXPECT_EQ(FetchPageText(server.address("/moved")), u"到了");
    EXPECT_THROW(FetchPageText(server.address("/to_file")), HttpError);
    EXPECT_THROW(FetchPageText(server.address("/loop")), HttpError);
}

TEST_F(FetchPageDirect, LocalFilesAreNotRead) {
    // A readable file: without the protocol rule this would come back as text.
    EXPECT_THROW(FetchPageText(u"file:///etc/passwd"), HttpError);
}

} // namespace
