// GBK both ways, against a table read from glibc's CP936 one character at a time.
//
// On Debian 12's glibc the mapping is one to one: every byte sequence that decodes without
// U+FFFD (the 128 ASCII bytes, 0x80 as the euro sign and 21,791 lead-trail pairs) encodes back to
// the same bytes, and no two of them decode to the same character. So decoding then encoding
// valid GBK gives the bytes back exactly. The table checks this again when it is built. GBK holds
// no character beyond U+FFFF.

#include "fuzz/fuzz_input.h"
#include "platform/codepage.h"
#include "platform/text.h"

#include <array>
#include <cstdio>
#include <string_view>

namespace {

constexpr char16_t replacement = 0xFFFD;

bool is_lead(unsigned char byte) {
    return byte >= 0x81 && byte <= 0xFE;
}

class GbkTable {
public:
    GbkTable() : m_pairs(0x100 * 0x100, replacement), m_bytes(0x10000) {
        for (unsigned byte = 0; byte < 0x100; ++byte) {
            if (!is_lead(byte)) {
                m_single[byte] = learn(std::string(1, char(byte)));
                continue;
            }
            // A lead byte alone is undefined; with any byte after it, it may be a pair.
            m_single[byte] = replacement;
            for (unsigned trail = 0; trail < 0x100; ++trail) {
                m_pairs[byte << 8 | trail] = learn(std::string{char(byte), char(trail)});
            }
        }
    }

    char16_t single(unsigned char byte) const { return m_single[byte]; }
    char16_t pair(unsigned char lead, unsigned char trail) const {
        return m_pairs[unsigned(lead) << 8 | trail];
    }
    // Empty when GBK cannot hold the character.
    const std::string& bytes_of(char16_t c) const { return m_bytes[c]; }

private:
    char16_t learn(const std::string& bytes) {
        const std::u16string text = platform::decode_gbk(bytes);
        if (text.size() != 1 || text[0] == replacement) {
            return replacement;
        }
        fuzz::require(m_bytes[text[0]].empty(), "no two byte sequences decode to one character");
        m_bytes[text[0]] = bytes;
        return text[0];
    }

    std::array<char16_t, 0x100> m_single{};
    std::vector<char16_t> m_pairs;
    std::vector<std::string> m_bytes;
};

const GbkTable& table() {
    static const GbkTable instance;
    return instance;
}

// An undefined pair is one U+FFFD, but an ASCII byte after a lead byte starts the next character;
// a lead byte at the end is one U+FFFD.
std::u16string expected_decode(std::string_view bytes) {
    std::u16string text;
    for (std::size_t i = 0; i < bytes.size();) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (is_lead(byte) && i + 1 < bytes.size()) {
            const auto trail = static_cast<unsigned char>(bytes[i + 1]);
            const char16_t c = table().pair(byte, trail);
            if (c != replacement || trail >= 0x80) {
                text += c;
                i += 2;
                continue;
            }
        }
        text += table().single(byte);
        ++i;
    }
    return text;
}

std::string reference(char32_t code_point) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "&#x%X;", static_cast<unsigned>(code_point));
    return buffer;
}

// Characters outside GBK become references; a lone surrogate stands for U+FFFD.
std::string expected_encode(std::u16string_view text) {
    std::string bytes;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (platform::is_high_surrogate(c) && i + 1 < text.size() &&
            platform::is_low_surrogate(text[i + 1])) {
            bytes += reference(platform::code_point_of(c, text[i + 1]));
            ++i;
        } else if (platform::is_high_surrogate(c) || platform::is_low_surrogate(c)) {
            bytes += reference(replacement);
        } else if (const std::string& gbk = table().bytes_of(c); !gbk.empty()) {
            bytes += gbk;
        } else {
            bytes += reference(c);
        }
    }
    return bytes;
}

bool all_in_gbk(std::u16string_view text) {
    for (const char16_t c : text) {
        if (table().bytes_of(c).empty()) {
            return false;
        }
    }
    return true;
}

void check_decode(std::string_view bytes) {
    const std::u16string text = platform::decode_gbk(bytes);
    fuzz::require(text == expected_decode(bytes), "decoding reads character by character");
    if (text.find(replacement) == std::u16string::npos) {
        fuzz::require(platform::encode_gbk(text) == bytes, "valid GBK encodes back to its bytes");
    }
}

void check_encode(std::u16string_view text) {
    const std::string bytes = platform::encode_gbk(text);
    fuzz::require(bytes == expected_encode(text), "encoding writes character by character");
    const std::u16string back = platform::decode_gbk(bytes);
    fuzz::require(back.find(replacement) == std::u16string::npos,
                  "encoded text always decodes cleanly");
    if (all_in_gbk(text)) {
        fuzz::require(back == text, "text within GBK decodes back to itself");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    check_decode(std::string_view(reinterpret_cast<const char*>(data), size));
    check_encode(fuzz::utf16_from(data, size));
    return 0;
}
