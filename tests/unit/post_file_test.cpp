#include "window/post_file.h"

#include "platform/text.h"

#include <gtest/gtest.h>

#include <string>

using namespace blog;

namespace {

std::u16string repeated(std::u16string_view piece, int times) {
    std::u16string text;
    for (int i = 0; i < times; ++i) {
        text += piece;
    }
    return text;
}

bool is_continuation_byte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// The name keeps `prefix` and ".html", fits 255 bytes, holds a whole-character beginning of the
// title, and would not fit with one more character of it.
void expect_longest_fitting_name(const std::string& name, const std::string& prefix,
                                 std::u16string_view title) {
    const std::string full = platform::utf16_to_utf8(title);
    ASSERT_LE(name.size(), 255u);
    ASSERT_TRUE(name.starts_with(prefix)) << name;
    ASSERT_TRUE(name.ends_with(".html")) << name;
    const std::string kept = name.substr(prefix.size(), name.size() - prefix.size() - 5);
    EXPECT_TRUE(full.starts_with(kept));
    EXPECT_EQ(platform::utf16_to_utf8(platform::utf8_to_utf16(kept)), kept);
    EXPECT_EQ(platform::utf8_to_utf16(kept).find(u'\uFFFD'), std::u16string::npos);
    if (kept.size() < full.size()) {
        std::size_t next = kept.size() + 1;
        while (next < full.size() && is_continuation_byte(full[next])) {
            ++next;
        }
        EXPECT_GT(prefix.size() + next + 5, 255u) << "one more character would still fit";
    }
}

} // namespace

TEST(RemoveBlanks, RemovesOnlyTheAsciiBlank) {
    EXPECT_EQ(RemoveBlanks(u" 我的  文章 one "), u"我的文章one");
    EXPECT_EQ(RemoveBlanks(u"a\tb\u3000c\u00A0d"), u"a\tb\u3000c\u00A0d");
    EXPECT_EQ(RemoveBlanks(u""), u"");
}

TEST(SanitizeFileNamePart, ReplacesEachForbiddenCharacter) {
    for (const char16_t c : u"/\\?*:|<>\"\x01\n\r\x1F\x7F") { // the terminator adds NUL
        SCOPED_TRACE(static_cast<int>(c));
        std::u16string part = u"a";
        part += c;
        part += u"b";
        EXPECT_EQ(SanitizeFileNamePart(part), u"a_b");
    }
}

TEST(SanitizeFileNamePart, LeavesEverythingElse) {
    const std::u16string harmless = u"中文 标题.-_%&#!'~()[]{}😀..";
    EXPECT_EQ(SanitizeFileNamePart(harmless), harmless);
}

TEST(PostFileName, IsNumberBlankTitleAndHtml) {
    EXPECT_EQ(PostFileName(1, u"标题"), "1 标题.html");
    EXPECT_EQ(PostFileName(12, u""), "12 .html");
    EXPECT_EQ(PostFileName(3, u"../a\\b?"), "3 .._a_b_.html");
}

TEST(PostFileName, ShortensALongChineseTitleAtACharacterBoundary) {
    const std::u16string title = repeated(u"长", 200);
    for (const std::size_t number : {1u, 12u, 12345u}) {
        SCOPED_TRACE(number);
        const std::string prefix = std::to_string(number) + " ";
        expect_longest_fitting_name(PostFileName(number, title), prefix, title);
    }
}

TEST(PostFileName, NeverSplitsASurrogatePair) {
    // Each leading letter moves the cut to another byte of the four-byte sequences.
    for (int letters = 0; letters < 4; ++letters) {
        SCOPED_TRACE(letters);
        const std::u16string title = repeated(u"a", letters) + repeated(u"😀", 80);
        expect_longest_fitting_name(PostFileName(7, title), "7 ", title);
    }
}

TEST(PostFileName, KeepsATitleThatFitsExactly) {
    const std::u16string fits = repeated(u"x", 255 - 7);
    EXPECT_EQ(PostFileName(1, fits), "1 " + platform::utf16_to_utf8(fits) + ".html");
    EXPECT_EQ(PostFileName(1, fits + u"y").size(), 255u);
}

TEST(UserFolderName, CannotClimbOrNest) {
    EXPECT_EQ(UserFolderName(u"someone"), "someone");
    EXPECT_EQ(UserFolderName(u"某人"), "某人");
    EXPECT_EQ(UserFolderName(u""), "");
    EXPECT_EQ(UserFolderName(u"."), "_");
    EXPECT_EQ(UserFolderName(u".."), "__");
    EXPECT_EQ(UserFolderName(u"..."), "...");
    EXPECT_EQ(UserFolderName(u"a/../b"), "a_.._b");
    EXPECT_EQ(UserFolderName(u"../.."), ".._..");
}

TEST(UserFolderName, ShortensALongNameAtACharacterBoundary) {
    const std::string name = UserFolderName(repeated(u"空", 90) + u"x");
    EXPECT_EQ(name, platform::utf16_to_utf8(repeated(u"空", 85)));
}
