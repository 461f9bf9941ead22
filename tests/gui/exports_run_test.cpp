#include "tests/gui/form1_fixture.h"

#include "platform/files.h"
#include "platform/text.h"
#include "tools/sample_blog/blog_model.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

using gui_testing::click;
using gui_testing::ListAtStart;
using gui_testing::read_file;
using gui_testing::UserFolderFixture;
using Texts = std::vector<std::u16string>;

namespace fs = std::filesystem;

namespace {

const sample_blog::BlogOptions trials{
    .posts = 5, .per_page = 5, .pictures = true, .export_trials = true};

class ExportsSaveTest : public UserFolderFixture {
protected:
    ExportsSaveTest()
        : UserFolderFixture({"--posts", "5", "--per-page", "5", "--pictures", "--export-trials",
                             "--not-found", "5"},
                            "someone", ListAtStart::empty) {}

    void SetUp() override {
        UserFolderFixture::SetUp();
        std::vector<std::u16string> posts;
        for (int n = 1; n <= 5; ++n) {
            posts.push_back(sample_blog::SampleBlog(u"someone", trials).post_address(n));
        }
        form().list1_add_links(posts);
    }

    fs::path exports() const { return user_folder() / u8"导出"; }

    // Saves, noting every caption the button is given meanwhile.
    std::vector<std::string> save() {
        std::vector<std::string> captions;
        sigc::connection watcher = form().Command2.property_label().signal_changed().connect(
            [&] { captions.push_back(form().Command2.get_label()); });
        form().txtblog.set_text("http://hi.baidu.com/someone");
        click(form().Command2);
        watcher.disconnect();
        return captions;
    }

    std::u16string saved_in() const {
        return u"文章已保存于 " +
               platform::utf8_to_utf16((platform::program_folder() / "someone").string());
    }
};

} // namespace

TEST_F(ExportsSaveTest, TheSaveWritesBothExportsAfterTheCopyFromTheSamePosts) {
    const std::vector<std::string> captions = save();
    EXPECT_EQ(box_texts(), (Texts{u"保存完毕", u"有1篇文章保存失败", saved_in(), u"欢迎再次使用"}));
    EXPECT_NE(std::ranges::find(captions, "导出"), captions.end());

    // Posts 1 to 4 in both exports, post 5 listed as left out.
    for (int n = 1; n <= 4; ++n) {
        const fs::path page = exports() / "hugo/content/posts" / std::to_string(n) / "index.md";
        EXPECT_TRUE(fs::is_regular_file(page)) << n;
    }
    EXPECT_FALSE(fs::exists(exports() / "hugo/content/posts/5"));
    const std::string wordpress = read_file(exports() / "wordpress.xml");
    EXPECT_EQ(std::ranges::count(wordpress, '\x01'), 0);
    for (const char* name : {"post-1", "post-2", "post-3", "post-4"}) {
        EXPECT_NE(wordpress.find(name), std::string::npos) << name;
    }
    EXPECT_EQ(wordpress.find("post-5"), std::string::npos);
    EXPECT_NE(read_file(exports() / u8"说明.txt").find("第 5 篇："), std::string::npos);
    // Post 3 is dated 2009-05-04 21:00 on its page ("2009年05月04日 下午 9:00"); post 4 is not.
    EXPECT_NE(read_file(exports() / "hugo/content/posts/3/index.md")
                  .find("date: 2009-05-04T21:00:00+08:00\ncategories: [\"游记 & 随笔\"]\n"
                        "tags: [\"旅行\", \"春天\"]\n"),
              std::string::npos);
    EXPECT_NE(read_file(exports() / "hugo/content/posts/4/index.md").find("date_from: backup\n"),
              std::string::npos);
    // The copy shows the date and category too.
    EXPECT_NE(read_file(user_folder() / u8"离线浏览/posts/3.html")
                  .find("<p class=\"facts\">2009-05-04 21:00 · 类别：游记 &amp; 随笔</p>"),
              std::string::npos);
}

TEST_F(ExportsSaveTest, AnExportThatCannotBeWrittenGetsOneBoxBeforeTheFolder) {
    fs::create_directories(user_folder());
    std::ofstream(exports()) << "a file where the folder goes";
    save();
    EXPECT_EQ(box_texts(), (Texts{u"保存完毕", u"有1篇文章保存失败", u"导出文件未能完整写入",
                                  saved_in(), u"欢迎再次使用"}));
    // The copy is written all the same.
    EXPECT_TRUE(fs::is_regular_file(user_folder() / u8"离线浏览/index.html"));
}
