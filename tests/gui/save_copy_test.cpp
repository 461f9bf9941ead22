// The browsable copy a save writes beside the post files: its pages, its pictures, and what
// closing the window while it is made leaves.
#include "tests/gui/save_fixture.h"

#include "platform/quit_request.h"
#include "platform/text.h"
#include "tools/sample_blog/blog_pictures.h"
#include "tools/sample_blog/gbk_encoder.h"

#include <glib.h>
#include <glibmm/main.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

using namespace gui_testing;
using platform::utf16_to_utf8;

namespace fs = std::filesystem;

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

    fs::path copy_folder() const { return user_folder() / u8"离线浏览"; }
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
    const auto local = [this](std::string_view page) { return file_address(copy_folder() / page); };
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
