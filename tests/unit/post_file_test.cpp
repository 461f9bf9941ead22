#include "blog/post_file.h"

#include "platform/text.h"

#include <gtest/gtest.h>

#include <string>

using namespace blog;
using platform::utf16_to_utf8;

namespace {

std::u16string repeated(std::u16string_view piece, std::size_t times) {
    std::u16string text;
    for (std::size_t i = 0; i < times; ++i) {
        text += piece;
    }
    return text;
}

} // namespace

TEST(RemoveBlanks, RemovesOnlyTheAsciiBlank) {
    EXPECT_EQ(RemoveBlanks(u" 我的  文章 one "), u"我的文章one");
    EXPECT_EQ(RemoveBlanks(u"a\tb\u3000c\u00A0d"), u"a\tb\u3000c\u00A0d");
}

TEST(SanitizeFileNamePart, ReplacesEachForbiddenCharacterAndNothingElse) {
    for (const char16_t c : u"/\\?*:|<>\"\x01\n\r\x1F\x7F") { // the terminator adds NUL
        SCOPED_TRACE(static_cast<int>(c));
        EXPECT_EQ(SanitizeFileNamePart(u"a" + std::u16string(1, c) + u"b"), u"a_b");
    }
    const std::u16string harmless = u"中文 标题.-_%&#!'~()[]{}😀..";
    EXPECT_EQ(SanitizeFileNamePart(harmless), harmless);
}

TEST(PostFileName, IsNumberBlankTitleAndHtml) {
    EXPECT_EQ(PostFileName(1, u"标题"), "1 标题.html");
    EXPECT_EQ(PostFileName(12, u""), "12 .html");
    EXPECT_EQ(PostFileName(3, u"../a\\b?"), "3 .._a_b_.html");
}

TEST(PostFileName, KeepsTheMostWholeCharactersThatFit255Bytes) {
    // Three-byte characters after prefixes of every length modulo three.
    for (const std::size_t number : {1u, 12u, 123u}) {
        const std::string prefix = std::to_string(number) + " ";
        const std::size_t room = 255 - prefix.size() - 5;
        EXPECT_EQ(PostFileName(number, repeated(u"长", 200)),
                  prefix + utf16_to_utf8(repeated(u"长", room / 3)) + ".html");
    }
    // Each leading letter moves the cut to another byte of the four-byte sequences, whose
    // surrogate pairs must never be split.
    for (std::size_t letters = 0; letters < 4; ++letters) {
        const std::u16string a(letters, u'a');
        EXPECT_EQ(PostFileName(7, a + repeated(u"😀", 80)),
                  "7 " + utf16_to_utf8(a + repeated(u"😀", (248 - letters) / 4)) + ".html");
    }
    const std::u16string fits = repeated(u"x", 255 - 7);
    EXPECT_EQ(PostFileName(1, fits), "1 " + utf16_to_utf8(fits) + ".html");
    EXPECT_EQ(PostFileName(1, fits + u"y"), "1 " + utf16_to_utf8(fits) + ".html");
}

TEST(UserFolderName, CannotClimbOrNestIgnoresTrailingSlashesAndFits255Bytes) {
    const std::pair<std::u16string, std::string> cases[] = {
        {u"某人", "某人"},   {u"", ""},          {u".", "_"},
        {u"..", "__"},       {u"...", "..."},    {u"a/../b", "a_.._b"},
        {u"../..", ".._.."}, {u"某人/", "某人"}, {u"某人\\", "某人"},
        {u"a/b/\\/", "a_b"}, {u"/", ""},         {u"/a", "_a"},
    };
    for (const auto& [user_name, folder] : cases) {
        EXPECT_EQ(UserFolderName(user_name), folder);
    }
    EXPECT_EQ(UserFolderName(repeated(u"空", 90) + u"x"), utf16_to_utf8(repeated(u"空", 85)));
}
