#include "tests/gui/form1_fixture.h"

#include "platform/text.h"
#include "tests/support/loopback_server.h"
#include "tools/sample_blog/blog_model.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <regex>
#include <string>

using gui_testing::click;
using gui_testing::text_of;
using platform::utf16_to_utf8;
using Texts = std::vector<std::u16string>;

namespace {

const std::u16string hint_text = u"若无法自动获取全部日志，请手动点击[下一页]";
const std::u16string question_text =
    u"没有找到文章。百度空间已于2015年关闭，要从网页时光机（web.archive.org）恢复这个博客吗？";

const sample_blog::SampleBlog someone(u"someone", {.posts = 6, .per_page = 4});

// The service closed: its blogs answer 404, and the archive holds every blog but "nobody".
class RecoveryTest : public gui_testing::Form1Fixture {
protected:
    RecoveryTest()
        : Form1Fixture({"--posts", "6", "--per-page", "4", "--live-gone", "--archive", "full",
                        "--archive-unknown-user", "nobody", "--https"}) {}

    void harvest(std::u16string_view address) {
        form().txtblog.set_text(utf16_to_utf8(address));
        click(form().Command1);
    }

    // The index queries the stand-in archive was asked, in order.
    std::vector<std::string> index_queries() {
        std::vector<std::string> queries;
        const std::string log = service().request_log();
        static const std::regex query(R"(https://web\.archive\.org/cdx/search/cdx\?url=([^&\n]*))");
        for (auto at = std::sregex_iterator(log.begin(), log.end(), query);
             at != std::sregex_iterator(); ++at) {
            queries.push_back((*at)[1].str());
        }
        return queries;
    }
};

// Neither the service nor the archive has anything to say: every address answers 404, the
// index's too.
class NoIndexTest : public RecoveryTest {
protected:
    NoIndexTest()
        : m_server([](httplib::Server& server) {
              server.Get(R"(.*)", [](const httplib::Request&, httplib::Response& response) {
                  response.status = 404;
                  response.set_content("<html>not here</html>", "text/html");
              });
          }) {}

    void SetUp() override {
        RecoveryTest::SetUp();
        gui_testing::point_browser_at(m_server.base_url());
        // Put back by the service's end; the CONNECT for https gets a 404 too.
        setenv("http_proxy", m_server.base_url().c_str(), 1);
        setenv("https_proxy", m_server.base_url().c_str(), 1);
    }

    testing_support::LoopbackServer m_server;
};

} // namespace

TEST_F(RecoveryTest, YesHarvestsTheBlogFromItsNewestListPageCaptureAndNoChangesNothing) {
    harvest(u"http://hi.baidu.com/someone");
    EXPECT_EQ(form().list1_count(), 0u);
    EXPECT_EQ(box_texts(), (Texts{hint_text, question_text}));
    // 否: the address and the list stay, nothing is asked of the archive.
    EXPECT_EQ(form().txtblog.get_text(), "http://hi.baidu.com/someone");
    EXPECT_TRUE(index_queries().empty());
    EXPECT_TRUE(form().Command1.get_sensitive());

    boxes.clear();
    question_answer = true;
    harvest(u"http://hi.baidu.com/someone");
    // The stand-in's newest status-200 capture of the list page is its "closed" notice of
    // 2015-06; the harvest starts there and the index gives the posts.
    const std::string address = form().txtblog.get_text();
    EXPECT_TRUE(std::regex_match(
        address,
        std::regex(R"(https://web\.archive\.org/web/201506\d{8}/http://hi\.baidu\.com/someone)")))
        << address;
    EXPECT_EQ(index_queries().front(), "hi.baidu.com/someone/blog");
    EXPECT_EQ(box_texts(), (Texts{hint_text, question_text, hint_text}));
    Texts listed;
    for (const std::u16string& item : form().list1_items()) {
        std::u16string original = item.substr(item.find(u"/http://") + 1);
        if (const std::size_t port = original.find(u":80/"); port != std::u16string::npos) {
            original.erase(port, 3); // as the crawler wrote some addresses
        }
        listed.push_back(original);
    }
    std::ranges::sort(listed);
    Texts expected;
    for (int number = 1; number <= someone.post_count(); ++number) {
        expected.push_back(someone.post_address(number));
    }
    std::ranges::sort(expected);
    EXPECT_EQ(listed, expected);
    EXPECT_EQ(form().Command1.get_label(), "获取文章链接");
    EXPECT_TRUE(form().Command1.get_sensitive());
}

TEST_F(RecoveryTest, ABlogTheArchiveNeverSawIsSaidSoAndNothingElse) {
    question_answer = true;
    harvest(u"http://hi.baidu.com/nobody");
    EXPECT_EQ(box_texts(), (Texts{hint_text, question_text, u"网页时光机里没有这个博客"}));
    // Both the list page and the blog's own address were looked up, nothing was harvested.
    EXPECT_EQ(index_queries(),
              (std::vector<std::string>{"hi.baidu.com/nobody/blog", "hi.baidu.com/nobody"}));
    EXPECT_EQ(form().txtblog.get_text(), "http://hi.baidu.com/nobody");
    EXPECT_EQ(form().list1_count(), 0u);
    EXPECT_TRUE(form().Command1.get_sensitive());
}

TEST_F(NoIndexTest, AnIndexThatCannotBeReadIsSaidSoAndNothingElse) {
    question_answer = true;
    harvest(u"http://hi.baidu.com/someone");
    EXPECT_EQ(box_texts(),
              (Texts{hint_text, question_text, u"无法连接网页时光机，请检查网络后再试"}));
    EXPECT_EQ(form().txtblog.get_text(), "http://hi.baidu.com/someone");
    EXPECT_EQ(form().list1_count(), 0u);
    EXPECT_TRUE(form().Command1.get_sensitive());
}
