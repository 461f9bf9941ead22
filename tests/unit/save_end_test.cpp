#include "window/save_end.h"

#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <fstream>

namespace fs = std::filesystem;

TEST(SaveEnd, OpensTheCopyItLeftAsAPercentEncodedFileAddress) {
    const testing_support::TempFolder temp;
    const fs::path copy = temp.path() / "我的 blog#1" / "离线浏览";
    fs::create_directories(copy);
    std::ofstream(copy / "index.html") << "<html></html>";
    // 我 = E6 88 91, 的 = E7 9A 84, 离 = E7 A6 BB, 线 = E7 BA BF, 浏 = E6 B5 8F, 览 = E8 A7 88
    const std::u16string expected =
        u"file://" + std::u16string(temp.path().u16string()) +
        u"/%E6%88%91%E7%9A%84%20blog%231/%E7%A6%BB%E7%BA%BF%E6%B5%8F%E8%A7%88/index.html";
    EXPECT_EQ(window::SaveEndAddress(copy, true, u"http://home"), expected);
}

TEST(SaveEnd, OpensTheHomeAddressWhenTheSaveLeftNoCopy) {
    const testing_support::TempFolder temp;
    EXPECT_EQ(window::SaveEndAddress(temp.path(), true, u"http://home"), u"http://home");
    std::ofstream(temp.path() / "index.html") << "<html></html>";
    EXPECT_EQ(window::SaveEndAddress(temp.path(), false, u"http://home"), u"http://home");
}
