#pragma once
// The blog's pages are GBK (code page 936), and so are the saved posts.

#include <string>
#include <string_view>

namespace platform {

// Bytes that GBK does not define become U+FFFD; decoding goes on after them.
std::u16string decode_gbk(std::string_view bytes);

// Characters that GBK cannot hold are written as HTML numeric character references
// ("&#x1F600;"), since the saved posts are HTML: nothing is dropped.
std::string encode_gbk(std::u16string_view text);

} // namespace platform
