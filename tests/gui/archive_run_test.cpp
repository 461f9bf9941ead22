#include "tests/gui/form1_fixture.h"

#include "platform/files.h"
#include "platform/text.h"
#include "tools/sample_blog/blog_model.h"
#include "tools/sample_blog/blog_pictures.h"

#include <glib.h>
#include <glibmm/main.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <regex>
#include <sstream>
#include <string>

using gui_testing::click;
using gui_testing::files_in;
using Files = std::map<std::string, std::string>;
using gui_testing::text_of;
using platform::utf16_to_utf8;
using Texts = std::vector<std::u16string>;
namespace fs = std::filesystem;

namespace {

const std::u16string archived_blog = u"http://web.archive.org/web/2012/http://hi.baidu.com/someone";
const sample_blog::SampleBlog someone(u"someone", {.posts = 11, .per_page = 4});

// The blog's own address inside an archived link: "…/web/<digits>[flag]/<original>", without
// the default port the crawler sometimes kept.
std::u16string original(std::u16string_view link) {
    constexpr std::u16string_view web = u"https://web.archive.org/web/";
    if (!link.starts_with(web)) {
        return u"not archived: " + std::u16string(link);
    }
    std::u16string rest(link.substr(link.find(u'/', web.size()) + 1));
    if (const std::size_t port = rest.find(u":80/"); port != std::u16string::npos) {
        rest.erase(port, 3);
    }
    return rest;
}

// The stand-in archive's default gaps: list page 1 never captured, the last post of page 0
// shown by no captured page, first index query and first raw capture answered with a 429.
class ArchiveTest : public gui_testing::UserFolderFixture {
protected:
    // `repeated`: a post of list page 0 that the capture of page 1, made at another time, also
    // links to.
    explicit ArchiveTest(const char* archive = "gaps", int repeated = 0)
        : UserFolderFixture(arguments(archive, repeated)) {}

    static std::vector<std::string> arguments(const char* archive, int repeated) {
        std::vector<std::string> all{"--posts",   "11",    "--per-page", "4",
                                     "--archive", archive, "--https"};
        if (repeated > 0) {
            all.insert(all.end(), {"--archive-repeated-post", std::to_string(repeated)});
        }
        return all;
    }

    void press(Gtk::Button& button, std::u16string_view address) {
        form().txtblog.set_text(utf16_to_utf8(address));
        click(button);
    }

    // Lists the originals of `listed` in List1 and saves them from the live blog; the files
    // must be `archived`, byte for byte.
    void expect_live_save_gives(const Texts& listed,
                                const std::map<std::string, std::string>& archived) {
        fs::remove_all(user_folder());
        form().list1_clear();
        form().list1_add_links(listed);
        press(form().Command2, u"http://hi.baidu.com/someone");
        EXPECT_EQ(files_in(user_folder()), archived);
    }
    std::vector<std::u16string> listed_originals() {
        Texts listed;
        std::ranges::transform(form().list1_items(), std::back_inserter(listed), original);
        return listed;
    }
};

// Every page of the blog captured, no 429; one post is shown under two timestamps.
class WholeArchiveTest : public ArchiveTest {
protected:
    WholeArchiveTest() : ArchiveTest("full", someone.posts_on_page(0).front()) {}
};

// The third request (the second post, after the index and the first post) answers 429; an
// address that asks again during the pause is shut out.
class BlockingArchiveTest : public gui_testing::UserFolderFixture {
protected:
    BlockingArchiveTest()
        : UserFolderFixture({"--posts", "11", "--per-page", "4", "--archive", "full", "--https",
                             "--archive-429-every", "3"}) {}
};

// A whole archive of a blog with pictures: the copy's pictures come from the archive too. Post
// 6 links to posts 1 to 3 by their original addresses and shows a picture relative to the
// blog's host.
class PicturedArchiveTest : public gui_testing::UserFolderFixture {
protected:
    PicturedArchiveTest()
        : UserFolderFixture(
              {"--posts", "6", "--per-page", "4", "--archive", "full", "--pictures", "--https"}) {}
};

} // namespace

TEST_F(ArchiveTest, ListsEachArchivedPostOnceAndSavesTheLiveBlogsBytes) {
    // The first raw capture answers 429: the caption counts the pause down.
    bool waited = false;
    sigc::connection watch = Glib::signal_timeout().connect(
        [&] {
            waited = waited || form().Command1.get_label().raw().starts_with("等待");
            return true;
        },
        100);
    press(form().Command1, archived_blog);
    watch.disconnect();
    EXPECT_TRUE(waited);

    // The captured list pages' posts in page order, the missing page skipped without a word,
    // then the index's other posts of the blog in its (address) order.
    const std::u16string unlisted = someone.post_address(someone.posts_on_page(0).back());
    Texts expected = gui_testing::first_copies(
        {someone.list_page(0).post_links, someone.list_page(2).post_links});
    std::erase(expected, unlisted);
    std::vector<int> rest;
    for (int number = 1; number <= someone.post_count(); ++number) {
        if (std::ranges::find(expected, someone.post_address(number)) == expected.end()) {
            rest.push_back(number);
        }
    }
    std::ranges::sort(rest, {}, [](int number) { return someone.post_id(number); });
    for (const int number : rest) {
        expected.push_back(someone.post_address(number));
    }
    EXPECT_EQ(listed_originals(), expected);
    EXPECT_EQ(text_of(form().Label1),
              u"共获取" + platform::decimal(static_cast<long long>(expected.size())) + u"文章链接");
    EXPECT_EQ(box_texts(), Texts{u"若无法自动获取全部日志，请手动点击[下一页]"});

    press(form().Command2, archived_blog);
    const auto archived_files = files_in(user_folder());
    EXPECT_EQ(archived_files.size(), expected.size());

    expect_live_save_gives(expected, archived_files);
    const std::u16string saved = u"文章已保存于 " +
                                 platform::utf8_to_utf16(platform::program_folder().string()) +
                                 u"/someone";
    EXPECT_EQ(box_texts(), (Texts{u"若无法自动获取全部日志，请手动点击[下一页]", u"保存完毕", saved,
                                  u"欢迎再次使用", u"保存完毕", saved, u"欢迎再次使用"}));
}

TEST_F(ArchiveTest, SaveWaitsForAHarvestThroughTheArchiveButNotForALiveOne) {
    std::optional<bool> save_could_start;
    on_box = [&] {
        if (!save_could_start) {
            save_could_start = form().Command2.is_sensitive();
            click(form().Command2);
        }
    };
    press(form().Command1, archived_blog);
    EXPECT_EQ(save_could_start, false);
    // The press came to nothing: no save ran (its boxes would show), and the harvest ended as
    // ever.
    EXPECT_EQ(box_texts(), Texts{u"若无法自动获取全部日志，请手动点击[下一页]"});
    EXPECT_EQ(form().Command1.get_label(), "获取文章链接");
    EXPECT_TRUE(form().Command2.is_sensitive());
    EXPECT_GT(form().list1_count(), 0U);

    save_could_start.reset();
    on_box = [&] {
        if (!save_could_start) {
            save_could_start = form().Command2.is_sensitive();
        }
    };
    press(form().Command1, u"http://hi.baidu.com/someone");
    EXPECT_EQ(save_could_start, true);
}

TEST_F(WholeArchiveTest, PreviewsAndTheirLinksAreFetchedRawThroughTheArchivesRules) {
    const std::u16string post = someone.post_address(1);
    form().list1_add_links({u"http://web.archive.org/web/2012/" + post});
    ASSERT_EQ(form().list1_count(), 1U);
    // What GTK emits for a double-click on a row.
    g_signal_emit_by_name(form().List1.gobj(), "activate", 0U);
    const std::string shown = utf16_to_utf8(form().WebBrowser1.current_address());
    const std::regex raw_post(
        R"(https://web\.archive\.org/web/(\d{14})id_/)" +
        std::regex_replace(utf16_to_utf8(post), std::regex(R"([.?])"), R"(\$&)"));
    std::smatch match;
    ASSERT_TRUE(std::regex_match(shown, match, raw_post)) << shown;
    ASSERT_TRUE(gui_testing::wait_until(
        [&] {
            return form().WebBrowser1.completed_serial() == form().WebBrowser1.navigation_serial();
        },
        20));

    // The page moves on by itself, as a refresh or a click would: the browser does not go
    // there, the program fetches that page of the blog raw.
    form().WebBrowser1.read_strings("location.href = '/someone/blog/index/1'; []", [](auto) {});
    const std::string next = "https://web.archive.org/web/" + match[1].str() +
                             "id_/http://hi.baidu.com/someone/blog/index/1";
    EXPECT_TRUE(gui_testing::wait_until(
        [&] {
            return utf16_to_utf8(form().WebBrowser1.current_address())
                       .starts_with("https://web.archive.org/web/") &&
                   utf16_to_utf8(form().WebBrowser1.current_address())
                       .ends_with("id_/http://hi.baidu.com/someone/blog/index/1");
        },
        20))
        << utf16_to_utf8(form().WebBrowser1.current_address());
    const std::string log = service().request_log();
    // Every archive request was a raw capture: no replay page, no toolbar, no picture.
    std::istringstream lines(log);
    int archive_requests = 0;
    bool asked_next = false;
    for (std::string line; std::getline(lines, line);) {
        if (line.find("web.archive.org/") != std::string::npos) {
            ++archive_requests;
            EXPECT_NE(line.find("id_/"), std::string::npos) << line;
            asked_next = asked_next || line.starts_with(next);
        }
    }
    EXPECT_TRUE(asked_next) << log;
    EXPECT_GE(archive_requests, 2) << log;
    EXPECT_LE(archive_requests, 4) << log; // each page and maybe its own timestamp
}

TEST_F(WholeArchiveTest, ListsWhatALiveHarvestListsAndSavesTheSameFiles) {
    press(form().Command1, archived_blog);
    std::vector<Texts> pages;
    for (int k = 0; k <= someone.last_page_index(); ++k) {
        pages.push_back(someone.list_page(k).post_links);
    }
    const Texts live = gui_testing::first_copies(pages);
    EXPECT_EQ(listed_originals(), live);

    press(form().Command2, archived_blog);
    expect_live_save_gives(live, files_in(user_folder()));
    EXPECT_EQ(files_in(user_folder()).size(), live.size());
}

TEST_F(BlockingArchiveTest, ASaveShutOutStopsKeepsWhatItWroteAndSaysSo) {
    Texts posts;
    for (int number = 1; number <= someone.post_count(); ++number) {
        posts.push_back(u"http://web.archive.org/web/2012/" + someone.post_address(number));
    }
    form().list1_add_links(posts);
    // Someone else on this address asks during the pause: the archive shuts the address out.
    const gui_testing::ImpatientNeighbour neighbour(form().Command2);
    form().txtblog.set_text(utf16_to_utf8(archived_blog));
    click(form().Command2);

    ASSERT_TRUE(neighbour.asked());
    EXPECT_EQ(box_texts(), Texts{u"网页时光机暂时拒绝访问，请一小时后再试"});
    EXPECT_EQ(form().Command2.get_label(), "保存文章");
    // The first post, saved before the 429, is kept; nothing is written after the block.
    const auto kept = files_in(platform::program_folder() / "someone");
    ASSERT_EQ(kept.size(), 1U);
    EXPECT_TRUE(kept.begin()->first.starts_with("1 "));
    EXPECT_FALSE(kept.begin()->second.empty());
}

TEST_F(PicturedArchiveTest, TheCopysPicturesComeFromTheArchivesRawCaptures) {
    form().txtblog.set_text(utf16_to_utf8(archived_blog));
    click(form().Command1);
    ASSERT_GE(form().list1_count(), 3u);
    // The harvest asked the archive for raw pages and its index only: the browser fetched no
    // picture, script or replayed page of its own.
    std::istringstream harvest(service().request_log());
    int asked = 0;
    for (std::string line; std::getline(harvest, line);) {
        if (line.starts_with("https://web.archive.org/")) {
            ++asked;
            EXPECT_TRUE(line.find("id_/") != std::string::npos ||
                        line.starts_with("https://web.archive.org/cdx/"))
                << line;
        }
    }
    EXPECT_GE(asked, 3);
    click(form().Command2);

    const std::string shared = utf16_to_utf8(sample_blog::k_shared_picture);
    gchar* hash = g_compute_checksum_for_string(G_CHECKSUM_SHA256, shared.c_str(), -1);
    const fs::path stored = platform::program_folder() / "someone" / "离线浏览" / "images" /
                            (std::string(hash) + ".gif");
    g_free(hash);
    std::ifstream in(stored, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), sample_blog::sample_gif());
    // Asked of the archive as a raw capture, never of the blog's own picture host.
    const std::string log = service().request_log();
    EXPECT_NE(log.find("im_/" + shared), std::string::npos) << log;
    EXPECT_EQ(log.find("\n" + shared), std::string::npos) << log;
}

namespace {

Files without_page_picture_reason(Files files) {
    static const std::regex reason(R"((/page\.jpg</a>)（.*?）</li>)");
    for (auto& [name, bytes] : files) {
        bytes = std::regex_replace(bytes, reason, "$1</li>");
    }
    return files;
}

// The copy's files with what only an archive save adds taken out: the capture's replay
// address beside each post's source, and in the index the source beside each title. The
// reason the page posing as a picture is missing differs too: the archive never captured it.
Files without_captures(Files files) {
    static const std::regex capture(R"( 存档：<a href="[^"]*">[^<]*</a>)");
    static const std::regex index_source(R"( <span class="source">原文：.*?</span>)");
    for (auto& [name, bytes] : files) {
        bytes = std::regex_replace(std::regex_replace(bytes, index_source, ""), capture, "");
    }
    return without_page_picture_reason(std::move(files));
}

std::size_t count_of(const std::string& text, const std::string& piece) {
    std::size_t count = 0;
    for (auto at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) {
        ++count;
    }
    return count;
}

} // namespace

TEST_F(PicturedArchiveTest, TheCopyIsTheLiveSavesCopyWithLocalLinksEveryPictureAndItsCaptures) {
    const fs::path copy = platform::program_folder() / "someone" / "离线浏览";
    const sample_blog::SampleBlog blog(u"someone", {.posts = 6, .per_page = 4, .pictures = true});
    // A copy as the build before this one left it: pages numbered the same, a picture known
    // by the address its body's relative path gave against the archive's replay address.
    fs::create_directories(copy / "posts");
    fs::create_directories(copy / "images");
    for (const char* page : {"posts/1.html", "posts/6.html", "posts/9.html", "index.html"}) {
        std::ofstream(copy / page) << "old";
    }
    const std::string old_picture =
        "http://web.archive.org/web/2012/_sample/pictures/someone-4a.png";
    gchar* old_hash = g_compute_checksum_for_string(G_CHECKSUM_SHA256, old_picture.c_str(), -1);
    std::ofstream(copy / "images" / (std::string(old_hash) + ".png")) << "old";
    g_free(old_hash);

    form().txtblog.set_text(utf16_to_utf8(archived_blog));
    click(form().Command1);
    // The blog's six posts and the friend's post each list page recommends.
    ASSERT_EQ(form().list1_count(), 8u);
    const Texts originals = [&] {
        Texts listed;
        std::ranges::transform(form().list1_items(), std::back_inserter(listed), original);
        return listed;
    }();
    click(form().Command2);
    const Files archived = gui_testing::tree_of(copy);

    // The same posts saved from the live blog give the same copy, but for the captures.
    fs::remove_all(platform::program_folder() / "someone");
    form().list1_clear();
    form().list1_add_links(originals);
    form().txtblog.set_text("http://hi.baidu.com/someone");
    click(form().Command2);
    const Files live = without_page_picture_reason(gui_testing::tree_of(copy));
    const Files compared = without_captures(archived);
    const auto names = [](const Files& files) {
        std::vector<std::string> listed;
        std::ranges::transform(files, std::back_inserter(listed),
                               [](const auto& file) { return file.first; });
        return listed;
    };
    EXPECT_EQ(names(compared), names(live));
    for (const auto& [name, bytes] : live) {
        const std::string other = compared.contains(name) ? compared.at(name) : "";
        const auto at =
            static_cast<std::size_t>(std::ranges::mismatch(bytes, other).in1 - bytes.begin());
        EXPECT_TRUE(other == bytes)
            << name << " differs at: " << other.substr(std::min(at, other.size()), 200)
            << "\nlive: " << bytes.substr(at, 200);
    }
    std::size_t pictures = 0;
    for (const auto& [name, bytes] : live) {
        pictures += name.starts_with("images/") ? 1 : 0;
    }
    // Shared, photo, dot, posts 4 and 5 two each, and the relative one of post 6.
    EXPECT_EQ(pictures, 8u);

    // Post 6's links to posts 1 to 3, by absolute and root-relative addresses, lead to their
    // pages; its source names its original address and the capture.
    const auto number_of = [&](int post) {
        const auto at = std::ranges::find(originals, blog.post_address(post));
        return std::to_string(at - originals.begin() + 1);
    };
    const std::string sixth = archived.at("posts/" + number_of(6) + ".html");
    EXPECT_NE(sixth.find("<a href=\"" + number_of(1) + ".html\">第一篇</a>"), std::string::npos);
    EXPECT_NE(sixth.find("<a href=\"" + number_of(2) + ".html\">第二篇</a>"), std::string::npos);
    EXPECT_NE(sixth.find("<a href=\"" + number_of(3) + ".html#top\">第三篇</a>"),
              std::string::npos);
    const std::string post6 = utf16_to_utf8(blog.post_address(6));
    const std::smatch source = [&] {
        std::smatch match;
        static const std::regex pattern(
            R"re(原文：<a href="([^"]*)">[^<]*</a> 存档：<a href="https://web\.archive\.org/web/(\d{14})/([^"]*)">)re");
        std::regex_search(sixth, match, pattern);
        return match;
    }();
    ASSERT_EQ(source.size(), 4u) << sixth;
    EXPECT_EQ(source[1], post6);
    EXPECT_EQ(source[3], post6);
    EXPECT_EQ(count_of(archived.at("index.html"), "存档：<a href=\"https://web.archive.org/web/"),
              8u);

    // The relative picture was asked of the archive at the address it has on the blog, at the
    // time of the post's capture.
    const std::string log = service().request_log();
    EXPECT_NE(
        log.find("/web/" + source[2].str() + "im_/http://hi.baidu.com/someone/blog/pic/rel.gif"),
        std::string::npos)
        << log;
    EXPECT_EQ(log.find("im_/http://web.archive.org/"), std::string::npos) << log;
    EXPECT_EQ(log.find("im_/https://web.archive.org/"), std::string::npos) << log;
}
