#include "window/kept_list.h"

#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <fstream>

namespace {

// Sets the local time zone for the test's length.
class TimeZone {
public:
    explicit TimeZone(const char* zone) {
        if (const char* old = std::getenv("TZ")) {
            m_old = old;
        }
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~TimeZone() {
        if (m_old) {
            ::setenv("TZ", m_old->c_str(), 1);
        } else {
            ::unsetenv("TZ");
        }
        ::tzset();
    }

private:
    std::optional<std::string> m_old;
};

} // namespace

TEST(KeptList, IsWrittenOneAddressALineAndReadBackInOrder) {
    const testing_support::TempFolder folder;
    const std::vector<std::u16string> list{
        u"http://web.archive.org/web/2010/http://hi.baidu.com/a/blog/item/2.html",
        u"http://web.archive.org/web/2009/http://hi.baidu.com/a/blog/item/1.html"};
    ASSERT_TRUE(window::WriteKeptList(folder.path(), list));
    std::ifstream in(window::KeptListFile(folder.path()), std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_EQ(text, "http://web.archive.org/web/2010/http://hi.baidu.com/a/blog/item/2.html\n"
                    "http://web.archive.org/web/2009/http://hi.baidu.com/a/blog/item/1.html\n");
    const std::time_t before = std::time(nullptr);
    const std::optional<window::KeptList> read = window::ReadKeptList(folder.path());
    ASSERT_TRUE(read);
    EXPECT_EQ(read->addresses, list);
    EXPECT_LE(read->written, before + 1);
    EXPECT_GE(read->written, before - 60);
    EXPECT_FALSE(std::filesystem::exists(window::KeptListFile(folder.path()).string() + ".part"));
}

TEST(KeptList, AFileEditedByHandReadsWithoutItsBlanksAndAnEmptyOneIsNoList) {
    EXPECT_EQ(window::KeptListAddresses("a\r\n\n  b  \r\nc"),
              (std::vector<std::u16string>{u"a", u"b", u"c"}));
    const testing_support::TempFolder folder;
    EXPECT_FALSE(window::ReadKeptList(folder.path()));
    std::filesystem::create_directory(window::RecoveryFolder(folder.path()));
    std::ofstream(window::KeptListFile(folder.path())) << "\n \n";
    EXPECT_FALSE(window::ReadKeptList(folder.path()));
}

TEST(KeptList, TheBoxGivesTheCountAndTheLocalMinuteOfTheList) {
    // 2026-03-04 05:06:59 UTC
    const std::time_t when = 1772600819;
    {
        const TimeZone utc("UTC0");
        EXPECT_EQ(window::LocalMinuteText(when), u"2026-03-04 05:06");
    }
    const TimeZone china("CST-8");
    EXPECT_EQ(window::KeptListQuestion({{u"a", u"b", u"c"}, when}),
              u"上次获取了3个文章链接（2026-03-04 13:06）。直接使用这些链接吗？");
}
