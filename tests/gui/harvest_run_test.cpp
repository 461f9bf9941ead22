#include "tests/gui/form1_fixture.h"

#include "blog/blog_address.h"
#include "platform/codepage.h"
#include "platform/quit_request.h"
#include "platform/text.h"
#include "tests/gui/x_input.h"
#include "tests/support/loopback_server.h"
#include "tools/sample_blog/blog_model.h"

#include <glib.h>
#include <glibmm/main.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

using gui_testing::click;
using gui_testing::Form1Fixture;
using gui_testing::list1_rows;
using gui_testing::text_of;
using gui_testing::wait_until;
using platform::utf16_to_utf8;
using Texts = std::vector<std::u16string>;

namespace {

const std::u16string hint_text = u"若无法自动获取全部日志，请手动点击[下一页]";
const std::u16string bad_address_text = u"请填写正确的百度空间地址或者检查网络是否连接！";

// The posts of list pages 0 to `last`, each once, where first found.
Texts posts_of_pages(const sample_blog::SampleBlog& blog, int last) {
    std::vector<Texts> pages;
    for (int k = 0; k <= last; ++k) {
        pages.push_back(blog.list_page(k).post_links);
    }
    return gui_testing::first_copies(pages);
}

// The blog harvested, as the service serves it by default here.
const sample_blog::SampleBlog someone(u"someone", {.posts = 25, .per_page = 10});

double seconds_since(gint64 start) {
    return double(g_get_monotonic_time() - start) / 1e6;
}

class HarvestTest : public Form1Fixture {
protected:
    explicit HarvestTest(std::vector<std::string> service_arguments = {"--posts", "25",
                                                                       "--per-page", "10"})
        : Form1Fixture(std::move(service_arguments)) {}

    void harvest(std::u16string_view address) {
        form().txtblog.set_text(utf16_to_utf8(address));
        click(form().Command1);
    }
};

// A blog whose home and list pages greet with alert(), confirm() and prompt().
class GreetingTest : public HarvestTest {
protected:
    GreetingTest() : HarvestTest({"--posts", "15", "--per-page", "5", "--greeting"}) {}
};

class HarvestPagerTest : public HarvestTest, public testing::WithParamInterface<const char*> {
protected:
    HarvestPagerTest()
        : HarvestTest({"--posts", "25", "--per-page", "10", "--pager-variant", GetParam()}) {}
};

// List page 1 arrives well after its four seconds, yet well within its grace time.
class SlowPageTest : public HarvestTest {
protected:
    SlowPageTest() : HarvestTest({"--posts", "15", "--per-page", "10", "--slow-page", "1=12000"}) {}
};

// A one-page blog whose first list page takes six seconds to come.
class SlowFirstPageTest : public HarvestTest {
protected:
    SlowFirstPageTest()
        : HarvestTest({"--posts", "5", "--per-page", "10", "--slow-page", "0=6000"}) {}
    const sample_blog::SampleBlog blog{u"someone", {.posts = 5, .per_page = 10}};
};

// Serves a one-page blog whose list page shows a picture that never comes, so the page never
// finishes loading. The page count's fetch and the browser both reach it as their proxy.
class HangingPictureTest : public HarvestTest {
protected:
    HangingPictureTest()
        : m_server([this](httplib::Server& server) {
              server.Get(R"(.*)",
                         [this](const httplib::Request& request, httplib::Response& response) {
                             answer(request, response);
                         });
          }) {}
    ~HangingPictureTest() override { m_release = true; }

    void SetUp() override {
        HarvestTest::SetUp();
        gui_testing::point_browser_at(m_server.base_url());
        setenv("http_proxy", m_server.base_url().c_str(), 1); // put back by the service's end
    }

    const sample_blog::SampleBlog blog{u"pictures", {.posts = 5, .per_page = 10}};

private:
    void answer(const httplib::Request& request, httplib::Response& response) {
        if (request.path.find("/_sample/hang") != std::string::npos) {
            for (int i = 0; i < 1200 && !m_release; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
            response.status = 503;
            return;
        }
        std::u16string html = blog.list_page(0).html;
        html.insert(html.find(u"</body>"), u"<img src='http://hi.baidu.com/_sample/hang'>");
        response.set_content(platform::encode_gbk(html), "text/html; charset=gbk");
    }

    std::atomic<bool> m_release = false;
    testing_support::LoopbackServer m_server;
};

} // namespace

TEST_F(HarvestTest, WalksEveryListPageAndGathersEachPostOnce) {
    bool checked_during_run = false;
    on_box = [&] {
        EXPECT_FALSE(form().Command1.get_sensitive());
        EXPECT_EQ(form().Command1.get_label(), "正在获取文章链接");
        EXPECT_TRUE(form().Timer1.enabled());
        EXPECT_EQ(form().list1_count(), 0u);
        checked_during_run = true;
    };
    harvest(u"http://hi.baidu.com/someone");

    EXPECT_TRUE(checked_during_run);
    EXPECT_EQ(box_texts(), Texts{hint_text});
    EXPECT_EQ(boxes.at(0).title, u"Pellumo");
    // Noise (comments, send links) rejected; the friends' posts on each page kept.
    const Texts expected = posts_of_pages(someone, 2);
    EXPECT_EQ(form().list1_items(), expected);
    EXPECT_EQ(list1_rows(form()), expected);
    EXPECT_EQ(text_of(form().Label1), u"共获取" + platform::decimal(expected.size()) + u"文章链接");
    EXPECT_EQ(text_of(form().Label2), u"共有2页数");
    EXPECT_EQ(text_of(form().Label3), u"正在获取第3页的文章链接");
    EXPECT_TRUE(form().Command1.get_sensitive());
    EXPECT_EQ(form().Command1.get_label(), "获取文章链接");
    EXPECT_FALSE(form().Timer1.enabled());
}

TEST_F(HarvestTest, AnAddressNamingNoBlogIsReportedAndTheRunStillEnds) {
    const gint64 start = g_get_monotonic_time();
    harvest(u"http://hi.baidu.com"); // 19 characters

    EXPECT_EQ(box_texts(), (Texts{hint_text, bad_address_text}));
    EXPECT_EQ(boxes.at(1).title, u"错误提示");
    // Page 0 of the empty user name is visited, once, for its four seconds.
    EXPECT_EQ(form().WebBrowser1.current_address(), u"http://hi.baidu.com//blog/index/0");
    EXPECT_EQ(text_of(form().Label3), u"正在获取第1页的文章链接");
    EXPECT_GE(seconds_since(start), 4.0);
    EXPECT_LT(seconds_since(start), 8.0 + 30.0);
    EXPECT_TRUE(form().Command1.get_sensitive());

    // Twenty characters, or more with nothing but separators after them, name no blog either.
    for (const char16_t* empty : {u"http://hi.baidu.com/", u"http://hi.baidu.com//"}) {
        boxes.clear();
        harvest(empty);
        EXPECT_EQ(box_texts(), (Texts{hint_text, bad_address_text}));
    }
}

TEST_F(HarvestTest, AnUnreachableServiceIsReportedGathersNothingAndEndsAfterItsFourSeconds) {
    ASSERT_TRUE(wait_for_collected()); // the home page's posts are on screen
    ASSERT_GT(form().list1_count(), 0u);
    // Neither the page count's fetch nor the browser reaches the service any more.
    gui_testing::point_browser_at(gui_testing::refusing_proxy);
    const char* previous = std::getenv("http_proxy");
    const std::string saved = previous ? previous : "";
    setenv("http_proxy", gui_testing::refusing_proxy, 1);
    const gint64 start = g_get_monotonic_time();
    harvest(u"http://hi.baidu.com/someone");
    setenv("http_proxy", saved.c_str(), 1);

    // Nothing listed: the archive is offered after the run's own boxes (and declined here).
    EXPECT_EQ(box_texts(), (Texts{hint_text, bad_address_text,
                                  u"没有找到文章。百度空间已于2015年关闭，要从网页时光机（web."
                                  u"archive.org）恢复这个博客吗？"}));
    EXPECT_EQ(boxes.at(1).title, u"错误提示");
    EXPECT_EQ(text_of(form().Label2), u"");
    EXPECT_EQ(text_of(form().Label3), u"正在获取第1页的文章链接");
    // The home page still on screen must not pass for the blog that failed to load.
    EXPECT_EQ(form().list1_count(), 0u);
    // A page that failed has nothing more to wait for.
    EXPECT_LT(seconds_since(start), 4.0 + 10.0);
    EXPECT_TRUE(form().Command1.get_sensitive());
}

TEST_F(HarvestTest, ASecondRunStartsFromAnEmptyListAndTheClockGoesOn) {
    const gint64 start = g_get_monotonic_time();
    harvest(u"http://hi.baidu.com/another");
    const long long after_first = form().ElapsedSeconds;
    EXPECT_GE(after_first, 10); // three list pages of four seconds; ticks may fall behind
    ASSERT_GT(form().list1_count(), 0u);

    std::size_t count_at_start = 1;
    on_box = [&] { count_at_start = form().list1_count(); };
    harvest(u"http://hi.baidu.com/someone");
    EXPECT_EQ(count_at_start, 0u);
    EXPECT_EQ(form().list1_items(), posts_of_pages(someone, 2));
    EXPECT_GT(form().ElapsedSeconds, after_first + 10);
    // One tick a second: never more ticks than seconds have passed.
    EXPECT_LE(form().ElapsedSeconds, static_cast<long long>(seconds_since(start)));
    EXPECT_EQ(text_of(form().Label4),
              u"已用时间" + platform::decimal(form().ElapsedSeconds) + u"秒");
}

TEST_F(SlowFirstPageTest, WhileTheFirstPageTricklesTheWindowLivesButTakesNoClicks) {
    ASSERT_TRUE(wait_until([this] { return form().get_mapped(); }, 10));
    long long ticks_at_hint = -1;
    long long ticks_in_fetch = -1;
    std::u16string progress_in_fetch = u"?";
    on_box = [&] {
        if (ticks_at_hint >= 0) {
            return; // a save's boxes, had the click gone through
        }
        ticks_at_hint = form().ElapsedSeconds;
        Glib::signal_timeout().connect_once(
            [&] {
                ticks_in_fetch = form().ElapsedSeconds;
                progress_in_fetch = text_of(form().Label3);
                gui_testing::click_widget(form().Command2); // a save would show its boxes
            },
            2500);
    };
    harvest(u"http://hi.baidu.com/someone");

    EXPECT_EQ(progress_in_fetch, u"") << "the walk had begun: the fetch held the thread";
    EXPECT_GE(ticks_in_fetch, ticks_at_hint + 2);
    EXPECT_EQ(box_texts(), Texts{hint_text});
    EXPECT_EQ(form().list1_items(), posts_of_pages(blog, 0));
    EXPECT_EQ(form().Command2.get_label(), "保存文章");
}

TEST_F(SlowFirstPageTest, ClosingTheWindowDuringTheFetchEndsTheRunCleanly) {
    const gint64 start = g_get_monotonic_time();
    on_box = [this] { Glib::signal_timeout().connect_once([this] { form().close(); }, 1000); };
    harvest(u"http://hi.baidu.com/someone");
    EXPECT_TRUE(platform::quit_requested());
    EXPECT_LT(seconds_since(start), 4.0);     // the page needs six
    EXPECT_EQ(box_texts(), Texts{hint_text}); // a fetch cut short is no error
    EXPECT_FALSE(form().get_visible());
    wait_until([] { return false; }, 0.2); // the deferred close runs without touching the run
}

TEST_P(HarvestPagerTest, AnUnreadablePagerMeansOnlyPageZero) {
    harvest(u"http://hi.baidu.com/someone");
    EXPECT_EQ(box_texts(), Texts{hint_text}) << "no error box for a readable first page";
    EXPECT_EQ(text_of(form().Label2), u"");
    EXPECT_EQ(text_of(form().Label3), u"正在获取第1页的文章链接");
    EXPECT_EQ(form().list1_items(), posts_of_pages(someone, 0));
}

INSTANTIATE_TEST_SUITE_P(Variants, HarvestPagerTest,
                         testing::Values("missing-last", "missing-next", "reversed", "no-number"));

TEST_F(SlowPageTest, AListPageSlowerThanFourSecondsIsStillGathered) {
    harvest(u"http://hi.baidu.com/someone");
    const sample_blog::SampleBlog blog(u"someone", {.posts = 15, .per_page = 10});
    EXPECT_EQ(text_of(form().Label2), u"共有1页数");
    EXPECT_EQ(form().list1_items(), posts_of_pages(blog, 1));
}

TEST_F(HangingPictureTest, APageWhosePictureNeverComesStillGivesItsPosts) {
    const gint64 start = g_get_monotonic_time();
    harvest(u"http://hi.baidu.com/pictures");
    EXPECT_EQ(box_texts(), Texts{hint_text});
    EXPECT_EQ(form().list1_items(), posts_of_pages(blog, 0));
    EXPECT_GE(seconds_since(start), 4.0 + 30.0); // read once the grace time was over
}

TEST_F(GreetingTest, ScriptDialogsAreAnsweredAndEveryListPageIsWalkedThenAnotherBlogToo) {
    const sample_blog::SampleBlog greeting(u"someone", {.posts = 15, .per_page = 5});
    const std::string before = service().request_log();
    harvest(u"http://hi.baidu.com/someone");
    EXPECT_EQ(form().list1_items(), posts_of_pages(greeting, 2));
    const std::string log = service().request_log().substr(before.size());
    for (int k = 0; k <= 2; ++k) {
        EXPECT_NE(log.find(utf16_to_utf8(greeting.list_page_address(k)) + "\n"), std::string::npos)
            << k;
    }
    // The home page and each list page: alert with OK, confirm and prompt with Cancel.
    std::size_t answered = 0;
    for (std::size_t at = log.find("/_sample/answered?"); at != std::string::npos;
         at = log.find("/_sample/answered?", at + 1)) {
        EXPECT_EQ(log.substr(at, log.find('\n', at) - at),
                  "/_sample/answered?confirm=false&prompt=null");
        ++answered;
    }
    EXPECT_GE(answered, 3u); // the home page may be left before its answer is sent

    const sample_blog::SampleBlog other(u"another", {.posts = 15, .per_page = 5});
    harvest(u"http://hi.baidu.com/another");
    EXPECT_EQ(form().list1_items(), posts_of_pages(other, 2));
}
