#pragma once
// ASCII-only case rules for the parts of addresses that are case-insensitive (schemes, hosts).

#include <string>
#include <string_view>

namespace archive {

constexpr char16_t ascii_lower(char16_t c) {
    return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

inline std::u16string ascii_lowered(std::u16string_view text) {
    std::u16string lowered(text);
    for (char16_t& c : lowered) {
        c = ascii_lower(c);
    }
    return lowered;
}

constexpr bool starts_with_ignoring_case(std::u16string_view text, std::u16string_view prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (ascii_lower(text[i]) != ascii_lower(prefix[i])) {
            return false;
        }
    }
    return true;
}

} // namespace archive
