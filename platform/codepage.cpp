#include "platform/codepage.h"

#include "platform/text.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>
#include <unicode/ucnv.h>
#include <utility>

namespace platform {
namespace {

// ICU's name for the table Windows uses as code page 936, user-defined areas included.
constexpr const char* windows_936 = "windows-936-2000";

constexpr char16_t replacement = 0xFFFD;

struct ConverterCloser {
    void operator()(UConverter* converter) const { ucnv_close(converter); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

Converter open_windows_936() {
    UErrorCode status = U_ZERO_ERROR;
    Converter converter(ucnv_open(windows_936, &status));
    if (U_SUCCESS(status)) {
        // Undefined bytes must fail instead of turning into a substitute that looks defined.
        ucnv_setToUCallBack(converter.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr,
                            &status);
    }
    if (U_FAILURE(status)) {
        throw std::runtime_error(std::string("ICU converter ") + windows_936 + ": " +
                                 u_errorName(status));
    }
    return converter;
}

// The one character that `bytes` stand for, or 0 when they are not exactly one character.
char16_t decode_one(UConverter* converter, std::string_view bytes) {
    ucnv_reset(converter);
    UChar out[2];
    UErrorCode status = U_ZERO_ERROR;
    const std::int32_t length = ucnv_toUChars(converter, out, 2, bytes.data(),
                                              static_cast<std::int32_t>(bytes.size()), &status);
    return U_SUCCESS(status) && length == 1 ? out[0] : 0;
}

// A byte after a lead byte ends the pair only in 40-7E and 80-FE; otherwise it is read again.
bool can_end_pair(unsigned byte) {
    return byte >= 0x40 && byte != 0x7F && byte != 0xFF;
}

// ICU's converter itself is no faster than glibc's iconv was, so its mapping is read once into
// tables, which the conversions below walk at twice that speed; being read-only after that, they
// also serve every thread without a converter each.
struct Tables {
    // Bytes 80-FF on their own: the character, U+FFFD when undefined, 0 for a lead byte.
    std::array<char16_t, 0x80> single{};
    // Each lead byte << 8 | next byte: the character; U+FFFD for an undefined pair that still
    // counts as one character; 0 when the next byte is read again on its own.
    std::array<char16_t, 0x10000> pair{};
    // Each UTF-16 unit's bytes: 0 when code page 936 cannot hold it, below 0x100 one byte.
    std::array<std::uint16_t, 0x10000> encoded{};

    Tables() {
        const Converter converter = open_windows_936();
        for (unsigned code = 0; code < 0x80; ++code) {
            encoded[code] = static_cast<std::uint16_t>(code);
        }
        for (unsigned lead = 0x80; lead <= 0xFF; ++lead) {
            const char16_t alone = decode_one(converter.get(), std::string(1, char(lead)));
            if (alone != 0) {
                single[lead - 0x80] = alone;
                encoded[alone] = static_cast<std::uint16_t>(lead);
                continue;
            }
            bool is_lead = false;
            for (unsigned next = 0; next <= 0xFF; ++next) {
                const char16_t c = decode_one(converter.get(), std::string{char(lead), char(next)});
                const unsigned code = lead << 8 | next;
                if (c != 0 && c != replacement) {
                    pair[code] = c;
                    // The first of two sequences for one character is the one written.
                    if (encoded[c] == 0) {
                        encoded[c] = static_cast<std::uint16_t>(code);
                    }
                    is_lead = true;
                } else if (can_end_pair(next) && next >= 0x80) {
                    pair[code] = replacement;
                }
            }
            single[lead - 0x80] = is_lead ? 0 : replacement;
        }
    }
};

const Tables& tables() {
    static const auto instance = std::make_unique<const Tables>();
    return *instance;
}

// The code point that could not be encoded at the start of `rest` and its length in units;
// a lone surrogate stands for U+FFFD.
std::pair<char32_t, std::size_t> unencodable_at(std::u16string_view rest) {
    const char16_t c = rest[0];
    if (is_high_surrogate(c) && rest.size() >= 2 && is_low_surrogate(rest[1])) {
        return {code_point_of(c, rest[1]), 2};
    }
    if (is_high_surrogate(c) || is_low_surrogate(c)) {
        return {replacement, 1};
    }
    return {c, 1};
}

// "&#x10FFFF;" is the longest.
constexpr std::size_t longest_reference = 10;

char* write_reference(char* out, char32_t code_point) {
    static constexpr char digits[] = "0123456789ABCDEF";
    char hex[8];
    char* first = std::end(hex);
    do {
        *--first = digits[code_point & 0xF];
        code_point >>= 4;
    } while (code_point != 0);
    *out++ = '&';
    *out++ = '#';
    *out++ = 'x';
    out = std::copy(first, std::end(hex), out);
    *out++ = ';';
    return out;
}

// Gives `put` each character the bytes stand for, in order.
template <typename Put> void decode_each(std::string_view bytes, const Tables& table, Put put) {
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* const end = in + bytes.size();
    while (in != end) {
        const unsigned byte = *in++;
        if (byte < 0x80) {
            put(static_cast<char16_t>(byte));
            continue;
        }
        const char16_t alone = table.single[byte - 0x80];
        if (alone != 0) {
            put(alone);
            continue;
        }
        const char16_t pair = in != end ? table.pair[byte << 8 | *in] : 0;
        if (pair == 0) {
            put(replacement); // the next byte, if any, starts the next character
            continue;
        }
        put(pair);
        ++in;
    }
}

} // namespace

std::u16string decode_gbk(std::string_view bytes) {
    const Tables& table = tables();
    // Counted first, so that a long page holds no more room than its text needs.
    std::size_t length = 0;
    decode_each(bytes, table, [&length](char16_t) { ++length; });
    std::u16string text(length, u'\0');
    char16_t* out = text.data();
    decode_each(bytes, table, [&out](char16_t c) { *out++ = c; });
    return text;
}

std::string encode_gbk(std::u16string_view text) {
    const Tables& table = tables();
    // Room for two bytes a unit; references, which are longer, make more as they come.
    std::string bytes(text.size() * 2, '\0');
    char* out = bytes.data();
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        const std::uint16_t code = table.encoded[c];
        if (code > 0xFF) {
            *out++ = static_cast<char>(code >> 8);
            *out++ = static_cast<char>(code & 0xFF);
        } else if (code != 0 || c == 0) {
            *out++ = static_cast<char>(code);
        } else {
            const auto [code_point, length] = unencodable_at(text.substr(i));
            const std::size_t used = static_cast<std::size_t>(out - bytes.data());
            const std::size_t needed = used + longest_reference + 2 * (text.size() - i - length);
            if (needed > bytes.size()) {
                bytes.resize(std::max(needed, bytes.size() * 2));
                out = bytes.data() + used;
            }
            out = write_reference(out, code_point);
            i += length - 1;
        }
    }
    bytes.resize(static_cast<std::size_t>(out - bytes.data()));
    return bytes;
}

} // namespace platform
