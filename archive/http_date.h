#pragma once
// An HTTP-date in any of its three forms ("Sun, 06 Nov 1994 08:49:37 GMT",
// "Sunday, 06-Nov-94 08:49:37 GMT", "Sun Nov  6 08:49:37 1994"), read without any arithmetic
// that a server's number could overflow.

#include <cstdint>
#include <optional>
#include <string_view>

namespace archive {

// Years past this are read as this one: far enough to outlast any run.
inline constexpr std::int64_t LatestHttpDateYear = 9999;

// Seconds since 1970 UTC; nothing when `text` is not an HTTP-date.
std::optional<std::int64_t> http_date_seconds(std::string_view text);

} // namespace archive
