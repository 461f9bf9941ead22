#pragma once
// Text crosses into and out of the program here: UTF-16 inside, UTF-8 at the GTK and file-name
// edges. Malformed input never throws; it becomes U+FFFD.

#include <string>
#include <string_view>

namespace platform {

std::u16string utf8_to_utf16(std::string_view utf8);
std::string utf16_to_utf8(std::u16string_view utf16);

constexpr bool is_high_surrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
constexpr bool is_low_surrogate(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}
// The character that a high and a low surrogate stand for together.
constexpr char32_t code_point_of(char16_t high, char16_t low) {
    return 0x10000 + ((char32_t(high) - 0xD800) << 10) + (char32_t(low) - 0xDC00);
}

// Decimal digits of a number, as the captions and file names show it.
std::u16string decimal(long long number);

} // namespace platform
