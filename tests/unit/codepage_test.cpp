#include "platform/codepage.h"

#include <gtest/gtest.h>

#include <bit>
#include <iconv.h>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

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

static_assert(std::endian::native == std::endian::little, "iconv writes UTF-32LE");

// glibc's own converters, the reference that the program's tables are checked against.
class GlibcDecoder {
public:
    explicit GlibcDecoder(const char* from) : m_cd(iconv_open("UTF-32LE", from)) {
        if (m_cd == reinterpret_cast<iconv_t>(-1)) {
            throw std::runtime_error(std::string("iconv_open ") + from);
        }
    }
    ~GlibcDecoder() { iconv_close(m_cd); }
    GlibcDecoder(const GlibcDecoder&) = delete;
    GlibcDecoder& operator=(const GlibcDecoder&) = delete;

    // The one BMP character that `bytes` stand for, if they stand for one.
    std::optional<char16_t> character(std::string bytes) {
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        char32_t out[2] = {};
        char* in = bytes.data();
        std::size_t in_left = bytes.size();
        char* out_cursor = reinterpret_cast<char*>(out);
        std::size_t out_left = sizeof out;
        const bool whole =
            iconv(m_cd, &in, &in_left, &out_cursor, &out_left) != static_cast<std::size_t>(-1);
        const bool one = out_left == sizeof out - sizeof(char32_t);
        if (whole && in_left == 0 && one && out[0] <= 0xFFFF) {
            return static_cast<char16_t>(out[0]);
        }
        return std::nullopt;
    }

private:
    iconv_t m_cd;
};

// Where GB18030-2005 gave these byte pairs standard characters, Windows code page 936 kept the
// Private Use Area characters of its own table, numbered on in the order of the pairs.
struct WindowsRun {
    unsigned first_pair;
    unsigned count;
    char32_t first_character;
};
constexpr WindowsRun windows_only_pairs[] = {
    {0xA2E3, 1, 0xE76C},  {0xA6D9, 7, 0xE78D},  {0xA6EC, 2, 0xE794},
    {0xA6F3, 1, 0xE796},  {0xA8BC, 1, 0xE7C7},  {0xA8BF, 1, 0xE7C8},
    {0xA989, 13, 0xE7E7}, {0xFE50, 47, 0xE815}, // FE50-FE7E
    {0xFE80, 33, 0xE844},                       // FE80-FEA0
};

// Windows' character for one or two bytes, where it defines one: glibc's CP936 for the
// common set, the runs above, and glibc's GB18030 for the user-defined areas.
class WindowsTable {
public:
    std::optional<char16_t> character(const std::string& bytes) {
        if (bytes == "\xFF") {
            return u'\uF8F5';
        }
        if (const auto c = m_cp936.character(bytes)) {
            return c;
        }
        if (bytes.size() == 2) {
            const unsigned pair =
                static_cast<unsigned char>(bytes[0]) << 8 | static_cast<unsigned char>(bytes[1]);
            for (const WindowsRun& run : windows_only_pairs) {
                if (pair >= run.first_pair && pair < run.first_pair + run.count) {
                    return static_cast<char16_t>(run.first_character + (pair - run.first_pair));
                }
            }
            return m_gb18030.character(bytes);
        }
        return std::nullopt;
    }

private:
    GlibcDecoder m_cp936{"CP936"};
    GlibcDecoder m_gb18030{"GB18030"};
};

std::string hex(const std::string& bytes) {
    std::string out;
    for (const char byte : bytes) {
        static constexpr char digits[] = "0123456789ABCDEF";
        out += digits[static_cast<unsigned char>(byte) >> 4];
        out += digits[byte & 0xF];
    }
    return out;
}

} // namespace

TEST(Gbk, EverySequenceDecodesAsOnWindowsAndEncodesBack) {
    WindowsTable windows;
    std::vector<std::string> wrong;
    const auto check = [&](const std::string& bytes, const std::u16string& expected) {
        const std::u16string decoded = decode_gbk(bytes);
        if (decoded != expected) {
            wrong.push_back(hex(bytes) + " decodes wrong");
        } else if (expected.find(u'\uFFFD') == std::u16string::npos &&
                   encode_gbk(expected) != bytes) {
            wrong.push_back(hex(bytes) + " does not encode back");
        }
    };
    std::u16string single(0x100, u'\uFFFD');
    for (unsigned byte = 0; byte < 0x100; ++byte) {
        const std::string bytes(1, static_cast<char>(byte));
        single[byte] = windows.character(bytes).value_or(u'\uFFFD');
        check(bytes, std::u16string(1, single[byte]));
    }
    int defined_pairs = 0;
    for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
        for (unsigned trail = 0; trail < 0x100; ++trail) {
            const std::string bytes{static_cast<char>(lead), static_cast<char>(trail)};
            if (const auto c = windows.character(bytes)) {
                ++defined_pairs;
                check(bytes, std::u16string(1, *c));
            } else {
                // The lead byte alone is undefined, and the second byte is read again.
                check(bytes, u"\uFFFD" + std::u16string(1, single[trail]));
            }
        }
    }
    // Windows defines every lead byte 81-FE with every trail byte 40-7E and 80-FE.
    EXPECT_EQ(defined_pairs, 126 * 190);
    EXPECT_EQ(single[0x80], u'€');
    EXPECT_TRUE(wrong.empty()) << wrong.size() << " sequences wrong, first " << wrong.front()
                               << (wrong.size() > 1 ? ", " + wrong[1] : "");
}

TEST(Gbk, RoundTripsAsciiChineseAndPrivateUse) {
    const std::u16string page = u"<title>我的日志_百度空间</title> 查看文章 [下一页] [尾页] 类别";
    EXPECT_EQ(decode_gbk(encode_gbk(page)), page);
    EXPECT_EQ(encode_gbk(u"plain \uE000中"), "plain \xAA\xA1\xD6\xD0");
    // A user-defined pair whose second byte is "_" stays one character, so a title holding it
    // is not cut short there.
    EXPECT_EQ(decode_gbk("<title>\xA1\x5F_x"), u"<title>\uE4E5_x");
    EXPECT_EQ(decode_gbk(""), u"");
    EXPECT_EQ(encode_gbk(u""), "");
}

TEST(Gbk, UndefinedBytesBecomeOneReplacementEachAndDecodingGoesOn) {
    const std::pair<std::string, std::u16string> cases[] = {
        // A lead byte before a byte that cannot end a pair: that byte is a character of its own.
        {"a\x81 b", u"a\uFFFD b"},
        {"\xD6!\xD6\xD0", u"\uFFFD!中"},
        {"\x81\x7F\x81\x30", u"\uFFFD\x7F\uFFFD0"},
        {"\x81\xFF\xD6\xD0", u"\uFFFD\uF8F5中"},
        {"ab\xD6", u"ab\uFFFD"}, // a lead byte at the end
        {"\xD6\xD0\x81", u"中\uFFFD"},
    };
    for (const auto& [bytes, text] : cases) {
        EXPECT_EQ(decode_gbk(bytes), text) << hex(bytes);
    }
}

TEST(Gbk, EveryCharacterOutsideTheCodePageBecomesAHexReference) {
    const std::pair<std::u16string, std::string> cases[] = {
        {u"a\u0E01b", "a&#xE01;b"},
        {u"中\U0001F600文", "\xD6\xD0&#x1F600;\xCE\xC4"},
        {u"\U0001F600\U0001F601", "&#x1F600;&#x1F601;"},
        // Invisible characters are kept too: a zero-width space and tag characters.
        {u"a\u200Bb", "a&#x200B;b"},
        {u"\U000E0001x\U000E007F", "&#xE0001;x&#xE007F;"},
        // GB18030-2005 characters that Windows code page 936 does not have.
        {u"\uFE10\u2E81\u1E3F", "&#xFE10;&#x2E81;&#x1E3F;"},
        {std::u16string{u'a', char16_t(0xD83D), u'b'}, "a&#xFFFD;b"},
        {std::u16string{char16_t(0xDE00), u'中'}, "&#xFFFD;\xD6\xD0"},
        {std::u16string{u'z', char16_t(0xD83D)}, "z&#xFFFD;"},
    };
    for (const auto& [text, bytes] : cases) {
        EXPECT_EQ(encode_gbk(text), bytes);
    }
}

TEST(Gbk, LargeTextsWithManyErrorsConvertWhole) {
    constexpr int times = 50000;
    EXPECT_TRUE(decode_gbk(repeated<std::string>("\xD6\xD0x\x81!", times)) ==
                repeated<std::u16string>(u"中x\uFFFD!", times));
    // References are longer than the two bytes a unit the output starts with.
    EXPECT_TRUE(encode_gbk(repeated<std::u16string>(u"\U0001F600", times)) ==
                repeated<std::string>("&#x1F600;", times));
    EXPECT_TRUE(encode_gbk(repeated<std::u16string>(u"\u0E01中", times)) ==
                repeated<std::string>("&#xE01;\xD6\xD0", times));
}
