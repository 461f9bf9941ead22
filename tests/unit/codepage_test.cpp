#include "platform/codepage.h"

#include <gtest/gtest.h>

using platform::decode_gbk;
using platform::encode_gbk;

namespace {

std::string repeated(std::string_view piece, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) {
        out += piece;
    }
    return out;
}

std::u16string repeated(std::u16string_view piece, int times) {
    std::u16string out;
    for (int i = 0; i < times; ++i) {
        out += piece;
    }
    return out;
}

} // namespace

TEST(Gbk, RoundTripsAsciiChineseAndEuro) {
    EXPECT_EQ(encode_gbk(u"plain <a href=\"x\">"), "plain <a href=\"x\">");
    EXPECT_EQ(encode_gbk(u"中文"), "\xD6\xD0\xCE\xC4");
    EXPECT_EQ(decode_gbk("\xD6\xD0\xCE\xC4"), u"中文");
    // Code page 936 puts the euro sign on the single byte 0x80.
    EXPECT_EQ(encode_gbk(u"€"), "\x80");
    EXPECT_EQ(decode_gbk("1\x80"
                         "2"),
              u"1€2");

    const std::u16string page =
        u"<title>我的日志_百度空间</title> 查看文章 [下一页] [尾页] 类别 € 5";
    EXPECT_EQ(decode_gbk(encode_gbk(page)), page);
}

TEST(Gbk, EmptyInputGivesEmptyOutput) {
    EXPECT_EQ(decode_gbk(""), u"");
    EXPECT_EQ(encode_gbk(u""), "");
}

TEST(Gbk, UndefinedBytesBecomeOneReplacementEachAndDecodingGoesOn) {
    EXPECT_EQ(decode_gbk("a\xFF"
                         "b"),
              u"a\uFFFDb");
    // A lead byte whose follower cannot be a trail byte: the follower is a character of its own.
    EXPECT_EQ(decode_gbk("a\x81 b"), u"a\uFFFD b");
    EXPECT_EQ(decode_gbk("\xD6"
                         "1\xD6\xD0"),
              u"\uFFFD1中");
    // An unmapped pair of lead and trail bytes is one character, not two.
    EXPECT_EQ(decode_gbk("\xAA\xA1\xD6\xD0"), u"\uFFFD中");
    // A byte that cannot lead does not take the next pair with it.
    EXPECT_EQ(decode_gbk("\xFF\xD6\xD0"), u"\uFFFD中");
    EXPECT_EQ(decode_gbk("\xFF\xFF\xFF"), u"\uFFFD\uFFFD\uFFFD");
}

TEST(Gbk, LeadByteAtTheEndBecomesReplacement) {
    EXPECT_EQ(decode_gbk("ab\xD6"), u"ab\uFFFD");
    EXPECT_EQ(decode_gbk("\xD6\xD0\x81"), u"中\uFFFD");
    EXPECT_EQ(decode_gbk("\x81"), u"\uFFFD");
}

TEST(Gbk, UnrepresentableCharactersBecomeHexReferences) {
    EXPECT_EQ(encode_gbk(u"a\u0E01b"), "a&#xE01;b");
    EXPECT_EQ(encode_gbk(u"中\U0001F600文"), "\xD6\xD0&#x1F600;\xCE\xC4");
    EXPECT_EQ(encode_gbk(u"\U0001F600\U0001F601"), "&#x1F600;&#x1F601;");
    EXPECT_EQ(encode_gbk(u"x\uFFFD"), "x&#xFFFD;");
    EXPECT_EQ(encode_gbk(u"\uAC00t\uAC00"), "&#xAC00;t&#xAC00;");
}

TEST(Gbk, LoneSurrogatesBecomeReplacementReferences) {
    const std::u16string high_then_letter{u'a', char16_t(0xD83D), u'b'};
    EXPECT_EQ(encode_gbk(high_then_letter), "a&#xFFFD;b");
    const std::u16string low_alone{char16_t(0xDE00), u'中'};
    EXPECT_EQ(encode_gbk(low_alone), "&#xFFFD;\xD6\xD0");
    const std::u16string high_at_end{u'z', char16_t(0xD83D)};
    EXPECT_EQ(encode_gbk(high_at_end), "z&#xFFFD;");
}

TEST(Gbk, LargeTextsWithManyErrorsConvertWhole) {
    constexpr int times = 50000;
    EXPECT_EQ(decode_gbk(repeated("\xD6\xD0x\xFF", times)), repeated(u"中x\uFFFD", times));
    EXPECT_EQ(decode_gbk(repeated("\xFF", times)), repeated(u"\uFFFD", times));
    // References are longer than the two bytes a unit the output starts with.
    EXPECT_EQ(encode_gbk(repeated(u"\U0001F600", times)), repeated("&#x1F600;", times));
    EXPECT_EQ(encode_gbk(repeated(u"\u0E01中", times)), repeated("&#xE01;\xD6\xD0", times));
}

TEST(Gbk, SurrogatePairsStayWholeWhereverTheyFall) {
    // Shift a pair through every position after an error, across any split of the text.
    for (int letters = 0; letters < 600; ++letters) {
        const std::u16string text = u"\u0E01" + std::u16string(letters, u'a') + u"\U0001F600b";
        const std::string expected = "&#xE01;" + std::string(letters, 'a') + "&#x1F600;b";
        ASSERT_EQ(encode_gbk(text), expected) << letters << " letters before the pair";
    }
}
