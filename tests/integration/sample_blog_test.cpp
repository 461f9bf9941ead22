// The sample blog service as the program meets it: through an HTTP proxy setting, in GBK, with
// the pager and post markers the program reads, and the faults that the options call up.

#include "platform/codepage.h"
#include "platform/text.h"
#include "tests/support/sample_blog_service.h"
#include "tools/sample_blog/blog_model.h"

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <numeric>
#include <regex>
#include <set>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

namespace {

using sample_blog::SampleBlog;
using testing_support::SampleBlogService;
using namespace std::chrono_literals;

struct Response {
    CURLcode result = CURLE_OK;
    long status = 0;
    std::string content_type;
    std::string body;
};

struct CurlCleanup {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};

size_t append_body(char* data, size_t size, size_t count, void* body) {
    static_cast<std::string*>(body)->append(data, size * count);
    return size * count;
}

// Through the service as a proxy, named here rather than taken from the environment, so that
// no request can leave the machine. With `direct`, `address` goes to the service as it is.
Response fetch(const SampleBlogService& service, const std::string& address, bool direct = false) {
    static const bool initialised = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    EXPECT_TRUE(initialised);
    const std::unique_ptr<CURL, CurlCleanup> curl(curl_easy_init());
    Response response;
    const std::string proxy = direct ? "" : service.proxy_url();
    curl_easy_setopt(curl.get(), CURLOPT_URL, address.c_str());
    curl_easy_setopt(curl.get(), CURLOPT_PROXY, proxy.c_str());
    curl_easy_setopt(curl.get(), CURLOPT_TIMEOUT, 60L);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, append_body);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &response.body);
    response.result = curl_easy_perform(curl.get());
    curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &response.status);
    const char* type = nullptr;
    curl_easy_getinfo(curl.get(), CURLINFO_CONTENT_TYPE, &type);
    response.content_type = type ? type : "";
    return response;
}

Response fetch(const SampleBlogService& service, std::u16string_view address) {
    return fetch(service, platform::utf16_to_utf8(address));
}

// The text between the first `start` and the next `end`; "<none>" when either is missing.
std::u16string between(std::u16string_view text, std::u16string_view start,
                       std::u16string_view end) {
    const auto from = text.find(start);
    const auto to = from == text.npos ? text.npos : text.find(end, from + start.size());
    if (to == text.npos) {
        return u"<none>";
    }
    return std::u16string(text.substr(from + start.size(), to - from - start.size()));
}

// Every href of the page, made absolute, read from the HTML itself.
std::vector<std::u16string> hrefs_in(const std::u16string& html) {
    const std::string utf8 = platform::utf16_to_utf8(html);
    const std::regex href(R"(href="([^"]*)\")");
    std::vector<std::u16string> found;
    for (auto it = std::sregex_iterator(utf8.begin(), utf8.end(), href);
         it != std::sregex_iterator(); ++it) {
        const std::string value = (*it)[1];
        found.push_back(platform::utf8_to_utf16(
            value.starts_with("/") ? "http://hi.baidu.com" + value : value));
    }
    return found;
}

TEST(SampleBlogListPages, TwentyFivePostsTenAPageMakeThreePagesWithThePagerOnTheFirstTwo) {
    const SampleBlogService service({"--posts", "25", "--per-page", "10"});
    const SampleBlog blog(u"pellumo");
    ASSERT_EQ(blog.last_page_index(), 2);

    std::vector<int> listed;
    for (int k = 0; k <= 2; ++k) {
        SCOPED_TRACE(k);
        const Response response = fetch(service, blog.list_page_address(k));
        ASSERT_EQ(response.status, 200);
        EXPECT_EQ(response.content_type, "text/html; charset=gbk");
        const std::u16string text = platform::decode_gbk(response.body);
        const sample_blog::Page expected = blog.list_page(k);
        EXPECT_EQ(text, expected.html);
        EXPECT_EQ(hrefs_in(text), expected.links);
        for (const int n : blog.posts_on_page(k)) {
            listed.push_back(n);
            EXPECT_NE(std::find(expected.post_links.begin(), expected.post_links.end(),
                                blog.post_address(n)),
                      expected.post_links.end());
        }
        // Each page also offers one post of another blog, a different one on each page.
        EXPECT_EQ(expected.post_links.size(), blog.posts_on_page(k).size() + 1);

        if (k < 2) {
            const std::u16string pager =
                u"<a href=\"/pellumo/blog/index/" + platform::decimal(k + 1) +
                u"\">[下一页]</a> <a href=\"/pellumo/blog/index/2\">[尾页]</a>";
            EXPECT_NE(text.find(pager), std::u16string::npos);
            const std::u16string segment = between(text, u"[下一页]", u"[尾页]");
            EXPECT_EQ(segment.find(u"index"), segment.rfind(u"index"));
        } else {
            EXPECT_EQ(text.find(u"[下一页]"), std::u16string::npos);
            EXPECT_EQ(text.find(u"[尾页]"), std::u16string::npos);
        }
    }
    std::vector<int> all(25);
    std::iota(all.begin(), all.end(), 1);
    EXPECT_EQ(listed, all);

    EXPECT_EQ(fetch(service, "http://hi.baidu.com/pellumo/blog").body,
              fetch(service, blog.list_page_address(0)).body);
    EXPECT_EQ(fetch(service, blog.list_page_address(3)).status, 404);
    EXPECT_EQ(fetch(service, "http://hi.baidu.com/pellumo/blog/index/x").status, 404);
}

TEST(SampleBlogListPages, PagerVariantsBreakThePagerAsAsked) {
    struct Case {
        const char* name;
        sample_blog::PagerVariant variant;
        bool has_next;
        bool has_last;
    };
    using sample_blog::PagerVariant;
    for (const Case& c : {Case{"missing-last", PagerVariant::missing_last, true, false},
                          Case{"missing-next", PagerVariant::missing_next, false, true},
                          Case{"reversed", PagerVariant::reversed, true, true},
                          Case{"no-number", PagerVariant::no_number, true, true}}) {
        SCOPED_TRACE(c.name);
        const SampleBlogService service({"--pager-variant", c.name});
        const SampleBlog blog(u"pellumo", {.pager = c.variant});
        const std::u16string text =
            platform::decode_gbk(fetch(service, blog.list_page_address(0)).body);
        EXPECT_EQ(text, blog.list_page(0).html);
        const auto next = text.find(u"[下一页]");
        const auto last = text.find(u"[尾页]");
        EXPECT_EQ(next != text.npos, c.has_next);
        EXPECT_EQ(last != text.npos, c.has_last);
        if (c.variant == PagerVariant::reversed) {
            EXPECT_LT(last, next);
        }
        if (c.variant == PagerVariant::no_number) {
            EXPECT_NE(text.find(u"/blog/index/\">[尾页]"), text.npos);
        }
    }
}

TEST(SampleBlogPosts, PagesCarryTheModelsTitleAndBodyBetweenTheMarkers) {
    const SampleBlogService service;
    const SampleBlog blog(u"pellumo");
    for (const int n : {1, 2, 9, 10, 11, 12, 25}) {
        SCOPED_TRACE(n);
        const Response response = fetch(service, blog.post_address(n));
        ASSERT_EQ(response.status, 200);
        const std::u16string text = platform::decode_gbk(response.body);
        EXPECT_EQ(text, blog.post_page(n).html);
        EXPECT_EQ(between(text, u"<title>", u"_"), sample_blog::post_title(n));
        const std::u16string body = between(text, u"查看文章", u"类别");
        EXPECT_EQ(body, blog.post_body(n));
        EXPECT_NE(body.find(u"\r\n"), body.npos);
        EXPECT_NE(body.find(u"<p>"), body.npos);
        EXPECT_NE(body.find(u"日志"), body.npos);
        EXPECT_EQ(hrefs_in(text), blog.post_page(n).links);
    }
    EXPECT_NE(blog.post_body(1), blog.post_body(2));
    EXPECT_EQ(fetch(service, "http://hi.baidu.com/pellumo/blog/item/0123456789abcdef.html").status,
              404);
    // The other blog's post that a list page recommends is there too.
    const std::u16string recommended = blog.list_page(1).post_links.back();
    EXPECT_EQ(recommended, blog.friend_blog().post_address(2));
    EXPECT_EQ(fetch(service, recommended).status, 200);
}

TEST(SampleBlogPosts, TitlesAreDistinctWithoutUnderscoresAndCoverEveryAwkwardCharacter) {
    std::set<std::u16string> seen;
    std::u16string all;
    for (int n = 1; n <= 24; ++n) {
        std::u16string title = sample_blog::post_title(n);
        EXPECT_EQ(title.find(u'_'), title.npos) << n;
        all += title;
        std::erase(title, u' ');
        EXPECT_TRUE(seen.insert(title).second) << n;
    }
    for (const char16_t c : std::u16string_view(u" /\\?*:|\"<>")) {
        EXPECT_NE(all.find(c), all.npos) << static_cast<int>(c);
    }
    const int long_one = 12;
    EXPECT_EQ(sample_blog::title_kind(long_one), sample_blog::TitleKind::long_text);
    EXPECT_GT(platform::utf16_to_utf8(sample_blog::post_title(long_one)).size(), 255U);
}

TEST(SampleBlogPages, HomeAndFixedPages) {
    const SampleBlogService service;
    const SampleBlog blog(u"pellumo");
    const std::u16string home =
        platform::decode_gbk(fetch(service, "http://hi.baidu.com/pellumo").body);
    EXPECT_EQ(home, blog.home_page().html);
    EXPECT_EQ(blog.home_page().post_links,
              (std::vector{blog.post_address(1), blog.post_address(2), blog.post_address(3)}));

    const Response empty = fetch(service, "http://hi.baidu.com/_sample/empty");
    EXPECT_EQ(empty.status, 200);
    EXPECT_EQ(empty.body, "");

    const Response utf8 = fetch(service, "http://hi.baidu.com/_sample/utf8");
    EXPECT_EQ(utf8.content_type, "text/html; charset=utf-8");
    EXPECT_EQ(utf8.body, platform::utf16_to_utf8(sample_blog::utf8_sample_page()));
    const std::string text_bytes = platform::utf16_to_utf8(sample_blog::k_utf8_sample_text);
    EXPECT_NE(utf8.body.find(text_bytes), std::string::npos);
    EXPECT_EQ(platform::decode_gbk(text_bytes).find(u'\uFFFD'), std::u16string::npos);

    for (const char* missing : {"http://hi.baidu.com/_sample/missing",
                                "http://hi.baidu.com/pellumo/photo", "http://hi.baidu.com/"}) {
        SCOPED_TRACE(missing);
        const Response response = fetch(service, missing);
        EXPECT_EQ(response.status, 404);
        EXPECT_EQ(response.content_type, "text/html; charset=gbk");
        EXPECT_NE(platform::decode_gbk(response.body).find(sample_blog::k_not_found_text),
                  std::u16string::npos);
    }
}

TEST(SampleBlogOptions, MissingPostsSlowPagesAndLatency) {
    const SampleBlogService service({"--posts", "5", "--per-page", "2", "--not-found", "3",
                                     "--slow-page", "1=700", "--latency-ms", "300"});
    const SampleBlog blog(u"pellumo", {.posts = 5, .per_page = 2});
    const Response missing = fetch(service, blog.post_address(3));
    EXPECT_EQ(missing.status, 404);
    EXPECT_NE(platform::decode_gbk(missing.body).find(sample_blog::k_not_found_text),
              std::u16string::npos);
    // Still listed: the blog claims the post, the service fails to deliver it.
    EXPECT_NE(
        platform::decode_gbk(fetch(service, blog.list_page_address(1)).body).find(blog.post_id(3)),
        std::u16string::npos);

    const auto timed = [&](std::u16string_view address) {
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(fetch(service, address).status, 200);
        return std::chrono::steady_clock::now() - start;
    };
    EXPECT_GE(timed(blog.post_address(4)), 300ms);
    EXPECT_GE(timed(blog.list_page_address(1)), 1000ms);
}

TEST(SampleBlogService, AnswersProxyAndOriginFormAndSetsTheProxyEnvironment) {
    setenv("http_proxy", "http://127.0.0.1:9", 1);
    setenv("no_proxy", "hi.baidu.com", 1);
    unsetenv("NO_PROXY");
    {
        const SampleBlogService service;
        EXPECT_EQ(std::getenv("http_proxy"), service.proxy_url());
        EXPECT_EQ(std::getenv("no_proxy"), nullptr);
        const Response proxied = fetch(service, "http://hi.baidu.com/pellumo/blog/index/1");
        const Response direct = fetch(
            service, "http://127.0.0.1:" + std::to_string(service.port()) + "/pellumo/blog/index/1",
            true);
        EXPECT_EQ(proxied.status, 200);
        EXPECT_EQ(direct.body, proxied.body);
    }
    EXPECT_STREQ(std::getenv("http_proxy"), "http://127.0.0.1:9");
    EXPECT_STREQ(std::getenv("no_proxy"), "hi.baidu.com");
    EXPECT_EQ(std::getenv("NO_PROXY"), nullptr);
    unsetenv("http_proxy");
    unsetenv("no_proxy");
}

TEST(SampleBlogService, StopsCleanlyWhileRequestsHang) {
    SampleBlogService service;
    std::vector<Response> hung(3);
    std::vector<std::thread> clients;
    for (Response& response : hung) {
        clients.emplace_back([&service, &response] {
            response = fetch(service, "http://hi.baidu.com/_sample/hang");
        });
    }
    std::this_thread::sleep_for(300ms);
    // Hanging requests hold workers, not the whole service.
    EXPECT_EQ(fetch(service, "http://hi.baidu.com/_sample/empty").status, 200);

    // A service that did not stop on SIGTERM would have been killed after five seconds.
    const int status = service.stop();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    for (std::thread& client : clients) {
        client.join();
    }
    for (const Response& response : hung) {
        EXPECT_NE(response.result, CURLE_OPERATION_TIMEDOUT);
        EXPECT_NE(response.status, 200);
    }
}

TEST(SampleBlogService, ReportsAServiceThatCannotStart) {
    EXPECT_THROW(SampleBlogService({"--posts", "many"}), std::runtime_error);
}

} // namespace
