// Blogs of the layout the service used from 2012 on: walked, saved, copied and exported.
#include "tests/gui/form1_fixture.h"

#include "platform/files.h"
#include "platform/quit_request.h"
#include "platform/text.h"
#include "tools/sample_blog/blog_model.h"
#include "tools/sample_blog/gbk_encoder.h"
#include "tools/sample_blog/new_layout_blog.h"

#include <glibmm/main.h>

#include <algorithm>
#include <filesystem>
#include <map>

using gui_testing::click;
using gui_testing::files_in;
using gui_testing::ListAtStart;
using gui_testing::read_file;
using gui_testing::text_of;
using gui_testing::UserFolderFixture;
using Texts = std::vector<std::u16string>;

namespace fs = std::filesystem;

namespace {

const std::u16string hint_text = u"若无法自动获取全部日志，请手动点击[下一页]";
// Seven posts, three a page: three list pages.
const sample_blog::NewLayoutBlog nl_blog(u"nlsomeone", 7, 3);

// The original inside a list item, as the blog's own address.
std::u16string original_in(const std::u16string& item) {
    std::u16string original = item.substr(item.find(u"/http://") + 1);
    if (const std::size_t port = original.find(u":80/"); port != std::u16string::npos) {
        original.erase(port, 3);
    }
    return original;
}

class NewLayoutRunTest : public UserFolderFixture {
protected:
    explicit NewLayoutRunTest(std::vector<std::string> service_arguments = {"--posts", "7",
                                                                            "--per-page", "3"})
        : UserFolderFixture(std::move(service_arguments), "nlsomeone", ListAtStart::empty) {}

    void run(Gtk::Button& button, std::u16string_view address) {
        form().txtblog.set_text(platform::utf16_to_utf8(address));
        click(button);
    }

    // Harvests the blog as the archive held it in 2013: the originals listed, in order.
    Texts harvest_archived() {
        run(form().Command1,
            u"http://web.archive.org/web/20130601000000/http://hi.baidu.com/nlsomeone");
        Texts originals;
        for (const std::u16string& item : form().list1_items()) {
            originals.push_back(original_in(item));
        }
        return originals;
    }

    // The posts newest first, as the list pages show them.
    static Texts all_posts() {
        Texts posts;
        for (int n = 7; n >= 1; --n) {
            posts.push_back(nl_blog.post_address(n));
        }
        return posts;
    }
};

} // namespace

TEST_F(NewLayoutRunTest, WalksTheHomesPagesAndListsEachPostOnce) {
    run(form().Command1, u"http://hi.baidu.com/nlsomeone");
    EXPECT_EQ(text_of(form().Label2), u"共有3页数");
    EXPECT_EQ(text_of(form().Label3), u"正在获取第3页的文章链接");
    EXPECT_EQ(form().list1_items(), all_posts());
    EXPECT_EQ(box_texts(), Texts{hint_text}); // no error box, no offer of the archive

    // The changeover address names the same blog.
    boxes.clear();
    run(form().Command1, u"http://hi.baidu.com/new/nlsomeone");
    EXPECT_EQ(form().list1_items(), all_posts());
    EXPECT_EQ(box_texts(), Texts{hint_text});
}

TEST_F(NewLayoutRunTest, SavesEachBodyWholeInGbkAndCarriesItsDateAndTags) {
    // The list takes the newer layout's posts of the user in the address box.
    form().txtblog.set_text("http://hi.baidu.com/nlsomeone");
    form().list1_add_links(all_posts());
    ASSERT_EQ(form().list1_count(), 7u);
    run(form().Command2, u"http://hi.baidu.com/nlsomeone");
    EXPECT_EQ(
        box_texts(),
        (Texts{u"保存完毕", u"文章已保存于 " + platform::utf8_to_utf16(user_folder().string()),
               u"欢迎再次使用"}));
    std::map<std::string, std::string> expected;
    for (std::size_t i = 0; i < 7; ++i) {
        const int n = 7 - static_cast<int>(i);
        expected[std::to_string(i + 1) + " 新版文章" + std::to_string(n) + ".html"] =
            sample_blog::encode_gbk(nl_blog.body(n));
    }
    EXPECT_EQ(files_in(user_folder()), expected);

    // Post 3 (list place 5): dated 2013-04-04 03:21 China time, tagged; post 4 has no tags,
    // post 5 no date.
    const fs::path hugo = user_folder() / u8"导出" / "hugo/content/posts";
    const std::string third = read_file(hugo / "5" / "index.md");
    EXPECT_NE(third.find("title: \"新版 文章3\"\n"), std::string::npos) << third;
    EXPECT_NE(third.find("date: 2013-04-04T03:21:00+08:00\n"), std::string::npos) << third;
    EXPECT_NE(third.find("tags: [\"标签0\", \"新版\"]\n"), std::string::npos) << third;
    EXPECT_EQ(third.find("categories:"), std::string::npos) << third;
    EXPECT_EQ(read_file(hugo / "4" / "index.md").find("tags:"), std::string::npos);
    EXPECT_NE(read_file(hugo / "3" / "index.md").find("date_from: backup\n"), std::string::npos);
    const std::string wordpress = read_file(user_folder() / u8"导出" / "wordpress.xml");
    EXPECT_NE(wordpress.find("<category domain=\"post_tag\" nicename=\""), std::string::npos);
    EXPECT_NE(wordpress.find("<![CDATA[标签0]]>"), std::string::npos) << wordpress.substr(0, 3000);
    // The copy shows the heading's text and the date.
    const std::string page = read_file(user_folder() / u8"离线浏览" / "index.html");
    EXPECT_NE(page.find("新版 文章3"), std::string::npos);
    EXPECT_NE(page.find("2013-04-04 03:21"), std::string::npos);
}

namespace {

// A blog captured only in the newer layout: five posts, two a page; the newest is in no
// captured list page, only in the index.
class NewLayoutArchiveTest : public NewLayoutRunTest {
protected:
    NewLayoutArchiveTest()
        : NewLayoutRunTest({"--posts", "5", "--per-page", "2", "--archive", "full", "--https"}) {}
};

} // namespace

TEST_F(NewLayoutArchiveTest, WalksTheCapturedPagesAddsTheIndexOnlyPostAndSavesEachOnce) {
    const sample_blog::NewLayoutBlog blog(u"nlsomeone", 5, 2);
    const Texts originals = harvest_archived();
    EXPECT_EQ(text_of(form().Label2), u"共有3页数");
    // Posts 4 to 1 from the list pages, then post 5 from the index.
    EXPECT_EQ(originals, (Texts{blog.post_address(4), blog.post_address(3), blog.post_address(2),
                                blog.post_address(1), blog.post_address(5)}));
    EXPECT_EQ(box_texts(), Texts{hint_text});

    boxes.clear();
    run(form().Command2,
        u"http://web.archive.org/web/20130601000000/http://hi.baidu.com/nlsomeone");
    std::map<std::string, std::string> expected;
    const int numbers[] = {4, 3, 2, 1, 5};
    for (std::size_t i = 0; i < 5; ++i) {
        expected[std::to_string(i + 1) + " 新版文章" + std::to_string(numbers[i]) + ".html"] =
            sample_blog::encode_gbk(blog.body(numbers[i]));
    }
    EXPECT_EQ(files_in(user_folder()), expected);
    EXPECT_EQ(box_texts().front(), u"保存完毕");
}

namespace {

// The same blog, but its home was captured in a theme without a pager: one page by the home,
// three by the index of its list pages.
class PagerlessHomeArchiveTest : public NewLayoutRunTest {
protected:
    PagerlessHomeArchiveTest()
        : NewLayoutRunTest({"--posts", "5", "--per-page", "2", "--archive", "full", "--https",
                            "--archive-pagerless-home", "1"}) {}
};

} // namespace

TEST_F(PagerlessHomeArchiveTest, WalksTheListPagesTheIndexHoldsBeyondThePager) {
    const sample_blog::NewLayoutBlog blog(u"nlsomeone", 5, 2);
    const Texts originals = harvest_archived();
    EXPECT_EQ(text_of(form().Label2), u"共有1页数");
    EXPECT_EQ(text_of(form().Label3), u"正在获取第3页的文章链接");
    // In the blog's own order, as the list pages show it, not the index's.
    EXPECT_EQ(originals, (Texts{blog.post_address(4), blog.post_address(3), blog.post_address(2),
                                blog.post_address(1), blog.post_address(5)}));
    EXPECT_EQ(box_texts(), Texts{hint_text});
    const std::string log = service().request_log();
    for (const char* page : {"id_/http://hi.baidu.com/nlsomeone?page=2\n",
                             "id_/http://hi.baidu.com/nlsomeone?page=3\n"}) {
        EXPECT_NE(log.find(page), std::string::npos) << page << log;
    }
    EXPECT_EQ(log.find("nlsomeone?page=4"), std::string::npos) << log;
}

namespace {

// The service closed; the archive holds a blog of both layouts (new_layout_blog.h): old posts
// 1 to 4, and in the newer layout posts 2 to 4 again and posts 5 and 6.
class MixedBlogTest : public UserFolderFixture {
protected:
    MixedBlogTest()
        : UserFolderFixture({"--posts", "4", "--per-page", "2", "--live-gone", "--archive", "full",
                             "--export-trials", "--https"},
                            "mxsomeone", ListAtStart::empty) {}

    // Harvests the dead address through the archive: each list item as (new layout?, number).
    std::vector<std::pair<bool, int>> harvest() {
        question_answer = true;
        form().txtblog.set_text("http://hi.baidu.com/mxsomeone");
        click(form().Command1);
        EXPECT_GE(box_texts().size(), 2u);
        std::map<std::u16string, std::pair<bool, int>> known; // original -> new layout?, number
        for (int n = 1; n <= 4; ++n) {
            known[old_blog.post_address(n)] = {false, n};
        }
        for (int n = 2; n <= 6; ++n) {
            known[new_blog.post_address(n)] = {true, n};
        }
        std::vector<std::pair<bool, int>> listed;
        for (const std::u16string& item : form().list1_items()) {
            EXPECT_TRUE(known.contains(original_in(item))) << platform::utf16_to_utf8(item);
            listed.push_back(known.contains(original_in(item)) ? known[original_in(item)]
                                                               : std::pair{false, 0});
        }
        return listed;
    }

    // The files a save of `listed` leaves. Posts 2 and 3 carry the same title and time in both
    // layouts: kept once, the old copy. Post 4's old page shows no date, so both its copies are
    // kept.
    std::map<std::string, std::string>
    expected_files(const std::vector<std::pair<bool, int>>& listed) const {
        const std::string old_name = "他说：&quot;你好&quot;&amp;'hi'_";
        const std::string new_name = "他说：_你好_&'hi'_";
        std::map<std::string, std::string> expected;
        for (std::size_t i = 0; i < listed.size(); ++i) {
            const auto [is_new, n] = listed[i];
            if (is_new && (n == 2 || n == 3)) {
                continue;
            }
            const std::string title = is_new && n >= 5
                                          ? "新版文章" + std::to_string(n)
                                          : (is_new ? new_name : old_name) + std::to_string(n);
            expected[std::to_string(i + 1) + " " + title + ".html"] =
                sample_blog::encode_gbk(is_new ? new_blog.body(n) : old_blog.post_body(n));
        }
        return expected;
    }

    // The save's last boxes: the two layouts' count right before where the files are.
    void expect_two_layouts_box() {
        const Texts shown = box_texts();
        ASSERT_GE(shown.size(), 3u);
        EXPECT_EQ(shown[shown.size() - 3], u"有2篇文章在新旧两种版式里都有存档，只保存了一份");
        EXPECT_EQ(shown[shown.size() - 2].substr(0, 7), u"文章已保存于 ");
    }

    // The exports hold seven posts.
    std::size_t exported_posts() const {
        std::size_t exported = 0;
        for (const auto& entry :
             fs::directory_iterator(user_folder() / u8"导出" / "hugo/content/posts")) {
            exported += entry.is_directory() ? 1 : 0;
        }
        return exported;
    }

    const sample_blog::SampleBlog old_blog{u"mxsomeone",
                                           {.posts = 4, .per_page = 2, .export_trials = true}};
    const sample_blog::NewLayoutBlog new_blog{u"mxsomeone", 4, 2};
};

} // namespace

TEST_F(MixedBlogTest, RecoversBothLayoutsAndKeepsAPostOfBothOnce) {
    const std::vector<std::pair<bool, int>> listed = harvest();
    // Every capture of either layout is listed once, the old addresses first.
    ASSERT_EQ(listed.size(), 9u);
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_FALSE(listed[i].first);
    }

    boxes.clear();
    click(form().Command2);
    EXPECT_EQ(files_in(user_folder()), expected_files(listed));
    expect_two_layouts_box();
    // The new ones with their dates and tags.
    EXPECT_EQ(exported_posts(), 7u);
    const std::string wordpress = read_file(user_folder() / u8"导出" / "wordpress.xml");
    EXPECT_NE(wordpress.find("<![CDATA[新版]]>"), std::string::npos);
}

TEST_F(MixedBlogTest, ASaveResumedAfterAllOldPostsStillKeepsAPostOfBothOnce) {
    const std::vector<std::pair<bool, int>> listed = harvest();
    ASSERT_EQ(listed.size(), 9u);
    const Texts items = form().list1_items();
    const std::string archived = form().txtblog.get_text();
    // Closed once the old layout's four posts are written: the new copies of posts 2 and 3
    // come after, in the resumed save, which must still know what was written before.
    sigc::connection watch = Glib::signal_timeout().connect(
        [this] {
            if (form().Command2.get_label().raw().ends_with("4/9")) {
                form().close();
                return false;
            }
            return true;
        },
        2);
    click(form().Command2);
    watch.disconnect();
    ASSERT_TRUE(platform::quit_requested());
    ASSERT_LT(files_in(user_folder()).size(), 7u);

    restart_form();
    boxes.clear();
    question_answer = true;
    // The address first: it names the user whose newer-layout posts the list takes.
    form().txtblog.set_text(archived);
    form().list1_add_links(items);
    ASSERT_EQ(form().list1_items(), items);
    click(form().Command2);
    ASSERT_FALSE(boxes.empty());
    EXPECT_TRUE(box_texts().front().starts_with(u"上次的保存没有完成")) << [&] {
        std::string shown;
        for (const std::u16string& text : box_texts()) {
            shown += platform::utf16_to_utf8(text) + "\n";
        }
        return shown;
    }();
    EXPECT_EQ(files_in(user_folder()), expected_files(listed));
    expect_two_layouts_box();
    EXPECT_EQ(exported_posts(), 7u);
}

namespace {

// The service closed; the archive holds the blog only in the newer layout.
class NewLayoutRecoveryTest : public NewLayoutRunTest {
protected:
    NewLayoutRecoveryTest()
        : NewLayoutRunTest(
              {"--posts", "5", "--per-page", "2", "--live-gone", "--archive", "full", "--https"}) {}
};

} // namespace

TEST_F(NewLayoutRecoveryTest, ADeadAddressLeadsToTheArchiveAndItsPosts) {
    const sample_blog::NewLayoutBlog blog(u"nlsomeone", 5, 2);
    question_answer = true;
    run(form().Command1, u"http://hi.baidu.com/nlsomeone");
    // Its home's newest good capture is where the harvest went.
    EXPECT_EQ(form().txtblog.get_text().substr(0, 28), "https://web.archive.org/web/");
    Texts originals;
    for (const std::u16string& item : form().list1_items()) {
        originals.push_back(original_in(item));
    }
    std::ranges::sort(originals);
    Texts expected;
    for (int n = 1; n <= 5; ++n) {
        expected.push_back(blog.post_address(n));
    }
    std::ranges::sort(expected);
    EXPECT_EQ(originals, expected);
}
