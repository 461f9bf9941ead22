#pragma once
// The blanks the blog's pages put between words and around facts, ideographic space included.

namespace offline {

constexpr bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\f' || c == u'\u00A0' ||
           c == u'\u3000';
}

} // namespace offline
