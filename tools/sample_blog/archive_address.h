#pragma once
// Addresses and timestamps as the Wayback Machine treats them, written apart from the program's
// own archive rules so that the stand-in cannot share their faults.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sample_blog {

// An address split up; the scheme, host and port are lower case and the port is explicit.
struct WebAddress {
    std::string scheme = "http";
    std::string host;
    int port = 80;
    bool port_written = false; // "http://host:80/" as opposed to "http://host/"
    std::string path = "/";    // as written, still percent-encoded
    std::string query;         // without the "?"
};

// "http://Host:80/p?q#f", "https://host/p" or "host/p" (taken as http); nothing for an address
// without a host or with another scheme. The fragment is dropped.
std::optional<WebAddress> parse_web_address(std::string_view text);

// scheme://host[:port]path[?query], the port kept as it was written.
std::string address_text(const WebAddress& address);

// The index's sort key (SURT form): "com,baidu,hi)/u/blog/item/1.html", lower case, without
// scheme, default port or a trailing slash on the path.
std::string url_key(const WebAddress& address);

// An href as a browser reads it on the page at `base`: absolute, scheme-relative, root-relative
// or relative. The fragment is kept.
std::string resolve_href(const WebAddress& base, std::string_view href);

std::string percent_decode(std::string_view text);

// ASCII letters in lower case, as schemes and hosts compare.
std::string ascii_lowered(std::string_view text);

// Seconds since 1970 UTC <-> the archive's 14-digit timestamps. A shorter timestamp names the
// first moment it covers ("2012" is 2012-01-01 00:00:00); out-of-range fields are clamped.
// Nothing for an empty text, more than 14 characters or anything but digits.
std::optional<std::int64_t> parse_timestamp(std::string_view digits);
std::string timestamp_text(std::int64_t seconds);
std::int64_t seconds_at(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

} // namespace sample_blog
