// A long recovery through the archive interrupted and taken up again: the kept list, the save
// resumed after the window was closed, and the retry of the failed posts alone.

#include "tests/gui/form1_fixture.h"

#include "platform/files.h"
#include "platform/quit_request.h"
#include "platform/text.h"
#include "tools/sample_blog/blog_model.h"
#include "tools/sample_blog/gbk_encoder.h"

#include <glibmm/main.h>

#include <filesystem>
#include <regex>

using gui_testing::click;
using gui_testing::files_in;
using gui_testing::text_of;
using platform::utf16_to_utf8;
using Texts = std::vector<std::u16string>;
namespace fs = std::filesystem;

namespace {

const std::u16string archived_blog = u"http://web.archive.org/web/2012/http://hi.baidu.com/someone";
const sample_blog::SampleBlog someone(u"someone", {.posts = 6, .per_page = 4});
constexpr int post_count = 6;

std::string gbk_body(int number) {
    return sample_blog::encode_gbk(someone.post_body(number));
}

// The post's own path, as every request for it through the archive carries it.
std::string path_of(int number) {
    const std::string address = utf16_to_utf8(someone.post_address(number));
    return address.substr(address.find("/someone/"));
}

int requests_for(int number, const std::string& log) {
    int count = 0;
    for (std::size_t at = log.find(path_of(number)); at != std::string::npos;
         at = log.find(path_of(number), at + 1)) {
        ++count;
    }
    return count;
}

// The post numbers whose files are there, each holding its body `copies` times, or 0 for a post
// whose file holds anything else.
std::map<int, int> bodies_in(const fs::path& folder) {
    std::map<int, int> copies;
    for (const auto& [name, bytes] : files_in(folder)) {
        const int number = std::stoi(name);
        const std::string body = gbk_body(number);
        int found = 0;
        std::string rest = bytes;
        while (rest.starts_with(body) && !body.empty()) {
            rest.erase(0, body.size());
            ++found;
        }
        copies[number] = rest.empty() ? found : 0;
    }
    return copies;
}

class ResumeTest : public gui_testing::UserFolderFixture {
protected:
    explicit ResumeTest(std::vector<std::string> more = {})
        : UserFolderFixture(arguments(std::move(more))) {}

    static std::vector<std::string> arguments(std::vector<std::string> more) {
        std::vector<std::string> all{"--posts",   "6",    "--per-page", "4",
                                     "--archive", "full", "--https"};
        all.insert(all.end(), more.begin(), more.end());
        return all;
    }

    static Texts captures() {
        Texts posts;
        for (int number = 1; number <= post_count; ++number) {
            posts.push_back(u"http://web.archive.org/web/2012/" + someone.post_address(number));
        }
        return posts;
    }

    void save_list() {
        form().list1_clear();
        form().list1_add_links(captures());
        form().txtblog.set_text(utf16_to_utf8(archived_blog));
        click(form().Command2);
    }

    // Saves the list and closes the window once `written` posts are counted.
    void save_closing_after(int written) {
        const std::string count = std::to_string(written) + "/" + std::to_string(post_count);
        sigc::connection watch = Glib::signal_timeout().connect(
            [this, count] {
                if (form().Command2.get_label().raw().ends_with(count)) {
                    form().close();
                    return false;
                }
                return true;
            },
            2);
        save_list();
        watch.disconnect();
    }

    // What the service was asked since the last call, but the asking for its log.
    std::string new_requests() {
        const std::string log = service().request_log();
        std::string fresh = log.substr(m_seen);
        m_seen = log.size();
        static const std::regex asking_for_log("(^|\n)/_sample/requests\n");
        return std::regex_replace(fresh, asking_for_log, "$1");
    }

    std::size_t m_seen = 0;
};

class FailingResumeTest : public ResumeTest {
protected:
    FailingResumeTest() : ResumeTest({"--archive-uncaptured-post", "3"}) {}
};

} // namespace

TEST_F(ResumeTest, AClosedSaveResumedWithYesAsksNothingAgainOfThePostsWritten) {
    save_closing_after(2);
    ASSERT_TRUE(platform::quit_requested());
    const std::map<int, int> before = bodies_in(user_folder());
    ASSERT_GE(before.size(), 2U);
    ASSERT_LT(before.size(), static_cast<std::size_t>(post_count));
    new_requests();

    restart_form();
    boxes.clear();
    question_answer = true;
    save_list();
    const std::string resumed = new_requests();
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes.front().text, u"上次的保存没有完成：已保存" +
                                      platform::decimal(static_cast<long long>(before.size())) +
                                      u"篇，共6篇。只保存其余的文章吗？");
    EXPECT_EQ(box_texts().at(1), u"保存完毕");
    std::map<int, int> once;
    for (int number = 1; number <= post_count; ++number) {
        once[number] = 1;
        EXPECT_EQ(requests_for(number, resumed), before.contains(number) ? 0 : 1) << number;
    }
    EXPECT_EQ(bodies_in(user_folder()), once);
    // The copy lists every post, the ones saved before the close too, and the save ends there.
    const std::string index = gui_testing::read_file(user_folder() / "离线浏览" / "index.html");
    for (int number = 1; number <= post_count; ++number) {
        const std::string n = std::to_string(number);
        EXPECT_NE(index.find("<li value=\"" + n + "\"><a href=\"posts/" + n + ".html\">"),
                  std::string::npos)
            << number;
        EXPECT_TRUE(fs::exists(user_folder() / "离线浏览" / "posts" / (n + ".html"))) << number;
    }
    EXPECT_EQ(opened, Texts{gui_testing::file_address(user_folder() / "离线浏览" / "index.html")});
    EXPECT_EQ(form().get_title().raw(), "Pellumo");
}

TEST_F(ResumeTest, NoSavesEveryPostAgainAppendingAsAlways) {
    save_closing_after(2);
    const std::map<int, int> before = bodies_in(user_folder());
    ASSERT_GE(before.size(), 2U);

    restart_form();
    boxes.clear();
    question_answer = false;
    save_list();
    const std::string question = utf16_to_utf8(boxes.front().text);
    EXPECT_TRUE(question.starts_with("上次的保存没有完成")) << question;
    std::map<int, int> expected;
    for (int number = 1; number <= post_count; ++number) {
        expected[number] = before.contains(number) ? 2 : 1;
    }
    EXPECT_EQ(bodies_in(user_folder()), expected);
}

TEST_F(ResumeTest, TheKeptListTakenWithYesAsksNothingOfTheArchive) {
    form().txtblog.set_text(utf16_to_utf8(archived_blog));
    click(form().Command1);
    const Texts listed = form().list1_items();
    ASSERT_FALSE(listed.empty());

    restart_form();
    boxes.clear();
    new_requests();
    question_answer = true;
    form().txtblog.set_text(utf16_to_utf8(archived_blog));
    const std::string label2 = form().Label2.get_text().raw();
    const std::string label3 = form().Label3.get_text().raw();
    click(form().Command1);

    ASSERT_EQ(boxes.size(), 1U);
    EXPECT_TRUE(std::regex_match(utf16_to_utf8(boxes.front().text),
                                 std::regex("上次获取了" + std::to_string(listed.size()) +
                                            "个文章链接（20[0-9]{2}-[01][0-9]-[0-3][0-9] "
                                            "[0-2][0-9]:[0-5][0-9]）。直接使用这些链接吗？")))
        << utf16_to_utf8(boxes.front().text);
    EXPECT_EQ(form().list1_items(), listed);
    EXPECT_EQ(new_requests(), "");
    EXPECT_EQ(form().Label2.get_text().raw(), label2);
    EXPECT_EQ(form().Label3.get_text().raw(), label3);
    EXPECT_FALSE(form().Timer1.enabled());
    EXPECT_EQ(form().Command1.get_label(), "获取文章链接");

    // No walks as ever and keeps the list it found.
    boxes.clear();
    question_answer = false;
    click(form().Command1);
    EXPECT_EQ(box_texts().at(1), u"若无法自动获取全部日志，请手动点击[下一页]");
    EXPECT_NE(new_requests(), "");
    EXPECT_EQ(form().list1_items(), listed);
}

TEST_F(FailingResumeTest, YesRetriesTheFailedPostsAlone) {
    save_list();
    EXPECT_EQ(box_texts().at(1), u"有1篇文章保存失败");
    const std::string failed =
        gui_testing::read_file(user_folder() / "恢复记录" / "保存失败的文章.txt");
    EXPECT_TRUE(failed.starts_with("3\t" + utf16_to_utf8(captures()[2]) + "\t")) << failed;
    new_requests();

    boxes.clear();
    question_answer = true;
    save_list();
    EXPECT_EQ(box_texts().front(), u"上次有1篇文章保存失败。只重试这些文章吗？");
    const std::string retried = new_requests();
    for (int number = 1; number <= post_count; ++number) {
        EXPECT_EQ(requests_for(number, retried) > 0, number == 3) << number;
    }
    // Still missing from the archive: it fails again, and nothing was appended twice.
    EXPECT_EQ(box_texts().at(2), u"有1篇文章保存失败");
    const std::map<int, int> files = bodies_in(user_folder());
    for (int number = 1; number <= post_count; ++number) {
        if (number != 3) {
            EXPECT_EQ(files.at(number), 1) << number;
        }
    }
}
