#include "window/post_saver.h"

#include "platform/files.h"
#include "platform/text.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <pwd.h>
#include <set>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace blog;

namespace {

std::string read_bytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::set<std::string> names_in(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

void write_file(const fs::path& file) {
    std::ofstream(file) << "x";
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
class FolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "pellumo-test-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_root = pattern;
    }
    void TearDown() override {
        std::error_code ignored;
        fs::permissions(m_root, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(m_root, ignored);
    }

    fs::path m_root;
};

using FilesTest = FolderTest;
using SaveTest = FolderTest;

} // namespace

TEST(ProgramFolder, IsTheFolderOfTheExecutableNotTheWorkingDirectory) {
    const fs::path before = fs::current_path();
    ASSERT_EQ(::chdir("/"), 0);
    const fs::path found = platform::program_folder();
    fs::current_path(before);
    EXPECT_TRUE(found.is_absolute());
    EXPECT_EQ(found, fs::canonical(PELLUMO_TEST_BINARY_FOLDER));
}

TEST(HomeFolder, ComesFromHomeElseThePasswordDatabase) {
    const char* saved = std::getenv("HOME");
    const std::string previous = saved ? saved : "";
    ::setenv("HOME", "/somewhere/else", 1);
    EXPECT_EQ(platform::home_folder(), "/somewhere/else");
    ::unsetenv("HOME");
    const fs::path from_database = platform::home_folder();
    if (saved) {
        ::setenv("HOME", previous.c_str(), 1);
    }
    EXPECT_EQ(from_database, ::getpwuid(::getuid())->pw_dir);
}

TEST_F(FilesTest, OrdinaryFilesAreVisibleRegularFiles) {
    EXPECT_FALSE(platform::has_ordinary_files(m_root / "missing"));
    EXPECT_FALSE(platform::has_ordinary_files(m_root));
    write_file(m_root / ".hidden");
    fs::create_directory(m_root / "folder");
    write_file(m_root / "folder" / "inside.html");
    EXPECT_FALSE(platform::has_ordinary_files(m_root));
    EXPECT_FALSE(platform::has_ordinary_files(m_root / ".hidden")); // a file is no folder
    write_file(m_root / "1 post.html");
    EXPECT_TRUE(platform::has_ordinary_files(m_root));
}

TEST_F(FilesTest, CreateFolderMakesOneLevel) {
    EXPECT_TRUE(platform::create_folder(m_root / "a"));
    EXPECT_TRUE(fs::is_directory(m_root / "a"));
    EXPECT_TRUE(platform::create_folder(m_root / "a")); // already there
    EXPECT_FALSE(platform::create_folder(m_root / "b" / "c"));
    EXPECT_FALSE(fs::exists(m_root / "b"));
    write_file(m_root / "plain");
    EXPECT_FALSE(platform::create_folder(m_root / "plain"));
}

TEST_F(FilesTest, AppendBytesCreatesThenAppends) {
    const fs::path file = m_root / "f.html";
    EXPECT_TRUE(platform::append_bytes(file, ""));
    EXPECT_TRUE(fs::exists(file));
    EXPECT_TRUE(platform::append_bytes(file, std::string("a\0b", 3)));
    EXPECT_TRUE(platform::append_bytes(file, "\r\n"));
    EXPECT_EQ(read_bytes(file), std::string("a\0b\r\n", 5));
    EXPECT_FALSE(platform::append_bytes(m_root / "missing" / "f.html", "x"));
    EXPECT_FALSE(platform::append_bytes(m_root, "x"));
}

TEST_F(FilesTest, CanWriteInAnExistingWritableFolderOnly) {
    EXPECT_TRUE(platform::can_write_in(m_root));
    EXPECT_FALSE(platform::can_write_in(m_root / "missing"));
    write_file(m_root / "plain");
    EXPECT_FALSE(platform::can_write_in(m_root / "plain"));
    if (::geteuid() != 0) { // root writes whatever the mode says
        fs::permissions(m_root, fs::perms::owner_write, fs::perm_options::remove);
        EXPECT_FALSE(platform::can_write_in(m_root));
    }
}

TEST(CutPost, TitleLosesItsBlanksAndTheBodyKeepsEverything) {
    const PostPieces pieces = CutPost(post_page(u"我的 第一篇 post", u"正文 有 空格\r\n"));
    EXPECT_EQ(pieces.title, u"我的第一篇post");
    EXPECT_EQ(pieces.body, u"</div>正文 有 空格\r\n<div>");
}

TEST(CutPost, APageWithoutTitleIsCutFromTheSeventhCharacter) {
    EXPECT_EQ(CutPost(u"abcdefg h_ijk查看文章x类别").title, u"gh");
    EXPECT_EQ(CutPost(u"abcdefgh").title, u"");
    EXPECT_EQ(CutPost(u"").body, u"");
}

TEST_F(SaveTest, BodyIsWrittenInGbkAsItStands) {
    const SaveTarget target{m_root, u""};
    ASSERT_TRUE(SavePost(target, 1, post_page(u"标题", u"中文\r\n😀 x")));
    EXPECT_EQ(names_in(m_root), std::set<std::string>{"1 标题.html"});
    EXPECT_EQ(read_bytes(m_root / "1 标题.html"), "</div>\xD6\xD0\xCE\xC4\r\n&#x1F600; x<div>");
}

TEST_F(SaveTest, PostsAreNumberedAndASecondSaveAppends) {
    const SaveTarget target{m_root, u""};
    const std::u16string titles[] = {u"一", u"二", u"三"};
    for (int round = 0; round < 2; ++round) {
        for (std::size_t i = 0; i < 3; ++i) {
            ASSERT_TRUE(SavePost(target, i + 1, post_page(titles[i], titles[i])));
        }
    }
    EXPECT_EQ(names_in(m_root), (std::set<std::string>{"1 一.html", "2 二.html", "3 三.html"}));
    EXPECT_EQ(read_bytes(m_root / "2 二.html"), "</div>\xB6\xFE<div></div>\xB6\xFE<div>");
}

TEST_F(SaveTest, AFailedDownloadLeavesAnEmptyFile) {
    ASSERT_TRUE(SavePost({m_root, u""}, 4, u""));
    EXPECT_EQ(names_in(m_root), std::set<std::string>{"4 .html"});
    EXPECT_EQ(fs::file_size(m_root / "4 .html"), 0u);
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

TEST_F(SaveTest, TheUserFolderIsCreatedBesideTheProgram) {
    const fs::path program = m_root / "bin";
    const fs::path home = m_root / "home";
    fs::create_directory(program);
    fs::create_directory(home);
    const SaveTarget target = ChooseSaveFolder(program, u"某人", home);
    EXPECT_EQ(target.folder, program / "某人");
    EXPECT_TRUE(fs::is_directory(target.folder));
    EXPECT_EQ(target.shown, shown_under(program, u"某人"));
    EXPECT_TRUE(fs::is_empty(home));
}

TEST_F(SaveTest, AnEmptyUserNameSavesIntoTheProgramFolder) {
    write_file(m_root / "Pellumo");
    const SaveTarget target = ChooseSaveFolder(m_root, u"", m_root / "home");
    EXPECT_EQ(target.folder, m_root);
    EXPECT_EQ(target.shown, shown_under(m_root, u""));
}

TEST_F(SaveTest, DotUserNamesCannotClimb) {
    const SaveTarget target = ChooseSaveFolder(m_root, u"..", m_root / "home");
    EXPECT_EQ(target.folder, m_root / "__");
    EXPECT_TRUE(fs::is_directory(target.folder));
    // The box names the folder as it was made, not as it was typed.
    EXPECT_EQ(target.shown, shown_under(m_root, u"__"));
}

TEST_F(SaveTest, FallsBackToTheHomeFolder) {
    // A base below a regular file cannot be created, even by root.
    write_file(m_root / "plain");
    const fs::path home = m_root / "home";
    fs::create_directory(home);
    const SaveTarget target = ChooseSaveFolder(m_root / "plain" / "bin", u"某人", home);
    EXPECT_EQ(target.folder, home / "某人");
    EXPECT_TRUE(fs::is_directory(target.folder));
    EXPECT_EQ(target.shown, shown_under(home, u"某人"));
    EXPECT_TRUE(SavePost(target, 1, post_page(u"t", u"b")));
    if (::geteuid() != 0) { // root writes whatever the mode says
        const fs::path program = m_root / "bin";
        fs::create_directory(program);
        fs::permissions(program, fs::perms::owner_write, fs::perm_options::remove);
        EXPECT_EQ(ChooseSaveFolder(program, u"其他", home).folder, home / "其他");
    }
}

TEST_F(SaveTest, WhenNothingIsWritableTheWritesFail) {
    write_file(m_root / "plain");
    const fs::path home = m_root / "plain" / "home";
    const SaveTarget target = ChooseSaveFolder(m_root / "plain" / "bin", u"某人", home);
    EXPECT_EQ(target.folder, home / "某人");
    EXPECT_FALSE(SavePost(target, 1, post_page(u"t", u"b")));
}
