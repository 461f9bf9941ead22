#include "tools/sample_blog/long_post.h"

#include <algorithm>

namespace sample_blog {
namespace {

// <html><head><title>很长的文章_百度空间</title></head><body><div>查看文章</div>
constexpr std::string_view head =
    "<html><head><title>\xBA\xDC\xB3\xA4\xB5\xC4\xCE\xC4\xD5\xC2_\xB0\xD9\xB6\xC8\xBF\xD5\xBC\xE4"
    "</title></head><body><div>\xB2\xE9\xBF\xB4\xCE\xC4\xD5\xC2</div>";
// <div>类别：默认分类</div></body></html>
constexpr std::string_view tail = "<div>\xC0\xE0\xB1\xF0\xA3\xBA\xC4\xAC\xC8\xCF\xB7\xD6\xC0\xE0"
                                  "</div></body></html>";

} // namespace

std::string long_post_bytes(std::size_t offset, std::size_t count,
                            std::optional<std::size_t> length, std::string_view sentence) {
    if (length) {
        *length = std::max(*length, head.size() + tail.size());
        count = offset < *length ? std::min(count, *length - offset) : 0;
    }
    // Whole sentences from the head on; the rest of the body before the tail is blanks.
    const std::size_t body_end = length ? *length - tail.size() : SIZE_MAX;
    const std::size_t sentence_end =
        length ? head.size() + (body_end - head.size()) / sentence.size() * sentence.size()
               : SIZE_MAX;
    std::string bytes;
    bytes.reserve(count);
    for (std::size_t at = offset; at < offset + count; ++at) {
        if (at < head.size()) {
            bytes += head[at];
        } else if (at < sentence_end) {
            bytes += sentence[(at - head.size()) % sentence.size()];
        } else if (at < body_end) {
            bytes += ' ';
        } else {
            bytes += tail[at - body_end];
        }
    }
    return bytes;
}

} // namespace sample_blog
