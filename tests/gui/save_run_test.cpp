#include "tests/gui/form1_fixture.h"

#include "blog/blog_address.h"
#include "platform/files.h"
#include "platform/quit_request.h"
#include "platform/text.h"
#include "tests/support/loopback_server.h"
#include "tools/sample_blog/blog_model.h"
#include "tools/sample_blog/blog_pictures.h"
#include "tools/sample_blog/gbk_encoder.h"

#include <glib.h>
#include <glibmm/main.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

using gui_testing::click;
using gui_testing::file_address;
using gui_testing::files_in;
using gui_testing::Form1Fixture;
using gui_testing::read_file;
using gui_testing::RecordedBox;
using gui_testing::tree_of;
using gui_testing::wait_until;
using platform::utf16_to_utf8;

namespace fs = std::filesystem;
using Texts = std::vector<std::u16string>;
using Files = std::map<std::string, std::string>;

namespace {

const sample_blog::BlogOptions blog_options{.posts = 11, .per_page = 4};

// The titles of sample posts 1 to 11 as file names carry them: blanks removed, and "_" for
// what a name cannot hold.
const char* const file_titles[] = {"",           "春游记1",  "我的第2篇日记", "a_b日记3",
                                   "文档_备份4", "为什么5_", "五星_好评6",    "时间_7点",
                                   "左_右8",     "_引号_9",  "10_一百",       "11_零"};

// Post `number`'s body as the service sends it.
std::string gbk_body(std::u16string_view user, int number) {
    return sample_blog::encode_gbk(
        sample_blog::SampleBlog(std::u16string(user), blog_options).post_body(number));
}

// The files a save of these sample posts must leave, `copies` saves over.
Files expected_files(const std::vector<std::u16string>& posts, int copies = 1) {
    Files files;
    for (std::size_t i = 0; i < posts.size(); ++i) {
        // http://hi.baidu.com/<user>/blog/item/<id>.html
        const auto rest = std::u16string_view(posts[i]).substr(sample_blog::k_service_base.size());
        const std::u16string user(rest.substr(0, rest.find(u'/')));
        const std::size_t id_start = rest.rfind(u'/') + 1;
        const int number = sample_blog::SampleBlog(user, blog_options)
                               .post_number(rest.substr(id_start, rest.rfind(u'.') - id_start))
                               .value();
        std::string& body = files[std::to_string(i + 1) + " " + file_titles[number] + ".html"];
        for (int copy = 0; copy < copies; ++copy) {
            body += gbk_body(user, number);
        }
    }
    return files;
}

// The box telling where the posts went, below the program's folder.
std::u16string saved_in(std::u16string_view below) {
    return u"文章已保存于 " + platform::utf8_to_utf16(platform::program_folder().string()) +
           std::u16string(below);
}

// Posts served straight from a loopback port. Every address gives the post "标 题" with the body
// "正文", but ".../empty.html" an empty page and ".../login.html" a page without a post. It
// records how many requests it held at once: each waits until four are in (or all it expects
// have come), and a moment longer, so a fifth connection would be seen beside them.
class LocalPosts {
public:
    explicit LocalPosts(int expected_requests)
        : m_expected(expected_requests), m_server([this](httplib::Server& server) {
              server.Get(".*", [this](const httplib::Request& request, httplib::Response& reply) {
                  hold();
                  std::u16string page = u"<title>标 题_百度空间</title>查看文章正文类别";
                  if (request.path.ends_with("/empty.html")) {
                      page.clear();
                  } else if (request.path.ends_with("/login.html")) {
                      page = u"<title>login_x</title>please log in";
                  }
                  reply.set_content(sample_blog::encode_gbk(page), "text/html; charset=gbk");
              });
          }) {}

    std::u16string address(std::string_view file) const {
        return platform::utf8_to_utf16(m_server.base_url() + "/someone/blog/item/" +
                                       std::string(file));
    }
    std::vector<std::u16string> numbered_addresses(int count) const {
        std::vector<std::u16string> addresses;
        for (int i = 1; i <= count; ++i) {
            addresses.push_back(address(std::to_string(i) + ".html"));
        }
        return addresses;
    }
    int requests() {
        const std::lock_guard lock(m_mutex);
        return m_requests;
    }
    int most_at_once() {
        const std::lock_guard lock(m_mutex);
        return m_most;
    }

private:
    void hold() {
        std::unique_lock lock(m_mutex);
        ++m_requests;
        m_most = std::max(m_most, ++m_in_flight);
        m_changed.notify_all();
        m_changed.wait_for(lock, std::chrono::seconds(5),
                           [this] { return m_in_flight >= 4 || m_requests >= m_expected; });
        lock.unlock();
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        lock.lock();
        --m_in_flight;
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_expected;
    int m_requests = 0;
    int m_in_flight = 0;
    int m_most = 0;
    testing_support::LoopbackServer m_server; // last: stopped before the members it uses
};

class SaveTest : public Form1Fixture {
protected:
    explicit SaveTest(std::vector<std::string> service_arguments = {"--posts", "11", "--per-page",
                                                                    "4"})
        : Form1Fixture(std::move(service_arguments)) {}

    void SetUp() override {
        Form1Fixture::SetUp();
        fs::remove_all(user_folder());
        ASSERT_TRUE(wait_for_collected()); // the home page, loaded at start
        form().list1_clear();
    }
    void TearDown() override {
        fs::remove_all(user_folder());
        fs::remove_all(platform::program_folder() / "blocked");
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
    // Loopback addresses are fetched directly, not through the sample service.
    void save_without_proxy(std::u16string_view address = u"http://hi.baidu.com/someone") {
        setenv("no_proxy", "127.0.0.1", 1);
        save(address);
        unsetenv("no_proxy");
    }
};

class SlowSaveTest : public SaveTest {
protected:
    SlowSaveTest() : SaveTest({"--posts", "11", "--per-page", "4", "--latency-ms", "300"}) {}
};

class FailingSaveTest : public SaveTest {
protected:
    FailingSaveTest() : SaveTest({"--posts", "11", "--per-page", "4", "--not-found", "3"}) {}
};

} // namespace

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
    EXPECT_EQ(opened, Texts{std::u16string(blog::HomeAddress)});
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

namespace {

const sample_blog::BlogOptions picture_options{.posts = 5, .per_page = 5, .pictures = true};

// The resolved addresses of the sample pictures, as a browser would resolve them in a post of
// hi.baidu.com.
const std::u16string shared_gif = std::u16string(sample_blog::k_shared_picture);
const std::u16string photo_jpg = u"http:" + std::u16string(sample_blog::k_photo_picture);
const std::u16string dot_png = u"http://hi.baidu.com/_sample/pictures/dot.png";
const std::u16string post4_png = u"http://hi.baidu.com/_sample/pictures/someone-4a.png";
const std::u16string post4_jpg = u"http://hi.baidu.com/_sample/pictures/someone-4b.jpg";
const std::u16string missing_png =
    u"http://hi.baidu.com" + std::u16string(sample_blog::k_missing_picture);
const std::u16string html_jpg =
    u"http://hi.baidu.com" + std::u16string(sample_blog::k_html_picture);
const std::u16string huge_png = std::u16string(sample_blog::k_huge_picture);

// The SHA-256 name the copy gives a picture, worked out here with GLib's own function.
std::string picture_file(std::u16string_view address, std::string_view extension) {
    gchar* hash =
        g_compute_checksum_for_string(G_CHECKSUM_SHA256, utf16_to_utf8(address).c_str(), -1);
    std::string name = std::string(hash) + std::string(extension);
    g_free(hash);
    return name;
}

// The request log's lines that ask for one of these pictures.
std::size_t requests_for(const std::string& log, const std::vector<std::u16string>& pictures) {
    std::size_t count = 0;
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);) {
        count += std::ranges::count(pictures, platform::utf8_to_utf16(line));
    }
    return count;
}

class CopyTest : public SaveTest {
protected:
    CopyTest()
        : SaveTest({"--posts", "5", "--per-page", "5", "--pictures", "--not-found", "5",
                    "--latency-ms", "150"}) {}

    static fs::path copy_folder() { return user_folder() / u8"离线浏览"; }
    static sample_blog::SampleBlog blog() {
        return sample_blog::SampleBlog(u"someone", picture_options);
    }

    // Posts 1 to 5 in order; post 5 answers 404.
    void list_posts() {
        std::vector<std::u16string> posts;
        for (int n = 1; n <= 5; ++n) {
            posts.push_back(blog().post_address(n));
        }
        form().list1_add_links(posts);
        ASSERT_EQ(form().list1_count(), 5u);
    }

    // Shows a page of the copy in the program's browser and reads something of it.
    Texts read_page(const fs::path& page,
                    const std::function<void(platform::WebBrowser::LinksRead)>& read) {
        platform::WebBrowser& browser = form().WebBrowser1;
        browser.Navigate2(file_address(page));
        const std::uint64_t serial = browser.navigation_serial();
        EXPECT_TRUE(wait_until([&] { return browser.completed_serial() == serial; }, 20));
        std::optional<std::optional<Texts>> answer;
        read([&](std::optional<Texts> texts) { answer = std::move(texts); });
        EXPECT_TRUE(wait_until([&] { return answer.has_value(); }, 10));
        return answer && *answer ? **answer : Texts{u"unreadable"};
    }

    // For each picture: "file" and its width when it was drawn from disk, "web" when it kept an
    // address on the web; then what a script of the page would have marked.
    Texts pictures_shown(const fs::path& page) {
        return read_page(page, [this](platform::WebBrowser::LinksRead done) {
            form().WebBrowser1.read_strings(
                "Array.from(document.images, i => i.currentSrc.startsWith('file:') ? 'file ' + "
                "(i.complete ? i.naturalWidth : 'loading') : 'web').concat(['ran:' + "
                "(document.documentElement.getAttribute('data-ran') || "
                "document.body.getAttribute('data-ran') || '')])",
                std::move(done));
        });
    }

    Texts links_of(const fs::path& page) {
        return read_page(page, [this](platform::WebBrowser::LinksRead done) {
            form().WebBrowser1.read_links(std::move(done));
        });
    }
};

} // namespace

TEST_F(CopyTest, TheSaveWritesABrowsableCopyWithItsPicturesAndLeavesThePostFilesAsTheyWere) {
    list_posts();
    std::vector<std::string> captions;
    sigc::connection watcher = Glib::signal_timeout().connect(
        [&] {
            captions.push_back(form().Command2.get_label());
            return true;
        },
        40);
    save();
    watcher.disconnect();

    // The post files and the boxes are what a save without the copy gives.
    Files expected;
    for (int n = 1; n <= 4; ++n) {
        expected[std::to_string(n) + " " + file_titles[n] + ".html"] =
            sample_blog::encode_gbk(blog().post_body(n));
    }
    expected["5 .html"] = "";
    EXPECT_EQ(files_in(user_folder()), expected);
    EXPECT_EQ(box_texts(),
              (Texts{u"保存完毕", u"有1篇文章保存失败", saved_in(u"/someone"), u"欢迎再次使用"}));
    // Five pictures to be had and three that cannot.
    EXPECT_TRUE(std::ranges::any_of(captions, [](const std::string& caption) {
        return caption.starts_with("图片") && caption.ends_with("/8");
    }));

    // Each picture once, the shared one too, under its address's hash.
    const std::string gif(sample_blog::sample_gif());
    const std::string png(sample_blog::sample_png());
    const std::string jpeg(sample_blog::sample_jpeg());
    EXPECT_EQ(files_in(copy_folder() / "images"), (Files{{picture_file(shared_gif, ".gif"), gif},
                                                         {picture_file(photo_jpg, ".jpg"), jpeg},
                                                         {picture_file(dot_png, ".png"), png},
                                                         {picture_file(post4_png, ".png"), png},
                                                         {picture_file(post4_jpg, ".jpg"), jpeg}}));
    const std::string log = service().request_log();
    EXPECT_EQ(requests_for(log, {shared_gif}), 1u);

    // Nothing runnable is left in the pages.
    for (const std::string page : {"posts/1.html", "posts/2.html", "posts/3.html", "all.html"}) {
        const std::string bytes = read_file(copy_folder() / page);
        for (const std::string_view runnable : {"<script", "onclick", "javascript:", "srcset"}) {
            EXPECT_EQ(bytes.find(runnable), std::string::npos) << page << ": " << runnable;
        }
    }

    // The index leads to every post in order, and lists what could not be had.
    const auto local = [](std::string_view page) { return file_address(copy_folder() / page); };
    EXPECT_EQ(
        links_of(copy_folder() / "index.html"),
        (Texts{local("all.html"), local("posts/1.html"), local("posts/2.html"),
               local("posts/3.html"), local("posts/4.html"), blog().post_address(5),
               local("posts/2.html"), missing_png, local("posts/3.html"), html_jpg, huge_png}));
    const std::string index = read_file(copy_folder() / "index.html");
    const auto occurrences = [&](const std::string& text) {
        std::size_t count = 0;
        for (auto at = index.find(text); at != std::string::npos; at = index.find(text, at + 1)) {
            ++count;
        }
        return count;
    };
    EXPECT_EQ(occurrences("HTTP 404"), 2u); // post 5 and the missing picture
    EXPECT_EQ(occurrences("text/html"), 1u);
    EXPECT_EQ(occurrences("超过 20 MB"), 1u);

    // Posts link to each other's pages in the copy, not to the blog.
    const Texts first = links_of(copy_folder() / "posts/1.html");
    EXPECT_EQ(std::ranges::count(first, local("posts/2.html")), 3); // next, twice, and the body
    EXPECT_EQ(std::ranges::count(first, blog().post_address(2)), 0);
    const Texts second = links_of(copy_folder() / "posts/2.html");
    EXPECT_EQ(std::ranges::count(second, local("posts/1.html")), 3);

    // The pictures come from disk, those that could not be had are left out; nothing of the
    // page runs, nothing goes to the network.
    EXPECT_EQ(pictures_shown(copy_folder() / "posts/1.html"),
              (Texts{u"file 4", u"file 3", u"ran:"}));
    EXPECT_EQ(pictures_shown(copy_folder() / "posts/2.html"),
              (Texts{u"file 4", u"file 5", u"ran:"}));
    EXPECT_EQ(pictures_shown(copy_folder() / "posts/3.html"), (Texts{u"ran:"}));
    EXPECT_EQ(pictures_shown(copy_folder() / "all.html"),
              (Texts{u"file 4", u"file 3", u"file 4", u"file 5", u"file 5", u"file 3", u"ran:"}));
    EXPECT_EQ(service().request_log(), log + "/_sample/requests\n"); // this look only

    // Saving again gives the same copy, and fetches only what it could not have before.
    const Files copy = tree_of(copy_folder());
    boxes.clear();
    save();
    EXPECT_EQ(boxes.size(), 4u);
    EXPECT_EQ(tree_of(copy_folder()), copy);
    const std::string again = service().request_log().substr(log.size());
    EXPECT_EQ(requests_for(again, {shared_gif, photo_jpg, dot_png, post4_png, post4_jpg}), 0u);
    EXPECT_EQ(requests_for(again, {missing_png, html_jpg, huge_png}), 3u);
}

TEST_F(CopyTest, ClosingTheWindowWhilePicturesDownloadStopsWithNothingHalfWritten) {
    list_posts();
    sigc::connection watcher = Glib::signal_timeout().connect(
        [&] {
            if (form().Command2.get_label().raw().starts_with("图片")) {
                form().close();
                return false;
            }
            return true;
        },
        10);
    save();
    watcher.disconnect();

    EXPECT_TRUE(platform::quit_requested());
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(files_in(user_folder()).size(), 5u); // every post file was written first
    EXPECT_FALSE(fs::exists(copy_folder() / "index.html"));
    const std::set<std::string> whole{std::string(sample_blog::sample_gif()),
                                      std::string(sample_blog::sample_png()),
                                      std::string(sample_blog::sample_jpeg())};
    const fs::path images = copy_folder() / "images";
    for (const auto& [name, bytes] : fs::exists(images) ? files_in(images) : Files{}) {
        EXPECT_TRUE(whole.contains(bytes)) << name;
    }
}
