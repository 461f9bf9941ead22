#pragma once

#include <string>
#include <string_view>

namespace mdgetdata {

// Downloads the page at the address and decodes its body from GBK. The status code and the
// declared character set are not looked at. Throws platform::HttpError when the fetch fails or
// breaks a limit of platform::HttpLimits (a page of 32 MiB, two minutes).
std::u16string FetchPageText(std::u16string_view address);

} // namespace mdgetdata
