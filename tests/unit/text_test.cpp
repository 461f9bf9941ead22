#include "platform/text.h"

#include <gtest/gtest.h>

using platform::utf16_to_utf8;
using platform::utf8_to_utf16;

TEST(Utf8, RoundTripsEveryPlane) {
    const std::u16string text = u"ascii 中文 € \U0001F600 end";
    EXPECT_EQ(utf16_to_utf8(text), "ascii 中文 € \U0001F600 end");
    EXPECT_EQ(utf8_to_utf16(utf16_to_utf8(text)), text);
    EXPECT_EQ(utf8_to_utf16(""), u"");
}

TEST(Utf8, MalformedBytesBecomeReplacementCharacters) {
    EXPECT_EQ(utf8_to_utf16("a\xFF"
                            "b"),
              u"a\uFFFDb");
    EXPECT_EQ(utf8_to_utf16("a\xE4\xB8"), u"a\uFFFD\uFFFD");         // truncated sequence
    EXPECT_EQ(utf8_to_utf16("\xC0\xAF"), u"\uFFFD\uFFFD");           // overlong "/"
    EXPECT_EQ(utf8_to_utf16("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD"); // encoded surrogate
    EXPECT_EQ(utf8_to_utf16("\xE4\x41"), u"\uFFFDA"); // bad continuation keeps the next byte
}

TEST(Utf8, LoneSurrogatesBecomeReplacementCharacters) {
    const std::u16string lone{u'a', char16_t(0xD800), u'b', char16_t(0xDC00)};
    EXPECT_EQ(utf16_to_utf8(lone), "a\xEF\xBF\xBD"
                                   "b\xEF\xBF\xBD");
}
