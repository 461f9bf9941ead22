#include "platform/codepage.h"

#include <gtest/gtest.h>

using platform::decode_gbk;
using platform::encode_gbk;

namespace {

template <typename Text> Text repeated(const Text& piece, int times) {
    Text out;
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
    EXPECT_EQ(decode_gbk("1\x80z"), u"1€z");
    const std::u16string page = u"<title>我的日志_百度空间</title> 查看文章 [下一页] [尾页] 类别";
    EXPECT_EQ(decode_gbk(encode_gbk(page)), page);
    EXPECT_EQ(decode_gbk(""), u"");
    EXPECT_EQ(encode_gbk(u""), "");
}

TEST(Gbk, UndefinedBytesBecomeOneReplacementEachAndDecodingGoesOn) {
    const std::pair<std::string, std::u16string> cases[] = {
        {"a\xFFz", u"a\uFFFDz"},
        // A lead byte before a byte that cannot trail: that byte is a character of its own.
        {"a\x81 b", u"a\uFFFD b"},
        {"\xD6!\xD6\xD0", u"\uFFFD!中"},
        {"\xAA\xA1\xD6\xD0", u"\uFFFD中"}, // an unmapped pair is one character, not two
        {"\xFF\xD6\xD0", u"\uFFFD中"},     // a byte that cannot lead does not take the next pair
        {"ab\xD6", u"ab\uFFFD"},           // a lead byte at the end
        {"\xD6\xD0\x81", u"中\uFFFD"},
    };
    for (const auto& [bytes, text] : cases) {
        EXPECT_EQ(decode_gbk(bytes), text);
    }
}

TEST(Gbk, UnrepresentableCharactersAndLoneSurrogatesBecomeHexReferences) {
    EXPECT_EQ(encode_gbk(u"a\u0E01b"), "a&#xE01;b");
    EXPECT_EQ(encode_gbk(u"中\U0001F600文"), "\xD6\xD0&#x1F600;\xCE\xC4");
    EXPECT_EQ(encode_gbk(u"\U0001F600\U0001F601"), "&#x1F600;&#x1F601;");
    EXPECT_EQ(encode_gbk(u"\uAC00t\uAC00"), "&#xAC00;t&#xAC00;");
    EXPECT_EQ(encode_gbk(std::u16string{u'a', char16_t(0xD83D), u'b'}), "a&#xFFFD;b");
    EXPECT_EQ(encode_gbk(std::u16string{char16_t(0xDE00), u'中'}), "&#xFFFD;\xD6\xD0");
    EXPECT_EQ(encode_gbk(std::u16string{u'z', char16_t(0xD83D)}), "z&#xFFFD;");
}

TEST(Gbk, LargeTextsWithManyErrorsConvertWhole) {
    constexpr int times = 50000;
    EXPECT_EQ(decode_gbk(repeated<std::string>("\xD6\xD0x\xFF", times)),
              repeated<std::u16string>(u"中x\uFFFD", times));
    // References are longer than the two bytes a unit the output starts with.
    EXPECT_EQ(encode_gbk(repeated<std::u16string>(u"\U0001F600", times)),
              repeated<std::string>("&#x1F600;", times));
    EXPECT_EQ(encode_gbk(repeated<std::u16string>(u"\u0E01中", times)),
              repeated<std::string>("&#xE01;\xD6\xD0", times));
}

TEST(Gbk, SurrogatePairsStayWholeWhereverTheyFall) {
    // Shift a pair through every position after an error, across any split of the text.
    for (int letters = 0; letters < 600; ++letters) {
        const std::u16string text = u"\u0E01" + std::u16string(letters, u'a') + u"\U0001F600b";
        const std::string expected = "&#xE01;" + std::string(letters, 'a') + "&#x1F600;b";
        ASSERT_EQ(encode_gbk(text), expected) << letters << " letters before the pair";
    }
}
