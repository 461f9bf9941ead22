#include "tests/gui/form1_fixture.h"

#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/quit_request.h"
#include "platform/text.h"
#include "tools/sample_blog/blog_model.h"
#include "window/blog_address.h"
#include "window/post_file.h"

#include <glib.h>
#include <glibmm/main.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

using gui_testing::click;
using gui_testing::Form1Fixture;
using gui_testing::RecordedBox;
using platform::utf16_to_utf8;

namespace fs = std::filesystem;
using Texts = std::vector<std::u16string>;

namespace {

const sample_blog::BlogOptions blog_options{.posts = 25, .per_page = 10};

// The files a save of these posts must leave, `copies` saves over: each post's body as the
// service serves it, in GBK, named by the post's place in the list and its title.
std::map<std::string, std::string> expected_files(const std::vector<std::u16string>& posts,
                                                  int copies = 1) {
    std::map<std::string, std::string> files;
    for (std::size_t i = 0; i < posts.size(); ++i) {
        // http://hi.baidu.com/<user>/blog/item/<id>.html
        const auto rest = std::u16string_view(posts[i]).substr(sample_blog::k_service_base.size());
        const sample_blog::SampleBlog blog{std::u16string(rest.substr(0, rest.find(u'/'))),
                                           blog_options};
        const std::size_t id_start = rest.rfind(u'/') + 1;
        const int number =
            blog.post_number(rest.substr(id_start, rest.rfind(u'.') - id_start)).value();
        std::string& body =
            files[blog::PostFileName(i + 1, blog::RemoveBlanks(sample_blog::post_title(number)))];
        for (int copy = 0; copy < copies; ++copy) {
            body += platform::encode_gbk(blog.post_body(number));
        }
    }
    return files;
}

std::string read_file(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Every file in the folder, by name, with its bytes.
std::map<std::string, std::string> files_in(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.is_regular_file()) {
            files[entry.path().filename().string()] = read_file(entry.path());
        }
    }
    return files;
}

// The box telling where the posts went, below the program's folder.
std::u16string saved_in(std::u16string_view below) {
    return u"文章已保存于 " + platform::utf8_to_utf16(platform::program_folder().string()) +
           std::u16string(below);
}

class SaveTest : public Form1Fixture {
protected:
    explicit SaveTest(std::vector<std::string> service_arguments = {"--posts", "25", "--per-page",
                                                                    "10"})
        : Form1Fixture(std::move(service_arguments)) {}

    void SetUp() override {
        Form1Fixture::SetUp();
        fs::remove_all(user_folder());
        ASSERT_TRUE(wait_for_collected()); // the home page, loaded at start
        form().list1_clear();
    }
    void TearDown() override {
        fs::remove_all(user_folder());
        Form1Fixture::TearDown();
    }

    static fs::path user_folder() { return platform::program_folder() / "someone"; }

    // Shows a list page of the blog so that its posts are listed.
    void list_page(int k) {
        form().WebBrowser1.Navigate2(
            sample_blog::SampleBlog(u"someone", blog_options).list_page_address(k));
        ASSERT_TRUE(wait_for_collected());
    }

    void save(std::u16string_view address = u"http://hi.baidu.com/someone") {
        form().txtblog.set_text(utf16_to_utf8(address));
        click(form().Command2);
    }
};

class SlowSaveTest : public SaveTest {
protected:
    SlowSaveTest() : SaveTest({"--posts", "25", "--per-page", "10", "--latency-ms", "300"}) {}
};

class FailingSaveTest : public SaveTest {
protected:
    FailingSaveTest() : SaveTest({"--posts", "25", "--per-page", "10", "--not-found", "2"}) {}
};

} // namespace

TEST_F(SaveTest, WritesOneGbkFilePerPostNumberedByItsPlaceAndReports) {
    list_page(1);
    list_page(0); // listed after page 1: numbering follows the list, not the dates
    const std::vector<std::u16string> posts = form().list1_items();
    ASSERT_EQ(posts.size(), 22u); // ten posts and one friend's post a page

    save();
    EXPECT_EQ(files_in(user_folder()), expected_files(posts));
    EXPECT_EQ(box_texts(), (Texts{u"保存完毕", saved_in(u"/someone"), u"欢迎再次使用"}));
    for (const RecordedBox& box : boxes) {
        EXPECT_EQ(box.title, u"Pellumo");
    }
    EXPECT_EQ(opened, Texts{std::u16string(blog::HomeAddress)});
    EXPECT_EQ(form().Command2.get_label(), "保存文章");
}

TEST_F(SaveTest, AnEmptyListSavesNothingAndStillReports) {
    save();
    EXPECT_EQ(box_texts(), (Texts{u"保存完毕", saved_in(u"/someone"), u"欢迎再次使用"}));
    EXPECT_TRUE(fs::is_empty(user_folder()));
}

TEST_F(SaveTest, AShortAddressSavesBesideTheProgram) {
    list_page(2);
    const std::vector<std::u16string> posts = form().list1_items();
    const std::map<std::string, std::string> expected = expected_files(posts);
    save(u"http://hi.baidu.co"); // 18 characters: no user name
    for (const auto& [name, bytes] : expected) {
        const fs::path file = platform::program_folder() / fs::u8path(name);
        EXPECT_EQ(read_file(file), bytes) << name;
        fs::remove(file);
    }
    EXPECT_EQ(box_texts(), (Texts{u"保存完毕", saved_in(u"/"), u"欢迎再次使用"}));
}

TEST_F(FailingSaveTest, MissingAndUnreachablePostsAreCountedAndReported) {
    list_page(0);
    // An address whose host refuses connections, reached without the proxy.
    form().list1_add_links({u"http://127.0.0.1:9/someone/blog/item/0000000000000000.html"});
    const std::size_t count = form().list1_count();
    setenv("no_proxy", "127.0.0.1", 1);
    save();
    unsetenv("no_proxy");

    EXPECT_EQ(box_texts(),
              (Texts{u"保存完毕", u"有2篇文章保存失败", saved_in(u"/someone"), u"欢迎再次使用"}));
    // The unreachable post still gets its empty, untitled file, as a failed download always did.
    const fs::path untitled = user_folder() / (std::to_string(count) + " .html");
    ASSERT_TRUE(fs::exists(untitled));
    EXPECT_EQ(fs::file_size(untitled), 0u);
}

TEST_F(SlowSaveTest, ParallelDownloadsAndOneAtATimeWriteTheSameAndASecondSaveAppends) {
    list_page(0);
    list_page(1);
    const std::vector<std::u16string> posts = form().list1_items();
    save();
    EXPECT_EQ(files_in(user_folder()), expected_files(posts));
    form().save_parallel_downloads = 1;
    save();
    EXPECT_EQ(files_in(user_folder()), expected_files(posts, 2));
}

TEST_F(SlowSaveTest, TheWindowStaysLiveShowsProgressAndIgnoresClicks) {
    list_page(0);
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
                    sample_blog::SampleBlog(u"someone", blog_options).list_page_address(2));
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
    const std::map<std::string, std::string> expected = expected_files(form().list1_items());
    const gint64 start = g_get_monotonic_time();
    Glib::signal_timeout().connect_once([this] { form().close(); }, 700);
    save();

    EXPECT_TRUE(platform::quit_requested());
    EXPECT_LT(double(g_get_monotonic_time() - start) / 1e6, 2.5); // not the whole save
    EXPECT_TRUE(boxes.empty());
    const std::map<std::string, std::string> written = files_in(user_folder());
    EXPECT_LT(written.size(), expected.size());
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
