// A save where something fails: posts that cannot be had or written, a folder that cannot be
// written, a copy that cannot be made. The save goes on and says what failed.
#include "tests/gui/save_fixture.h"

#include "blog/blog_address.h"
#include "platform/files.h"
#include "platform/quit_request.h"
#include "platform/text.h"

#include <glibmm/main.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace gui_testing;

namespace fs = std::filesystem;

TEST_F(FailingSaveTest, MissingUnreachableEmptyAndPostlessPagesAreCountedAndStillWritten) {
    list_page(0); // posts 1, 2, 3 (missing), 4 and the friend's post 1
    LocalPosts local(2);
    form().list1_add_links({
        // A host that refuses connections.
        u"http://127.0.0.1:9/someone/blog/item/0000000000000000.html",
        local.address("empty.html"),
        local.address("login.html"),
    });
    save_without_proxy();

    EXPECT_EQ(box_texts(),
              (Texts{u"保存完毕", u"有4篇文章保存失败", saved_in(u"/someone"), u"欢迎再次使用"}));
    // Each failure leaves the file the original left: empty, under whatever title was cut.
    EXPECT_EQ(files_in(user_folder()), (Files{{"1 春游记1.html", gbk_body(u"someone", 1)},
                                              {"2 我的第2篇日记.html", gbk_body(u"someone", 2)},
                                              {"3 .html", ""},
                                              {"4 文档_备份4.html", gbk_body(u"someone", 4)},
                                              {"5 春游记1.html", gbk_body(u"someonefriend", 1)},
                                              {"6 .html", ""},
                                              {"7 .html", ""},
                                              {"8 login.html", ""}}));
}

TEST_F(SaveTest, AWriteThatFailsIsCounted) {
    list_page(2); // posts 9, 10, 11 and the friend's post 3
    fs::create_directory(user_folder());
    // The second post's file sits on a full disk.
    fs::create_symlink("/dev/full", user_folder() / "2 10_一百.html");
    save();
    EXPECT_EQ(box_texts(),
              (Texts{u"保存完毕", u"有1篇文章保存失败", saved_in(u"/someone"), u"欢迎再次使用"}));
    EXPECT_EQ(files_in(user_folder()), (Files{{"1 _引号_9.html", gbk_body(u"someone", 9)},
                                              {"3 11_零.html", gbk_body(u"someone", 11)},
                                              {"4 a_b日记3.html", gbk_body(u"someonefriend", 3)}}));
}

TEST_F(SaveTest, WhenNoFolderCanBeWrittenItSaysSoAndDownloadsNothing) {
    LocalPosts posts(2);
    form().list1_add_links(posts.numbered_addresses(2));
    // A file stands where the user folder would go, and the home folder lies below it. The
    // trailing slash still names that folder, not "blocked_".
    const fs::path blocked = platform::program_folder() / "blocked";
    std::ofstream(blocked) << "x";
    const char* const home = getenv("HOME");
    const std::string saved_home = home != nullptr ? home : "/root";
    setenv("HOME", (blocked / "home").c_str(), 1);
    save_without_proxy(u"http://hi.baidu.com/blocked/");
    setenv("HOME", saved_home.c_str(), 1);

    EXPECT_EQ(box_texts(), Texts{u"无法保存文章：文件夹无法写入 " +
                                 platform::utf8_to_utf16(blocked.string()) + u"/home/blocked"});
    EXPECT_EQ(posts.requests(), 0);
    EXPECT_TRUE(opened.empty());
    EXPECT_EQ(form().Command2.get_label(), "保存文章");
}

TEST_F(SaveTest, ACopyThatCannotBePreparedKeepsThePostFilesAndSaysSo) {
    list_page(2); // posts 9, 10, 11 and the friend's post 3
    const Files expected = expected_files(form().list1_items());
    fs::create_directory(user_folder());
    // A file where the copy's folder should be: no post can be prepared for it.
    const fs::path in_the_way = user_folder() / u8"离线浏览";
    std::ofstream(in_the_way) << "in the way";
    save();
    // Without prepared posts there is nothing whole to export either: the exports an earlier
    // save left are not silently out of date.
    EXPECT_EQ(box_texts(), (Texts{u"保存完毕", u"离线浏览副本未能完整写入", u"导出文件未能完整写入",
                                  saved_in(u"/someone"), u"欢迎再次使用"}));
    Files written = files_in(user_folder());
    EXPECT_EQ(written["离线浏览"], "in the way");
    written.erase("离线浏览");
    EXPECT_EQ(written, expected);
}
