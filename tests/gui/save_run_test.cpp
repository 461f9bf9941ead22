// The save: one GBK file per post, numbered by its place in the list, and a window that stays
// live while it runs.
#include "tests/gui/save_fixture.h"

#include "blog/blog_address.h"
#include "platform/files.h"
#include "platform/quit_request.h"
#include "platform/text.h"

#include <glibmm/main.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

using namespace gui_testing;

namespace fs = std::filesystem;

TEST_F(SaveTest, WritesOneGbkFilePerPostNumberedByItsPlaceAndReports) {
    list_page(1);
    list_page(0); // listed after page 1: numbering follows the list, not the dates
    const std::vector<std::u16string> posts = form().list1_items();
    ASSERT_EQ(posts.size(), 10u); // four posts and one friend's post a page

    save();
    EXPECT_EQ(files_in(user_folder()), expected_files(posts));
    EXPECT_EQ(box_texts(), (Texts{u"保存完毕", saved_in(u"/someone"), u"欢迎再次使用"}));
    for (const RecordedBox& box : boxes) {
        EXPECT_EQ(box.title, u"Pellumo");
    }
    // The save ends on the copy it left, not on the closed service's page.
    EXPECT_EQ(opened, Texts{u"file://" + user_folder().u16string() +
                            u"/%E7%A6%BB%E7%BA%BF%E6%B5%8F%E8%A7%88/index.html"});
    EXPECT_EQ(form().Command2.get_label(), "保存文章");

    save(); // appends a second copy to each file
    EXPECT_EQ(files_in(user_folder()), expected_files(posts, 2));
}

TEST_F(SaveTest, AnEmptyListSavesNothingAndStillReports) {
    save();
    EXPECT_EQ(box_texts(), (Texts{u"保存完毕", saved_in(u"/someone"), u"欢迎再次使用"}));
    EXPECT_TRUE(fs::is_empty(user_folder()));
}

TEST_F(SaveTest, DownloadsFourPostsAtOnceNeverMore) {
    LocalPosts posts(8);
    form().list1_add_links(posts.numbered_addresses(8));
    save_without_proxy();
    EXPECT_EQ(posts.most_at_once(), 4);
    Files expected;
    for (int i = 1; i <= 8; ++i) {
        expected[std::to_string(i) + " 标题.html"] = "\xD5\xFD\xCE\xC4"; // 正文
    }
    EXPECT_EQ(files_in(user_folder()), expected);
}

TEST_F(SlowSaveTest, TheWindowStaysLiveShowsProgressAndIgnoresClicks) {
    list_page(0);
    list_page(1);
    const std::vector<std::u16string> posts = form().list1_items();
    std::vector<std::string> captions;
    int ticks = 0;
    std::string caption_at_first_box;
    int widest = 0;
    on_box = [&] {
        if (caption_at_first_box.empty()) {
            caption_at_first_box = form().Command2.get_label();
        }
    };
    sigc::connection watcher = Glib::signal_timeout().connect(
        [&] {
            ++ticks;
            captions.push_back(form().Command2.get_label());
            widest = std::max(widest, form().get_width());
            if (ticks == 3) {
                click(form().Command1); // no harvest may start
                click(form().Command2); // no second save either
                // The collector keeps working; what it adds now is not part of this save.
                form().WebBrowser1.Navigate2(
                    sample_blog::SampleBlog(u"someone", gui_testing::save_blog_options)
                        .list_page_address(2));
            }
            return true;
        },
        100);
    save();
    watcher.disconnect();

    EXPECT_GT(ticks, 5); // the main loop ran while the posts downloaded
    // The count moved while the posts came in, and stood full when the save was reported.
    const std::string total = std::to_string(posts.size());
    EXPECT_TRUE(std::ranges::any_of(captions, [&](const std::string& caption) {
        return caption.starts_with("正在保存") && caption.ends_with("/" + total) &&
               caption != "正在保存" + total + "/" + total;
    }));
    EXPECT_EQ(caption_at_first_box, "正在保存" + total + "/" + total);
    EXPECT_EQ(widest, 740); // the count fits the button; the window keeps its size
    EXPECT_EQ(boxes.size(), 3u);
    EXPECT_EQ(files_in(user_folder()), expected_files(posts));
    EXPECT_EQ(form().Command1.get_label(), "获取文章链接");
}

TEST_F(SlowSaveTest, ClosingTheWindowMidSaveStopsItAndKeepsWholeFiles) {
    list_page(0);
    list_page(1);
    const Files expected = expected_files(form().list1_items());
    Glib::signal_timeout().connect_once([this] { form().close(); }, 700);
    save();

    EXPECT_TRUE(platform::quit_requested());
    EXPECT_TRUE(boxes.empty());
    const Files written = files_in(user_folder());
    EXPECT_LT(written.size(), expected.size()); // three rounds of downloads take 900 ms
    for (const auto& [name, bytes] : written) {
        EXPECT_EQ(bytes, expected.at(name)) << name;
    }
}

TEST_F(SaveTest, ASaveDuringAHarvestWaitSavesTheListAsItStood) {
    std::vector<std::u16string> at_click;
    Glib::signal_timeout().connect_once(
        [this, &at_click] {
            at_click = form().list1_items();
            click(form().Command2);
        },
        6000); // during the wait on list page 1
    form().txtblog.set_text("http://hi.baidu.com/someone");
    click(form().Command1);

    ASSERT_FALSE(at_click.empty());
    EXPECT_EQ(files_in(user_folder()), expected_files(at_click));
    // The harvest went on afterwards and gathered the rest.
    EXPECT_GT(form().list1_count(), at_click.size());
    EXPECT_EQ(form().Command1.get_label(), "获取文章链接");
}
