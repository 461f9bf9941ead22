#include "window/exports_run.h"

#include "exports/exports_writer.h"
#include "offline/body_pieces.h"
#include "offline/copy_writer.h"
#include "offline/picture.h"
#include "platform/files.h"
#include "platform/text.h"

#include "tests/support/file_bytes.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>
#include <sys/resource.h>

namespace fs = std::filesystem;
using testing_support::files_under;
using testing_support::read_bytes;

namespace {

const std::u16string base = u"http://hi.baidu.com/u/blog/item/";

std::u16string page_of(std::u16string_view title, std::u16string_view date,
                       std::u16string_view body) {
    return u"<title>" + std::u16string(title) + u"_百度空间</title>查看文章<div>" +
           std::u16string(date) + u"</div>" + std::u16string(body) +
           u"<a href=\"/c\">类别：游记</a> | 评论";
}

// Post 1 (dated) shows a picture and links to post 3 in three spellings; post 2 failed; post 3
// has no date.
std::vector<offline::PreparedPost> posts(int count = 3) {
    const std::vector<offline::CopyPost> listed{
        {base + u"a.html",
         page_of(u"一", u"2009-05-01 21:00",
                 u"<p>甲<img src=\"/p/x.png\"><a href=\"c.html#k\">丙</a><a "
                 u"href=\"https://hi.baidu.com/u/blog/item/c.html\">丁</a><a "
                 u"href=\"/u/blog/item/c.html?from=1\">戊</a></p>"),
         {}},
        {base + u"b.html", std::nullopt, u"HTTP 404"},
        {base + u"c.html", page_of(u"三", u"", u"<p>丙</p>"), {}},
    };
    std::vector<offline::PreparedPost> prepared;
    for (int i = 0; i < count; ++i) {
        prepared.push_back(offline::PreparePost(i + 1, listed[i]));
    }
    return prepared;
}

window::ExportsSource source(long long now) {
    return {u"u", u"http://hi.baidu.com/u", now};
}

class ExportsWriterTest : public ::testing::Test {
protected:
    void SetUp() override {
        const offline::PictureStore store(offline::CopyFolder(m_folder.path()));
        ASSERT_TRUE(store.Store("http://hi.baidu.com/p/x.png", ".png", "PNGBYTES"));
    }
    fs::path exports() const { return exports::ExportsFolder(m_folder.path()); }

    testing_support::TempFolder m_folder;
};

TEST_F(ExportsWriterTest, WritesBothExportsFromThePreparedPosts) {
    ASSERT_TRUE(window::WriteExports(m_folder.path(), posts(), source(1700000000)));
    const std::string picture = offline::PictureFileName("http://hi.baidu.com/p/x.png", ".png");
    const fs::path hugo = exports() / "hugo";
    EXPECT_EQ(read_bytes(hugo / "content/posts/1" / picture), "PNGBYTES");
    EXPECT_EQ(read_bytes(exports() / "wp-content/uploads/pellumo" / picture), "PNGBYTES");
    EXPECT_FALSE(fs::exists(hugo / "content/posts/2"));
    for (const char* file :
         {"hugo.toml", "layouts/_default/single.html", "layouts/_default/list.html",
          "layouts/index.html", "layouts/_default/taxonomy.html", "layouts/_default/term.html"}) {
        EXPECT_TRUE(fs::is_regular_file(hugo / file)) << file;
    }
    const std::string first = read_bytes(hugo / "content/posts/1/index.md");
    EXPECT_NE(first.find("date: 2009-05-01T21:00:00+08:00\ncategories: [\"游记\"]\n"),
              std::string::npos);
    EXPECT_NE(first.find("甲![](" + picture + ")[丙](../3/#k)[丁](../3/)[戊](../3/)"),
              std::string::npos)
        << first;
    // The backup was at 2023-11-15 06:13:20 China time; post 3 shows no date and is dated 3 s
    // before it.
    EXPECT_NE(
        read_bytes(hugo / "content/posts/3/index.md").find("date: 2023-11-15T06:13:17+08:00\n"),
        std::string::npos);

    const std::string wordpress = read_bytes(exports() / "wordpress.xml");
    EXPECT_NE(wordpress.find("<img src=\"/wp-content/uploads/pellumo/" + picture +
                             "\"><a href=\"http://hi.baidu.com/u/blog/item/c.html#k\""),
              std::string::npos);
    EXPECT_EQ(wordpress.find("post-2"), std::string::npos);
    EXPECT_NE(wordpress.find("<wp:meta_value><![CDATA[backup]]>"), std::string::npos);
    EXPECT_TRUE(wordpress.ends_with("</channel>\n</rss>\n"));
    EXPECT_NE(read_bytes(exports() / "说明.txt")
                  .find("第 2 篇：http://hi.baidu.com/u/blog/item/b.html（HTTP 404）"),
              std::string::npos);
}

TEST_F(ExportsWriterTest, SavingAgainRebuildsTheSameButForTheBackupTime) {
    ASSERT_TRUE(window::WriteExports(m_folder.path(), posts(), source(1700000000)));
    const auto before = files_under(exports());
    ASSERT_TRUE(window::WriteExports(m_folder.path(), posts(), source(1800000000)));
    const auto after = files_under(exports());
    ASSERT_EQ(before.size(), after.size());
    for (const auto& [name, bytes] : before) {
        const bool changes = name == "wordpress.xml" || name == "hugo/hugo.toml" ||
                             name == "hugo/content/posts/3/index.md";
        EXPECT_EQ(after.at(name) == bytes, !changes) << name;
    }

    // Post 3 leaves the list: its page and its item go; the picture stays with post 1.
    ASSERT_TRUE(window::WriteExports(m_folder.path(), posts(2), source(1800000000)));
    EXPECT_FALSE(fs::exists(exports() / "hugo/content/posts/3"));
    EXPECT_EQ(read_bytes(exports() / "wordpress.xml").find("post-3"), std::string::npos);
    EXPECT_EQ(files_under(exports() / "wp-content").size(), 1U);
    for (const auto& [name, bytes] : files_under(exports())) {
        EXPECT_FALSE(name.ends_with(".part")) << name;
    }
}

TEST_F(ExportsWriterTest, ArchiveSavesNameTheCaptureAndItsTime) {
    std::vector<offline::PreparedPost> archived = posts();
    archived[2].capture = "https://web.archive.org/web/20100315123456/http://hi.baidu.com/u/blog/"
                          "item/c.html";
    ASSERT_TRUE(window::WriteExports(m_folder.path(), archived, source(1700000000)));
    const std::string page = read_bytes(exports() / "hugo/content/posts/3/index.md");
    // 12:34:56 UTC is 20:34:56 in China; post 3 is dated 3 s before.
    EXPECT_NE(page.find("date: 2010-03-15T20:34:53+08:00\n"), std::string::npos) << page;
    EXPECT_NE(page.find("capture_address: \"https://web.archive.org/web/20100315123456/"
                        "http://hi.baidu.com/u/blog/item/c.html\"\n"),
              std::string::npos);
    EXPECT_NE(page.find("date_from: capture\n"), std::string::npos);
    EXPECT_EQ(window::CaptureTime(u"2010"), (offline::PostDate{2010, 1, 1, 8, 0, true}));
    EXPECT_FALSE(window::CaptureTime(u"20101301000000"));
    EXPECT_FALSE(window::CaptureTime(u"20100230000000"));
    EXPECT_FALSE(window::CaptureTime(u"201003151234567"));
}

TEST_F(ExportsWriterTest, AnExportThatFailsOrStopsLeavesTheLastGoodOneWhole) {
    ASSERT_TRUE(window::WriteExports(m_folder.path(), posts(), source(1700000000)));
    const auto before = files_under(m_folder.path());

    // Room for the small files of another set of posts, not for wordpress.xml.
    platform::ignore_file_size_signal();
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit limited = saved;
    limited.rlim_cur = 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    const bool cut_off = window::WriteExports(m_folder.path(), posts(2), source(1800000000));
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &saved), 0);
    EXPECT_FALSE(cut_off);
    EXPECT_EQ(files_under(m_folder.path()), before);

    // Stopped after the first post.
    int asked = 0;
    EXPECT_FALSE(window::WriteExports(m_folder.path(), posts(2), source(1800000000),
                                      [&asked] { return ++asked > 1; }));
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(files_under(m_folder.path()), before);

    // A save that ended between moving the old exports aside and putting the new ones in place,
    // with half of the new ones written: the next one finds the old exports again, even when it
    // is stopped itself.
    fs::rename(exports(), m_folder.path() / ".导出.old");
    fs::create_directories(m_folder.path() / ".导出.new/hugo");
    EXPECT_FALSE(
        window::WriteExports(m_folder.path(), posts(2), source(1800000000), [] { return true; }));
    EXPECT_EQ(files_under(m_folder.path()), before);
}

TEST_F(ExportsWriterTest, AnExportThatCannotBeWrittenIsReported) {
    fs::create_directories(m_folder.path());
    { std::ofstream(exports()) << "a file where the folder goes"; }
    EXPECT_FALSE(window::WriteExports(m_folder.path(), posts(), source(1700000000)));
    // Someone's file is never ours to replace.
    EXPECT_EQ(read_bytes(exports()), "a file where the folder goes");
    EXPECT_FALSE(fs::exists(m_folder.path() / ".导出.new"));
}

// A body longer than the copy cleans whole, built as the copy holds it: `lines` paragraphs of
// prose, with a saved picture, a picture not saved, a link to a listed post, text that WordPress
// and CDATA would read otherwise and, once, a run of letters too long to cut in.
offline::CleanBody long_body(int lines, bool prose_only) {
    offline::CleanBody body;
    for (int line = 0; line < lines; ++line) {
        std::string& markup = body.markup.back();
        markup += "<p>第" + std::to_string(line) + "行，春天夏天秋天冬天，";
        if (prose_only) {
            markup += "风花雪月。</p>\n";
            continue;
        }
        markup += " [embed]x[/embed] a]]>b &amp; <b>粗</b> ";
        if (line == lines / 2) {
            markup += std::string(offline::body_piece_units + 100000, 'x');
        }
        if (line % 997 == 0) {
            body.addresses.push_back({true, "http://hi.baidu.com/p/x.png", "", " alt=\"图\""});
            body.markup.push_back("");
        }
        if (line % 1009 == 0) {
            body.addresses.push_back({false, "http://hi.baidu.com/u/blog/item/c.html", "#k", ""});
            body.markup.push_back("丙</a>");
            body.addresses.push_back({true, "http://hi.baidu.com/p/gone.png", "", ""});
            body.markup.push_back("");
        }
        body.markup.back() += "</p>\n";
    }
    return body;
}

std::size_t units_of(const offline::CleanBody& body) {
    std::size_t units = 0;
    for (const std::string& markup : body.markup) {
        units += platform::utf8_to_utf16(markup).size();
    }
    return units;
}

// A body over the size the copy cleans in pieces is written a part at a time; what is written is
// what the whole rendered body gives.
TEST_F(ExportsWriterTest, ALongBodyIsWrittenAsItsWholeRenderingWouldBe) {
    const offline::PictureStore store(offline::CopyFolder(m_folder.path()));
    exports::PostSurroundings around;
    around.picture = [&store](const std::string& address) { return store.Existing(address); };
    around.post_number = [](const std::string& address) {
        return address == "http://hi.baidu.com/u/blog/item/c.html" ? std::optional<std::size_t>(3)
                                                                   : std::nullopt;
    };
    around.backup_time = offline::ChinaDate(1700000000);
    const exports::SiteFacts site{"u", "u 的博客", "http://hi.baidu.com/u",
                                  "2023-11-15T06:13:20+08:00", 1700000000};
    // Several pieces; and one piece that is long in bytes only.
    for (const auto& [body, pieces] :
         {std::pair(long_body(40000, false), true), std::pair(long_body(30000, true), false)}) {
        ASSERT_EQ(units_of(body) > 2 * offline::body_piece_units, pieces);
        offline::PreparedPost post{
            1, "http://hi.baidu.com/u/blog/item/a.html", "", true, "长", body, {}, {}};
        post.facts.date = offline::PostDate{2009, 5, 1, 21, 0, true};
        const exports::ExportPost streamed = exports::ExportPostOf(post, around);
        ASSERT_EQ(streamed.long_body, &post.body);
        {
            exports::ExportsWriter writer(m_folder.path(),
                                          offline::CopyFolder(m_folder.path()) / "images", site);
            writer.add_post(streamed);
            ASSERT_TRUE(writer.finish());
        }
        exports::ExportPost whole = streamed;
        whole.long_body = nullptr;
        whole.hugo_body = offline::RenderBody(post.body, streamed.hugo_targets);
        whole.wordpress_body = offline::RenderBody(post.body, streamed.wordpress_targets);
        if (pieces) {
            ASSERT_EQ(whole.pictures.size(), 1U);
            ASSERT_NE(whole.hugo_body.find("<img src=\"" + whole.pictures[0]), std::string::npos);
            ASSERT_NE(whole.hugo_body.find("href=\"../3/#k\""), std::string::npos);
        }
        const std::string page = read_bytes(exports() / "hugo/content/posts/1/index.md");
        EXPECT_TRUE(page == exports::HugoPage(whole))
            << page.size() << " bytes against " << exports::HugoPage(whole).size();
        const std::string wordpress = read_bytes(exports() / "wordpress.xml");
        EXPECT_TRUE(wordpress == exports::WordPressHead(site) +
                                     exports::WordPressItem(whole, site.user) +
                                     std::string(exports::wordpress_tail))
            << wordpress.size() << " bytes";
    }
}

} // namespace
