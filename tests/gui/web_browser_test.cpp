#include "platform/web_browser.h"

#include "tests/gui/x_input.h"
#include "tests/support/sample_blog_service.h"
#include "tools/sample_blog/blog_model.h"
#include "utilities/moddelay.h"
#include "window/blog_address.h"

#include <gtest/gtest.h>
#include <gtkmm/window.h>
#include <webkit/webkit.h>

#include <memory>
#include <optional>

using platform::WebBrowser;

namespace {

using Links = std::optional<std::vector<std::u16string>>;

const sample_blog::SampleBlog home_blog(std::u16string(blog::UserName(blog::HomeAddress)));

bool wait_until(const std::function<bool()>& done, double seconds) {
    return moddelay::pump_until(done, static_cast<std::uint32_t>(seconds * 1000));
}

// A shown browser that counts its completions, reaching a sample service of its own.
class WebBrowserTest : public testing::Test {
protected:
    explicit WebBrowserTest(std::vector<std::string> service_arguments = {})
        : m_service(std::move(service_arguments)) {
        WebKitNetworkProxySettings* settings =
            webkit_network_proxy_settings_new(m_service.proxy_url().c_str(), nullptr);
        webkit_network_session_set_proxy_settings(webkit_network_session_get_default(),
                                                  WEBKIT_NETWORK_PROXY_MODE_CUSTOM, settings);
        webkit_network_proxy_settings_free(settings);
        m_window.set_default_size(720, 400);
        m_window.set_child(browser.widget());
        m_window.set_visible(true);
        browser.signal_DocumentComplete().connect([this] { ++completions; });
    }
    ~WebBrowserTest() override { m_window.set_visible(false); }

    bool wait_for_completions(int count, double seconds = 20) {
        return wait_until([&] { return completions >= count; }, seconds);
    }

    Links links() {
        std::optional<Links> answer;
        browser.read_links([&](Links links) { answer = std::move(links); });
        EXPECT_TRUE(wait_until([&] { return answer.has_value(); }, 10));
        return answer.value_or(std::nullopt);
    }

    testing_support::SampleBlogService m_service;
    Gtk::Window m_window;
    WebBrowser browser;
    int completions = 0;
};

class SlowListPage : public WebBrowserTest {
protected:
    SlowListPage() : WebBrowserTest({"--slow-page", "0=3000"}) {}
};

} // namespace

TEST_F(WebBrowserTest, ReadsEveryLinkAbsoluteInDocumentOrder) {
    browser.Navigate2(home_blog.list_page_address(0));
    ASSERT_TRUE(wait_for_completions(1));
    EXPECT_EQ(browser.completed_serial(), 1u);
    const Links read = links();
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(*read, home_blog.list_page(0).links);
}

TEST_F(WebBrowserTest, LinksAreAnchorsAndAreasWithAnAddressWhateverThePageScripts) {
    // A page that redefines what a naive read would call.
    browser.Navigate(u"data:text/html,<html><head><base href='http://hi.baidu.com/u/'>"
                     u"<script>Array.from = () => ['x']; document.__defineGetter__('links', "
                     u"() => []);</script></head><body>"
                     u"<a href='blog/item/1.html'>one</a><a name='no-address'>none</a>"
                     u"<map name='m'><area href='/other/blog/item/2.html'></map>"
                     u"<a href='%23top'>top</a><a href='http://example.org/z'>z</a></body></html>");
    ASSERT_TRUE(wait_for_completions(1));
    const Links read = links();
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(*read, (std::vector<std::u16string>{u"http://hi.baidu.com/u/blog/item/1.html",
                                                  u"http://hi.baidu.com/other/blog/item/2.html",
                                                  u"http://hi.baidu.com/u/#top",
                                                  u"http://example.org/z"}));
}

TEST_F(WebBrowserTest, LinksTheUserFollowsCompleteToo) {
    browser.Navigate2(u"data:text/html,<a href='http://hi.baidu.com/pellumo' "
                      u"style='display:block;height:100vh'>home</a>");
    ASSERT_TRUE(wait_for_completions(1));
    gui_testing::click_widget(browser.widget());
    ASSERT_TRUE(wait_for_completions(2));
    EXPECT_EQ(browser.navigation_serial(), 1u);
    EXPECT_EQ(browser.completed_serial(), 1u);
    EXPECT_EQ(links(), home_blog.home_page().links);
}

TEST_F(WebBrowserTest, FailedLoadsCompleteWithAnErrorPage) {
    browser.Navigate2(u"pellumo-no-such-scheme:nothing");
    ASSERT_TRUE(wait_for_completions(1));
    EXPECT_EQ(browser.completed_serial(), 1u);
    browser.Navigate2(u"http://hi.baidu.com/_sample/missing");
    ASSERT_TRUE(wait_for_completions(2));
    EXPECT_EQ(browser.completed_serial(), 2u);
}

TEST_F(SlowListPage, ALoadReplacedBeforeItFinishesNeverCompletes) {
    browser.Navigate(home_blog.list_page_address(0));
    wait_until([] { return false; }, 1); // the slow page is on its way now
    ASSERT_EQ(completions, 0);
    browser.Navigate2(blog::HomeAddress);
    ASSERT_TRUE(wait_for_completions(1));
    EXPECT_EQ(browser.completed_serial(), 2u);
    // Give the slow page the time it would have needed.
    wait_until([] { return false; }, 4);
    EXPECT_EQ(completions, 1);
    EXPECT_EQ(links(), home_blog.home_page().links);
}

TEST(WebBrowserLifetime, NoAnswerReachesABrowserThatIsGone) {
    bool answered = false;
    auto browser = std::make_unique<WebBrowser>();
    browser->Navigate2(u"data:text/html,<a href='http://hi.baidu.com/x'>x</a>");
    browser->read_links([&](Links) { answered = true; });
    browser.reset();
    wait_until([] { return false; }, 1);
    EXPECT_FALSE(answered);
}

TEST(WebBrowserLifetime, AnswersEvenBeforeAnyPage) {
    WebBrowser browser;
    std::optional<Links> answer;
    browser.read_links([&](Links links) { answer = std::move(links); });
    ASSERT_TRUE(wait_until([&] { return answer.has_value(); }, 10));
    // No document to read: either nothing at all or no links.
    EXPECT_TRUE(!answer->has_value() || (*answer)->empty());
    EXPECT_EQ(browser.navigation_serial(), 0u);
    EXPECT_EQ(browser.completed_serial(), 0u);
}
