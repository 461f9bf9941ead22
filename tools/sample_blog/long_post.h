#pragma once
// A post page of any length, or without end, in GBK: the head up to "查看文章", one sentence
// repeated as the body, and the tail from "类别" (left off a page without end). It is made a
// slice at a time, so the service can stream pages far larger than it would hold.

#include <cstddef>
#include <optional>
#include <string>

namespace sample_blog {

// In GBK, so that the service never holds it as UTF-16.
inline constexpr std::string_view k_long_post_sentence =
    "\xBA\xDC\xB3\xA4\xB5\xC4\xCE\xC4\xD5\xC2\xA1\xA3"; // 很长的文章。

// The same sentence as a paragraph of its own: a body as dense in elements as in text.
inline constexpr std::string_view k_tagged_post_sentence =
    "<p>\xBA\xDC\xB3\xA4\xB5\xC4\xCE\xC4\xD5\xC2\xA1\xA3</p>";

// Bytes [offset, offset + count) of the page, clipped to its end. `length` is the page's length
// in bytes (at least the head and tail together, or it is raised to that); nullopt: no end.
// The body is whole sentences (`sentence`) padded with blanks to the length.
std::string long_post_bytes(std::size_t offset, std::size_t count,
                            std::optional<std::size_t> length,
                            std::string_view sentence = k_long_post_sentence);

} // namespace sample_blog
