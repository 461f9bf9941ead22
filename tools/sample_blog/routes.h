#pragma once
// Which page answers a request, decided from its target alone. Requests come through an HTTP
// proxy setting, so the target is usually a whole address ("http://hi.baidu.com/u/blog"); any
// host is accepted, and a plain path ("/u/blog") works as well.

#include "tools/sample_blog/service_options.h"

#include <chrono>
#include <string>
#include <string_view>

namespace sample_blog {

struct Reply {
    enum class Kind { gbk, utf8, hang };
    Kind kind = Kind::gbk;
    int status = 200;
    std::u16string html;
    std::chrono::milliseconds delay{0};
};

// The target as UTF-8, percent-decoded; a query string is ignored.
Reply answer(std::string_view target, const ServiceOptions& options);

} // namespace sample_blog
