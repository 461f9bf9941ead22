#include "tools/sample_blog/archive_address.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>

namespace sample_blog {
namespace {

char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool starts_with_lower(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && ascii_lowered(text.substr(0, prefix.size())) == prefix;
}

int hex_value(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    c = lower(c);
    return (c >= 'a' && c <= 'f') ? c - 'a' + 10 : -1;
}

// Days since 1970-01-01 of a proleptic Gregorian date (Howard Hinnant's algorithm).
std::int64_t days_from_civil(int year, int month, int day) {
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const std::int64_t yoe = year - era * 400;
    const std::int64_t doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

int days_in_month(int year, int month) {
    static constexpr std::array<int, 12> days = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[static_cast<std::size_t>(month - 1)];
}

} // namespace

std::optional<WebAddress> parse_web_address(std::string_view text) {
    WebAddress address;
    if (starts_with_lower(text, "http://")) {
        text.remove_prefix(7);
    } else if (starts_with_lower(text, "https://")) {
        text.remove_prefix(8);
        address.scheme = "https";
        address.port = 443;
    } else if (text.find("://") != std::string_view::npos && text.find("://") < text.find('/')) {
        return std::nullopt;
    }
    text = text.substr(0, text.find('#'));
    const auto authority_end = text.find_first_of("/?");
    std::string_view authority = text.substr(0, authority_end);
    text =
        authority_end == std::string_view::npos ? std::string_view() : text.substr(authority_end);
    if (const auto colon = authority.find(':'); colon != std::string_view::npos) {
        const std::string_view digits = authority.substr(colon + 1);
        int port = 0;
        const auto [end, error] =
            std::from_chars(digits.data(), digits.data() + digits.size(), port);
        if (error != std::errc() || end != digits.data() + digits.size() || port <= 0) {
            return std::nullopt;
        }
        address.port = port;
        address.port_written = true;
        authority = authority.substr(0, colon);
    }
    if (authority.empty()) {
        return std::nullopt;
    }
    address.host = ascii_lowered(authority);
    const auto question = text.find('?');
    address.path = std::string(text.substr(0, question));
    if (address.path.empty()) {
        address.path = "/";
    }
    if (question != std::string_view::npos) {
        address.query = std::string(text.substr(question + 1));
    }
    return address;
}

std::string address_text(const WebAddress& address) {
    std::string text = address.scheme + "://" + address.host;
    if (address.port_written) {
        text += ":" + std::to_string(address.port);
    }
    text += address.path;
    if (!address.query.empty()) {
        text += "?" + address.query;
    }
    return text;
}

std::string url_key(const WebAddress& address) {
    std::string host = address.host;
    if (host.starts_with("www.")) {
        host.erase(0, 4);
    }
    // Host labels in reverse order, comma-separated.
    std::string key;
    std::string_view rest = host;
    while (!rest.empty()) {
        const auto dot = rest.rfind('.');
        key += rest.substr(dot == std::string_view::npos ? 0 : dot + 1);
        rest = dot == std::string_view::npos ? std::string_view() : rest.substr(0, dot);
        if (!rest.empty()) {
            key += ',';
        }
    }
    const int default_port = address.scheme == "https" ? 443 : 80;
    if (address.port != default_port) {
        key += ":" + std::to_string(address.port);
    }
    std::string path = address.path;
    if (path.size() > 1 && path.ends_with('/')) {
        path.pop_back();
    }
    key += ")" + ascii_lowered(path);
    if (!address.query.empty()) {
        key += "?" + ascii_lowered(address.query);
    }
    return key;
}

std::string resolve_href(const WebAddress& base, std::string_view href) {
    if (starts_with_lower(href, "http://") || starts_with_lower(href, "https://")) {
        return std::string(href);
    }
    if (href.starts_with("//")) {
        return base.scheme + ":" + std::string(href);
    }
    WebAddress root = base;
    root.query.clear();
    if (href.starts_with('/')) {
        root.path.clear();
        return address_text(root) + std::string(href);
    }
    if (href.starts_with('?')) {
        return address_text(root) + std::string(href);
    }
    root.path = root.path.substr(0, root.path.rfind('/') + 1);
    return address_text(root) + std::string(href);
}

std::string percent_decode(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hex_value(text[i + 1]) >= 0 &&
            hex_value(text[i + 2]) >= 0) {
            out += static_cast<char>(hex_value(text[i + 1]) * 16 + hex_value(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string ascii_lowered(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), lower);
    return out;
}

std::optional<std::int64_t> parse_timestamp(std::string_view digits) {
    if (digits.empty() || digits.size() > 14 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    std::string full(digits);
    full += std::string_view("00000101000000").substr(digits.size());
    const auto field = [&full](std::size_t at, std::size_t length) {
        int value = 0;
        std::from_chars(full.data() + at, full.data() + at + length, value);
        return value;
    };
    const int year = field(0, 4);
    const int month = std::clamp(field(4, 2), 1, 12);
    const int day = std::clamp(field(6, 2), 1, days_in_month(year, month));
    return seconds_at(year, month, day, std::min(field(8, 2), 23), std::min(field(10, 2), 59),
                      std::min(field(12, 2), 59));
}

std::string timestamp_text(std::int64_t seconds) {
    std::int64_t days = seconds / 86400;
    std::int64_t rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    // The inverse of days_from_civil.
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t doe = days - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const std::int64_t day = doy - (153 * mp + 2) / 5 + 1;
    const std::int64_t month = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
    std::array<char, 128> text{};
    std::snprintf(text.data(), text.size(), "%04lld%02lld%02lld%02lld%02lld%02lld",
                  static_cast<long long>(year), static_cast<long long>(month),
                  static_cast<long long>(day), static_cast<long long>(rest / 3600),
                  static_cast<long long>(rest / 60 % 60), static_cast<long long>(rest % 60));
    return text.data();
}

std::int64_t seconds_at(int year, int month, int day, int hour, int minute, int second) {
    return days_from_civil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
}

} // namespace sample_blog
