#pragma once
// Which page answers a request, decided from its target alone. Requests come through an HTTP
// proxy setting, so the target is usually a whole address ("http://hi.baidu.com/u/blog"); any
// host is accepted, and a plain path ("/u/blog") works as well.

#include "tools/sample_blog/service_options.h"

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace sample_blog {

struct Reply {
    enum class Kind {
        gbk,
        utf8,
        hang,
        long_post,    // long_post_bytes() of `length` bytes, or without end when `length` is 0
        trickle,      // a short long_post, one byte every k_trickle_interval
        requests,     // every request target received so far, as sent, one a line
        picture,      // `bytes` as `content_type`
        huge_picture, // a PNG of `length` bytes, made as it is sent
        text,         // `body` as it is, sent as `content_type`
        refuse,       // the connection is closed without an answer
    };
    Kind kind = Kind::gbk;
    int status = 200;
    std::u16string html{};
    std::chrono::milliseconds delay{0};
    std::size_t length = 0;
    bool chunked = false; // sent without Content-Length
    bool tagged = false;  // long_post: each sentence a paragraph of its own
    std::string_view bytes{};
    std::string body{};
    std::string content_type{};
    std::vector<std::pair<std::string, std::string>> headers{};
};

inline constexpr std::chrono::milliseconds k_trickle_interval{100};
inline constexpr std::size_t k_trickle_length = 300;

// The target as UTF-8, percent-decoded; a query string is ignored but for the newer layout's
// list pages (?page=N).
Reply answer(std::string_view target, const ServiceOptions& options);

} // namespace sample_blog
