// GBK both ways, against a table read from the program's own decoder one character at a time,
// and against ICU's windows-936-2000 converter reading the whole input.
//
// Windows code page 936 is one to one: every byte sequence that decodes without U+FFFD (the 128
// ASCII bytes, 0x80 and 0xFF on their own and 23,940 lead-trail pairs) encodes back to the same
// bytes, and no two of them decode to the same character. So decoding then encoding valid input
// gives the bytes back exactly. The table checks this again when it is built. The code page holds
// no character beyond U+FFFF.

#include "fuzz/fuzz_input.h"
#include "platform/codepage.h"
#include "platform/text.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string_view>
#include <unicode/ucnv.h>

namespace {

constexpr char16_t replacement = 0xFFFD;

bool is_lead(unsigned byte) {
    return byte >= 0x81 && byte <= 0xFE;
}

struct GbkTable {
    // Each single byte, and each lead byte << 8 | trail byte, as it decodes on its own.
    std::vector<char16_t> decoded = std::vector<char16_t>(0x10000, replacement);
    // Each character's bytes; empty when GBK cannot hold it.
    std::vector<std::string> encoded = std::vector<std::string>(0x10000);

    GbkTable() {
        for (unsigned code = 0; code < 0x10000; ++code) {
            // A lead byte alone is undefined; with any byte after it, it may be a pair.
            const bool single = code < 0x100;
            if (single ? is_lead(code) : !is_lead(code >> 8)) {
                continue;
            }
            const std::string bytes =
                single ? std::string(1, char(code)) : std::string{char(code >> 8), char(code)};
            const std::u16string text = platform::decode_gbk(bytes);
            if (text.size() == 1 && text[0] != replacement) {
                fuzz::require(encoded[text[0]].empty(), "no two sequences decode to one character");
                encoded[text[0]] = bytes;
                decoded[code] = text[0];
            }
        }
    }
};

const GbkTable& table() {
    static const GbkTable instance;
    return instance;
}

// An undefined pair is one U+FFFD, but a byte below 0x80 or 0xFF after a lead byte starts the
// next character; a lead byte at the end is one U+FFFD.
std::u16string expected_decode(std::string_view bytes) {
    std::u16string text;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        const auto trail = static_cast<unsigned char>(i + 1 < bytes.size() ? bytes[i + 1] : 0);
        const char16_t pair = table().decoded[byte << 8 | trail];
        if (is_lead(byte) && i + 1 < bytes.size() &&
            (pair != replacement || (trail >= 0x80 && trail != 0xFF))) {
            text += pair;
            ++i;
        } else {
            text += table().decoded[byte];
        }
    }
    return text;
}

struct ConverterCloser {
    void operator()(UConverter* converter) const { ucnv_close(converter); }
};

// What ICU's own converter makes of the bytes, with U+FFFD for each undefined sequence.
std::u16string icu_decode(std::string_view bytes) {
    static const std::unique_ptr<UConverter, ConverterCloser> converter = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<UConverter, ConverterCloser> opened(ucnv_open("windows-936-2000", &status));
        fuzz::require(U_SUCCESS(status), "ICU has windows-936-2000");
        return opened;
    }();
    ucnv_reset(converter.get());
    std::u16string text(bytes.size() + 1, u'\0');
    UErrorCode status = U_ZERO_ERROR;
    const std::int32_t length =
        ucnv_toUChars(converter.get(), reinterpret_cast<UChar*>(text.data()),
                      static_cast<std::int32_t>(text.size()), bytes.data(),
                      static_cast<std::int32_t>(bytes.size()), &status);
    fuzz::require(U_SUCCESS(status), "ICU decodes any bytes");
    text.resize(static_cast<std::size_t>(length));
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
            bytes += reference(platform::code_point_of(c, text[++i]));
        } else if (platform::is_high_surrogate(c) || platform::is_low_surrogate(c)) {
            bytes += reference(replacement);
        } else {
            bytes += table().encoded[c].empty() ? reference(c) : table().encoded[c];
        }
    }
    return bytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::u16string decoded = platform::decode_gbk(bytes);
    fuzz::require(decoded == expected_decode(bytes), "decoding reads character by character");
    fuzz::require(decoded == icu_decode(bytes), "decoding reads as ICU's converter does");
    fuzz::require(decoded.find(replacement) != std::u16string::npos ||
                      platform::encode_gbk(decoded) == bytes,
                  "valid GBK encodes back to its bytes");

    const std::u16string text = fuzz::utf16_from(data, size);
    const std::string encoded = platform::encode_gbk(text);
    fuzz::require(encoded == expected_encode(text), "encoding writes character by character");
    const std::u16string back = platform::decode_gbk(encoded);
    fuzz::require(back.find(replacement) == std::u16string::npos,
                  "encoded text always decodes cleanly");
    const bool within_gbk = std::all_of(text.begin(), text.end(),
                                        [](char16_t c) { return !table().encoded[c].empty(); });
    fuzz::require(!within_gbk || back == text, "text within GBK decodes back to itself");
    return 0;
}
