#include "platform/web_browser.h"

#include "blog/blog_address.h"
#include "platform/text.h"
#include "tests/gui/form1_fixture.h"
#include "tests/gui/x_input.h"
#include "tools/sample_blog/blog_model.h"

#include <gtest/gtest.h>
#include <gtkmm/window.h>

#include <memory>
#include <optional>

using gui_testing::wait_until;
using platform::WebBrowser;

namespace {

using Links = std::optional<std::vector<std::u16string>>;

const sample_blog::SampleBlog home_blog(std::u16string(blog::UserName(blog::HomeAddress)));

// A shown browser that counts its completions, reaching a sample service of its own.
class WebBrowserTest : public testing::Test {
protected:
    explicit WebBrowserTest(std::vector<std::string> service_arguments = {})
        : m_service(std::move(service_arguments)) {
        gui_testing::point_browser_at(m_service);
        m_window.set_default_size(720, 400);
        m_window.set_child(browser.widget());
        m_window.set_visible(true);
        browser.signal_DocumentComplete().connect([this] { ++completions; });
    }
    ~WebBrowserTest() override { m_window.set_visible(false); }

    bool wait_for_completions(int count) {
        return wait_until([&] { return completions >= count; }, 20);
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

TEST_F(WebBrowserTest, ReadsEveryLinkAbsoluteInDocumentOrderWhateverThePageScripts) {
    const struct {
        std::u16string address;
        std::vector<std::u16string> links;
    } pages[] = {
        {home_blog.list_page_address(0), home_blog.list_page(0).links},
        // Anchors and areas with an address, on a page that redefines what a naive read calls.
        {u"data:text/html,<html><head><base href='http://hi.baidu.com/u/'><script>Array.from = "
         u"() => ['x']; document.__defineGetter__('links', () => []);</script></head><body>"
         u"<a href='blog/item/1.html'>one</a><a name='no-address'>none</a>"
         u"<map name='m'><area href='/other/blog/item/2.html'></map>"
         u"<a href='%23top'>top</a><a href='http://example.org/z'>z</a></body></html>",
         {u"http://hi.baidu.com/u/blog/item/1.html", u"http://hi.baidu.com/other/blog/item/2.html",
          u"http://hi.baidu.com/u/#top", u"http://example.org/z"}},
    };
    for (const auto& page : pages) {
        browser.Navigate(page.address);
        ASSERT_TRUE(wait_for_completions(completions + 1));
        EXPECT_EQ(links(), page.links);
    }
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

TEST_F(WebBrowserTest, AFailedLoadCompletesNothingNotEvenItsErrorPageButEndsAtOnce) {
    // A page with a post on screen, which a late read after a failure would take for the new one.
    browser.Navigate2(u"data:text/html,<a href='http://hi.baidu.com/a/blog/item/1.html'>a</a>");
    ASSERT_TRUE(wait_for_completions(1));
    gui_testing::point_browser_at(gui_testing::refusing_proxy);
    const std::u16string failing[] = {u"http://hi.baidu.com/someone", // connection refused
                                      u"pellumo-no-such-scheme:nothing"};
    std::uint64_t serial = 1;
    for (const std::u16string& address : failing) {
        SCOPED_TRACE(platform::utf16_to_utf8(address));
        browser.Navigate2(address);
        ++serial;
        ASSERT_TRUE(wait_until([&] { return browser.ended_serial() == serial; }, 20));
        wait_until([] { return false; }, 1); // the error page is up; nothing more may come
        EXPECT_EQ(completions, 1);
        EXPECT_EQ(browser.completed_serial(), 1u);
        EXPECT_EQ(browser.committed_serial(), 1u);
    }
    // A page served with an error status is a page.
    gui_testing::point_browser_at(m_service);
    browser.Navigate2(u"http://hi.baidu.com/_sample/missing");
    ASSERT_TRUE(wait_for_completions(2));
    EXPECT_EQ(browser.completed_serial(), 4u);
}

TEST_F(SlowListPage, ALoadReplacedBeforeItFinishesNeverCompletes) {
    browser.Navigate(home_blog.list_page_address(0));
    wait_until([] { return false; }, 1); // the slow page is on its way now
    ASSERT_EQ(completions, 0);
    EXPECT_EQ(browser.committed_serial(), 0u); // nothing of it has arrived
    browser.Navigate2(blog::HomeAddress);
    ASSERT_TRUE(wait_for_completions(1));
    EXPECT_EQ(browser.completed_serial(), 2u);
    EXPECT_EQ(browser.committed_serial(), 2u);
    EXPECT_EQ(browser.ended_serial(), 2u);
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

TEST_F(WebBrowserTest, ADownloadedPageCannotNavigateByItselfItsAddressesAreHandedOver) {
    std::vector<std::u16string> handed;
    browser.signal_DownloadedPageNavigates().connect(
        [&](std::u16string address) { handed.push_back(std::move(address)); });
    browser.show_downloaded(
        "<html><head><meta http-equiv=\"refresh\" content=\"0;url=/someone/blog/index/1\">"
        "</head><body><a id=\"next\" href=\"/someone/blog/index/2\">[next]</a></body></html>",
        "text/html", u"http://hi.baidu.com/someone/blog");
    ASSERT_TRUE(wait_for_completions(1));
    ASSERT_TRUE(wait_until([&] { return !handed.empty(); }, 10));
    std::optional<Links> clicked;
    browser.read_strings("document.getElementById('next').click(); []",
                         [&](Links links) { clicked = std::move(links); });
    ASSERT_TRUE(wait_until([&] { return handed.size() >= 2; }, 10));
    EXPECT_EQ(handed, (std::vector<std::u16string>{u"http://hi.baidu.com/someone/blog/index/1",
                                                   u"http://hi.baidu.com/someone/blog/index/2"}));
    EXPECT_EQ(browser.current_address(), u"http://hi.baidu.com/someone/blog");
    // Nothing went out for the page, its refresh or its link.
    EXPECT_EQ(m_service.request_log().find("/someone/blog"), std::string::npos)
        << m_service.request_log();

    // A page the program navigates to itself follows its links as ever.
    browser.Navigate2(u"http://hi.baidu.com/someone/blog");
    ASSERT_TRUE(wait_for_completions(2));
    EXPECT_NE(m_service.request_log().find("/someone/blog"), std::string::npos);
    EXPECT_EQ(handed.size(), 2U);
}
