#pragma once
// Text crosses into and out of the program here: UTF-16 inside, UTF-8 at the GTK and file-name
// edges. Malformed input never throws; it becomes U+FFFD.

#include <string>
#include <string_view>

namespace platform {

std::u16string utf8_to_utf16(std::string_view utf8);
std::string utf16_to_utf8(std::u16string_view utf16);

// Decimal digits of a number, as the captions and file names show it.
std::u16string decimal(long long number);

} // namespace platform
