#pragma once
// The service's own GBK encoder, kept apart from the program's so that a fault in one is not
// mirrored by the other in the tests.

#include <string>
#include <string_view>

namespace sample_blog {

// Text in code page 936; a character that GBK lacks becomes a numeric character reference
// ("&#128512;"), which a browser turns back into the character.
std::string encode_gbk(std::u16string_view text);

} // namespace sample_blog
