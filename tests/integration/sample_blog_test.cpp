// What the other tests take for granted of the sample blog service and would not notice if it
// broke: the pager the program reads, the post markers, missing posts, both request forms, and a
// prompt stop on SIGTERM.

#include "platform/codepage.h"
#include "platform/text.h"
#include "tests/support/sample_blog_service.h"
#include "tools/sample_blog/blog_model.h"

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <string_view>
#include <sys/wait.h>
#include <thread>

namespace {

using sample_blog::SampleBlog;
using testing_support::SampleBlogService;

[[maybe_unused]] const CURLcode g_curl = curl_global_init(CURL_GLOBAL_DEFAULT);

struct Response {
    long status = 0;
    std::string body;
};

size_t append_body(char* data, size_t size, size_t count, void* body) {
    static_cast<std::string*>(body)->append(data, size * count);
    return size * count;
}

// Through the service as a proxy, named here rather than taken from the environment, so that
// no request can leave the machine. Without `proxied`, `address` goes to the service as it is.
Response fetch(const SampleBlogService& service, const std::string& address, bool proxied = true) {
    CURL* curl = curl_easy_init();
    Response response;
    curl_easy_setopt(curl, CURLOPT_URL, address.c_str());
    curl_easy_setopt(curl, CURLOPT_PROXY, proxied ? service.proxy_url().c_str() : "");
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 60L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, append_body);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &response.body);
    curl_easy_perform(curl);
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &response.status);
    curl_easy_cleanup(curl);
    return response;
}

Response fetch(const SampleBlogService& service, std::u16string_view address) {
    return fetch(service, platform::utf16_to_utf8(address));
}

// The page's text from its GBK body, checking that it came with status 200.
std::u16string text_of(const SampleBlogService& service, std::u16string_view address) {
    const Response response = fetch(service, address);
    EXPECT_EQ(response.status, 200) << platform::utf16_to_utf8(address);
    return platform::decode_gbk(response.body);
}

TEST(SampleBlogService, ListPagesEndAtTheCountWithTheExactPagerOnAllButTheLast) {
    const SampleBlogService service({"--posts", "25", "--per-page", "10"});
    const SampleBlog blog(u"pellumo");
    for (int k = 0; k <= 2; ++k) {
        SCOPED_TRACE(k);
        const std::u16string text = text_of(service, blog.list_page_address(k));
        if (k < 2) {
            EXPECT_NE(text.find(u"<a href=\"/pellumo/blog/index/" + platform::decimal(k + 1) +
                                u"\">[下一页]</a> <a href=\"/pellumo/blog/index/2\">[尾页]</a>"),
                      text.npos);
        } else {
            EXPECT_EQ(text.find(u"[下一页]"), text.npos);
            EXPECT_EQ(text.find(u"[尾页]"), text.npos);
        }
    }
    EXPECT_EQ(fetch(service, blog.list_page_address(3)).status, 404);
}

TEST(SampleBlogService, PostsCarryTheModelsBodyBetweenTheMarkersUnlessMadeMissing) {
    const SampleBlogService service({"--not-found", "3"});
    const SampleBlog blog(u"pellumo");
    for (const int n : {1, 2, 12, 25}) {
        const std::u16string text = text_of(service, blog.post_address(n));
        const std::u16string_view start = u"查看文章";
        const auto from = text.find(start) + start.size();
        const auto to = text.find(u"类别", from);
        EXPECT_EQ(text.substr(from, to - from), blog.post_body(n)) << n;
    }
    EXPECT_EQ(fetch(service, blog.post_address(3)).status, 404);
}

TEST(SampleBlogService, AnswersProxyAndOriginFormAlike) {
    const SampleBlogService service;
    const Response proxied = fetch(service, "http://hi.baidu.com/pellumo/blog/index/1");
    EXPECT_EQ(proxied.status, 200);
    EXPECT_EQ(fetch(service, service.proxy_url() + "/pellumo/blog/index/1", false).body,
              proxied.body);
}

TEST(SampleBlogService, StopsOnSigtermWhileARequestHangs) {
    SampleBlogService service;
    Response hung;
    std::thread client([&] { hung = fetch(service, "http://hi.baidu.com/_sample/hang"); });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    // A service that did not stop on SIGTERM would have been killed after five seconds.
    const int status = service.stop();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    client.join();
    EXPECT_NE(hung.status, 200);
}

} // namespace
