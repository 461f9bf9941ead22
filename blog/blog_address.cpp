#include "blog/blog_address.h"

#include "platform/text.h"

namespace blog {

bool HasUserNamePart(std::u16string_view address) {
    return address.size() >= ServiceBase.size();
}

std::u16string UserName(std::u16string_view address) {
    if (!HasUserNamePart(address)) {
        return {};
    }
    return std::u16string(address.substr(ServiceBase.size()));
}

bool NamesNoBlog(std::u16string_view userName) {
    return userName.find_first_not_of(u"/\\") == std::u16string_view::npos;
}

std::u16string FirstListPageAddress(std::u16string_view userName) {
    std::u16string address(ServiceBase);
    address += userName;
    address += u"/blog";
    return address;
}

std::u16string ListPageAddress(std::u16string_view userName, long long k) {
    return FirstListPageAddress(userName) + u"/index/" + platform::decimal(k);
}

} // namespace blog
