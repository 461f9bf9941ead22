#pragma once
// The addresses the program knows, and the rule that takes the user name out of a typed address.

#include <string>
#include <string_view>

namespace blog {

inline constexpr std::u16string_view ServiceBase = u"http://hi.baidu.com/";
inline constexpr std::u16string_view HomeAddress = u"http://hi.baidu.com/pellumo";
inline constexpr std::u16string_view DownloadSiteName = u"华军软件园";
inline constexpr std::u16string_view DownloadPageAddress = u"http://www.onlinedown.net/";

// The box for an address that names no blog, and its title.
inline constexpr std::u16string_view BadAddressText =
    u"请填写正确的百度空间地址或者检查网络是否连接！";
inline constexpr std::u16string_view BadAddressTitle = u"错误提示";

// The address without its first ServiceBase-length characters, whatever they are; empty when
// the address is shorter. The address is never compared with ServiceBase.
std::u16string UserName(std::u16string_view address);

// True when the address is long enough to carry a user name (which may still be empty).
bool HasUserNamePart(std::u16string_view address);

// True when the user name names no blog: empty, or nothing but "/" and "\" (which a save would
// otherwise take for the folder beside the program).
bool NamesNoBlog(std::u16string_view userName);

// ServiceBase + user + "/blog": the blog's first list page.
std::u16string FirstListPageAddress(std::u16string_view userName);

// ServiceBase + user + "/blog/index/" + k.
std::u16string ListPageAddress(std::u16string_view userName, long long k);

} // namespace blog
