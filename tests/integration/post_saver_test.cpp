#include "window/post_saver.h"

#include "platform/files.h"
#include "platform/text.h"

#include "tests/support/file_bytes.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace blog;

using testing_support::read_bytes;

namespace {

std::set<std::string> names_in(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

void write_file(const fs::path& file, std::string_view bytes = "x") {
    std::ofstream(file, std::ios::binary) << bytes;
}

// A post page as the service serves it, decoded.
std::u16string post_page(std::u16string_view title, std::u16string_view body) {
    return u"<html><head><title>" + std::u16string(title) +
           u"_某人的空间_百度空间</title></head><body><div>查看文章</div>" + std::u16string(body) +
           u"<div>类别：默认分类</div></body></html>";
}

std::u16string shown_under(const fs::path& base, std::u16string_view user_name) {
    return platform::utf8_to_utf16(base.string()) + u"/" + std::u16string(user_name);
}

// Each test gets a fresh folder under the system's temporary folder, removed afterwards.
class SaveTest : public ::testing::Test {
protected:
    testing_support::TempFolder m_folder;
    const fs::path m_root = m_folder.path();
};

} // namespace

TEST(ProgramFolder, IsTheFolderOfTheExecutableNotTheWorkingDirectory) {
    const fs::path before = fs::current_path();
    ASSERT_EQ(::chdir("/"), 0);
    const fs::path found = platform::program_folder();
    fs::current_path(before);
    EXPECT_EQ(found, fs::canonical(PELLUMO_TEST_BINARY_FOLDER));
}

TEST_F(SaveTest, OrdinaryFilesAreVisibleRegularFilesAndAppendingCreatesThenAppends) {
    EXPECT_FALSE(platform::has_ordinary_files(m_root / "missing"));
    write_file(m_root / ".hidden");
    fs::create_directory(m_root / "folder");
    write_file(m_root / "folder" / "inside.html");
    EXPECT_FALSE(platform::has_ordinary_files(m_root));

    const fs::path file = m_root / "f.html";
    EXPECT_TRUE(platform::append_bytes(file, std::string("a\0b", 3)));
    EXPECT_TRUE(platform::append_bytes(file, "\r\n"));
    EXPECT_EQ(read_bytes(file), std::string("a\0b\r\n", 5));
    EXPECT_TRUE(platform::has_ordinary_files(m_root));
    EXPECT_FALSE(platform::append_bytes(m_root / "missing" / "f.html", "x"));
}

TEST_F(SaveTest, AWriteThatRunsOutOfRoomLeavesTheFileAsItWas) {
    const fs::path earlier = m_root / "1 旧.html";
    write_file(earlier, "earlier copy\r\n");
    const fs::path created = m_root / "2 新.html";
    // Room for part of each body, so the failure comes after some bytes went in, as on a full
    // disk. The program ignores SIGXFSZ itself; the test dies of it if it ever stops doing so.
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit limited = saved;
    limited.rlim_cur = 20;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    EXPECT_FALSE(platform::append_bytes(earlier, std::string(100, 'a')));
    EXPECT_FALSE(platform::append_bytes(created, std::string(100, 'b')));
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &saved), 0);

    EXPECT_EQ(read_bytes(earlier), "earlier copy\r\n");
    ASSERT_TRUE(fs::exists(created));
    EXPECT_EQ(fs::file_size(created), 0u);
}

TEST_F(SaveTest, BodyIsWrittenInGbkAsItStandsUnderTheTitleWithoutBlanks) {
    ASSERT_TRUE(SavePost({m_root, u""}, 1, post_page(u"标 题", u"中文\r\n😀 x")));
    EXPECT_EQ(names_in(m_root), std::set<std::string>{"1 标题.html"});
    EXPECT_EQ(read_bytes(m_root / "1 标题.html"), "</div>\xD6\xD0\xCE\xC4\r\n&#x1F600; x<div>");
    // A second save appends; a failed download (an empty page) leaves an empty file.
    ASSERT_TRUE(SavePost({m_root, u""}, 1, post_page(u"标题", u"二")));
    EXPECT_EQ(read_bytes(m_root / "1 标题.html"),
              "</div>\xD6\xD0\xCE\xC4\r\n&#x1F600; x<div></div>\xB6\xFE<div>");
    EXPECT_FALSE(SavePost({m_root, u""}, 4, u""));
    EXPECT_EQ(names_in(m_root), (std::set<std::string>{"1 标题.html", "4 .html"}));
    EXPECT_EQ(fs::file_size(m_root / "4 .html"), 0u);
}

TEST_F(SaveTest, APageWithoutTheBodyMarkersIsWrittenAsCutButNotSaved) {
    // No "查看文章": the cut starts at its length, at its fourth character, and runs to "类别".
    EXPECT_FALSE(SavePost({m_root, u""}, 5, u"<title>log in_x</title>please log in, 类别"));
    EXPECT_EQ(read_bytes(m_root / "5 login.html"), "tle>log in_x</title>please log in, ");
    // A page cut off before "类别".
    EXPECT_FALSE(SavePost({m_root, u""}, 6, u"<title>t_</title>查看文章 half a post"));
    EXPECT_EQ(fs::file_size(m_root / "6 t.html"), 0u);
    EXPECT_FALSE(SavePost({m_root, u""}, 7, u"<title>u_</title>类别 查看文章"));
    EXPECT_EQ(fs::file_size(m_root / "7 u.html"), 0u);
}

TEST_F(SaveTest, AHostileTitleNeverLeavesTheUserFolder) {
    const fs::path folder = m_root / "user";
    fs::create_directory(folder);
    const std::u16string titles[] = {u"../../escape", u"/tmp/escape", u"..\\..\\escape", u"..",
                                     u"a\nb|c"};
    for (std::size_t i = 0; i < std::size(titles); ++i) {
        EXPECT_TRUE(SavePost({folder, u""}, i + 1, post_page(titles[i], u"body")));
    }
    EXPECT_EQ(names_in(folder),
              (std::set<std::string>{"1 .._.._escape.html", "2 _tmp_escape.html",
                                     "3 .._.._escape.html", "4 ...html", "5 a_b_c.html"}));
    EXPECT_EQ(names_in(m_root), std::set<std::string>{"user"});
    EXPECT_FALSE(fs::exists(m_root.parent_path() / "escape"));
}

TEST_F(SaveTest, TheUserFolderIsMadeBesideTheProgramAndNamedAsMade) {
    const fs::path home = m_root / "home";
    fs::create_directory(home);
    const SaveTarget target = ChooseSaveFolder(m_root, u"某人", home);
    EXPECT_EQ(target.folder, m_root / "某人");
    EXPECT_TRUE(fs::is_directory(target.folder));
    EXPECT_EQ(target.shown, shown_under(m_root, u"某人"));
    EXPECT_TRUE(target.writable);
    EXPECT_TRUE(fs::is_empty(home));
    // A trailing separator names the same folder.
    for (const std::u16string_view slashed : {u"某人/", u"某人\\", u"某人//"}) {
        const SaveTarget same = ChooseSaveFolder(m_root, slashed, home);
        EXPECT_EQ(same.folder, m_root / "某人");
        EXPECT_EQ(same.shown, target.shown);
    }

    EXPECT_EQ(ChooseSaveFolder(m_root, u"..", home).folder, m_root / "__");
    const SaveTarget nameless = ChooseSaveFolder(m_root, u"", home);
    EXPECT_EQ(nameless.folder, m_root);
    EXPECT_EQ(nameless.shown, shown_under(m_root, u""));
    EXPECT_EQ(names_in(m_root), (std::set<std::string>{"home", "某人", "__"})); // nothing else made
}

TEST_F(SaveTest, FallsBackToTheHomeFolderAndOwnsUpWhenThatFailsToo) {
    // A base below a regular file cannot be created, even by root.
    write_file(m_root / "plain");
    const fs::path home = m_root / "home";
    fs::create_directory(home);
    const SaveTarget target = ChooseSaveFolder(m_root / "plain" / "bin", u"某人", home);
    EXPECT_EQ(target.folder, home / "某人");
    EXPECT_TRUE(fs::is_directory(target.folder));
    EXPECT_EQ(target.shown, shown_under(home, u"某人"));
    EXPECT_TRUE(target.writable);

    const fs::path nowhere = m_root / "plain" / "home";
    const SaveTarget none = ChooseSaveFolder(m_root / "plain" / "bin", u"某人", nowhere);
    EXPECT_FALSE(none.writable);
    EXPECT_EQ(none.shown, shown_under(nowhere, u"某人"));     // the last folder tried
    EXPECT_FALSE(ChooseSaveFolder({}, u"某人", {}).writable); // never the working directory
    if (::geteuid() != 0) { // root writes whatever the mode says: a read-only installation
        fs::create_directory(m_root / "bin");
        fs::permissions(m_root / "bin", fs::perms::owner_write, fs::perm_options::remove);
        EXPECT_EQ(ChooseSaveFolder(m_root / "bin", u"其他", home).folder, home / "其他");
    }
}
