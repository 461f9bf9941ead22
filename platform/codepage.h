#pragma once
// The blog's pages are Windows code page 936 (GBK with Windows' user-defined areas and
// extensions), and so are the saved posts.

#include <string>
#include <string_view>

namespace platform {

// Bytes that code page 936 does not define become U+FFFD; decoding goes on after them. A lead
// byte before a byte that cannot end a pair is one U+FFFD, and that byte is read again.
std::u16string decode_gbk(std::string_view bytes);

// Characters that code page 936 cannot hold are written as HTML numeric character references
// ("&#x1F600;"), since the saved posts are HTML: nothing is dropped.
std::string encode_gbk(std::u16string_view text);

} // namespace platform
