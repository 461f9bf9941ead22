#include "offline/copy_writer.h"

#include "offline/picture.h"

#include "tests/support/file_bytes.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace offline;

using testing_support::files_under;
using testing_support::read_bytes;

namespace {

void write_bytes(const fs::path& file, std::string_view bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
}

std::vector<CopyPost> listed(std::size_t count) {
    std::vector<CopyPost> posts;
    for (std::size_t i = 1; i <= count; ++i) {
        const std::u16string n(1, static_cast<char16_t>(u'0' + i));
        posts.push_back({u"http://hi.baidu.com/u/blog/item/" + n + u".html",
                         u"<title>第" + n + u"篇_空间</title>查看文章<img src=/p" + n +
                             u".png><img src=/shared.png>类别",
                         {}});
    }
    return posts;
}

// Writes the copy of these posts, every picture saved, taking each body from the plan.
CopyWriteResult write_copy(const fs::path& user, const std::vector<CopyPost>& posts,
                           std::u16string_view time, const BodyLoader& loader = {}) {
    const CopyPlan plan = PlanCopy(posts);
    PictureOutcomes outcomes;
    for (const std::string& picture : plan.pictures) {
        outcomes[picture] = {PictureFileName(picture, ".png"), {}};
    }
    std::vector<PostSummary> summaries;
    for (const PreparedPost& post : plan.posts) {
        summaries.push_back(SummaryOf(post));
    }
    const CopyPageBuilder pages(std::move(summaries), outcomes, u"u", time);
    return WriteCopy(user, pages, [&](std::size_t number) -> std::optional<CleanBody> {
        return loader ? loader(number) : plan.posts.at(number - 1).body;
    });
}

class CopyWriterTest : public ::testing::Test {
protected:
    testing_support::TempFolder m_folder;
    const fs::path m_user = m_folder.path();
};

} // namespace

TEST_F(CopyWriterTest, SavingAgainGivesTheSameCopyButForTheTime) {
    write_bytes(m_user / "1 第1篇.html", "original");
    ASSERT_TRUE(write_copy(m_user, listed(3), u"2026-01-01 10:00:00").failed.empty());
    const auto first = files_under(CopyFolder(m_user));
    ASSERT_TRUE(write_copy(m_user, listed(3), u"2026-02-02 20:00:00").failed.empty());
    auto second = files_under(CopyFolder(m_user));

    EXPECT_EQ(read_bytes(m_user / "1 第1篇.html"), "original");
    for (const char* name :
         {"index.html", "all.html", "posts/1.html", "posts/2.html", "posts/3.html"}) {
        EXPECT_EQ(first.count(name), 1u) << name;
    }
    std::string& index = second.at("index.html");
    const std::size_t time = index.find("2026-02-02 20:00:00");
    ASSERT_NE(time, std::string::npos);
    index.replace(time, 19, "2026-01-01 10:00:00");
    EXPECT_EQ(second, first);
}

TEST_F(CopyWriterTest, RemovesPagesNoLongerListedAndHalfWrittenFiles) {
    ASSERT_TRUE(write_copy(m_user, listed(4), u"t").failed.empty());
    const fs::path copy = CopyFolder(m_user);
    write_bytes(copy / "images" / (PictureHash("x") + ".png.part"), "half");
    write_bytes(copy / "posts" / "notes.txt", "mine");
    // Post 2's picture, post 4's, which goes with it, and one an earlier save named by an
    // address no page shows now.
    write_bytes(copy / "images" / PictureFileName("http://hi.baidu.com/p2.png", ".png"), "P2");
    write_bytes(copy / "images" / PictureFileName("http://hi.baidu.com/p4.png", ".png"), "P4");
    write_bytes(copy / "images" / PictureFileName("http://web.archive.org/p1.png", ".gif"), "");
    write_bytes(copy / "images" / "notes.txt", "mine");
    ASSERT_TRUE(write_copy(m_user, listed(2), u"t").failed.empty());

    const auto files = files_under(copy);
    std::vector<std::string> names;
    for (const auto& [name, bytes] : files) {
        names.push_back(name);
    }
    EXPECT_EQ(
        names,
        (std::vector<std::string>{
            "all.html", "images/" + PictureFileName("http://hi.baidu.com/p2.png", ".png"),
            "images/notes.txt", "index.html", "posts/1.html", "posts/2.html", "posts/notes.txt"}));
    EXPECT_EQ(files.at("posts/2.html").find("下一篇</a>"), std::string::npos);
}

TEST_F(CopyWriterTest, PictureStoreFindsOnlyWholePictures) {
    const PictureStore store(CopyFolder(m_user));
    const std::string address = "http://hi.baidu.com/p.png";
    EXPECT_EQ(store.Existing(address), std::nullopt);
    fs::create_directories(CopyFolder(m_user) / "images");
    write_bytes(CopyFolder(m_user) / "images" / (PictureHash(address) + ".gif.part"), "GIF8");
    EXPECT_EQ(store.Existing(address), std::nullopt);

    const std::string bytes("GIF89a\0\x01", 8);
    EXPECT_EQ(store.Store(address, ".gif", bytes), PictureHash(address) + ".gif");
    EXPECT_EQ(store.Existing(address), PictureHash(address) + ".gif");
    EXPECT_EQ(read_bytes(CopyFolder(m_user) / "images" / (PictureHash(address) + ".gif")), bytes);
    EXPECT_EQ(store.Existing("http://hi.baidu.com/q.png"), std::nullopt);
}

TEST_F(CopyWriterTest, AWriteThatFailsPartWayKeepsTheOldFileAndNamesNoCutOffPicture) {
    ASSERT_TRUE(write_copy(m_user, listed(2), u"t").failed.empty());
    const fs::path copy = CopyFolder(m_user);
    const auto before = files_under(copy);
    std::vector<CopyPost> longer = listed(2);
    for (CopyPost& post : longer) {
        post.page->insert(post.page->find(u"类别"), std::u16string(20000, u'x'));
    }
    const PictureStore store(copy);
    const std::string picture = "http://hi.baidu.com/big.png";
    const std::string picture_bytes = "\x89PNG\r\n\x1a\n" + std::string(20000, 'p');

    // Room for the old pages but not the new ones: each write fails after some bytes went in,
    // as on a full disk. The writer ignores SIGXFSZ itself; the test dies of it otherwise.
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit limited = saved;
    limited.rlim_cur = 8192;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    const CopyWriteResult result = write_copy(m_user, longer, u"t");
    const std::optional<std::string> stored = store.Store(picture, ".png", picture_bytes);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &saved), 0);

    EXPECT_EQ(result.failed.size(), 3u); // two post pages and all.html; the index fits
    EXPECT_EQ(stored, std::nullopt);
    EXPECT_EQ(store.Existing(picture), std::nullopt);
    auto after = files_under(copy);
    EXPECT_EQ(after.erase("index.html"), 1u);
    auto old = before;
    old.erase("index.html");
    EXPECT_EQ(after, old); // every other file as it was, and nothing left half written
}

TEST_F(CopyWriterTest, ABodyThatCannotBeHadCostsItsPagesAndStoppingWritesNoMore) {
    ASSERT_TRUE(write_copy(m_user, listed(3), u"t").failed.empty());
    const fs::path copy = CopyFolder(m_user);
    const auto before = files_under(copy);
    const CopyWriteResult lost =
        write_copy(m_user, listed(3), u"t", [](std::size_t number) -> std::optional<CleanBody> {
            if (number == 2) {
                throw std::runtime_error("gone");
            }
            return PlanCopy(listed(3)).posts.at(number - 1).body;
        });
    EXPECT_EQ(lost.failed, (std::vector<fs::path>{copy / "posts/2.html", copy / "all.html"}));
    EXPECT_FALSE(lost.stopped);
    EXPECT_EQ(files_under(copy), before);

    fs::remove(copy / "index.html");
    const CopyWriteResult stopped = write_copy(
        m_user, listed(3), u"t", [](std::size_t) -> std::optional<CleanBody> { return {}; });
    EXPECT_TRUE(stopped.stopped);
    auto left = before;
    left.erase("index.html");
    EXPECT_EQ(files_under(copy), left);
}

TEST(BackupTimeText, IsLocalDateAndTime) {
    ::setenv("TZ", "Asia/Shanghai", 1);
    ::tzset();
    EXPECT_EQ(BackupTimeText(1000000000), u"2001-09-09 09:46:40");
}
