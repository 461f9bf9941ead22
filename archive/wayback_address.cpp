#include "archive/wayback_address.h"

#include "archive/ascii_text.h"

#include "blog/blog_address.h"
#include "blog/new_layout.h"

#include <algorithm>

namespace archive {
namespace {

constexpr std::u16string_view ArchiveHost = u"web.archive.org";
constexpr std::size_t MaxTimestampDigits = 14;

// Removes `prefix` from the front of `text` when it is there, in any case.
bool take_prefix(std::u16string_view& text, std::u16string_view prefix) {
    if (!starts_with_ignoring_case(text, prefix)) {
        return false;
    }
    text.remove_prefix(prefix.size());
    return true;
}

bool is_digit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

bool is_blank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

std::u16string_view trimmed(std::u16string_view text) {
    while (!text.empty() && is_blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && is_blank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// The blog service's host name: ServiceBase without "http://" and its closing "/".
std::u16string_view service_host() {
    std::u16string_view host = blog::ServiceBase;
    take_prefix(host, u"http://");
    host.remove_suffix(1);
    return host;
}

// "http" or "https" and its "://", in any case; the scheme in lower case, or nothing.
std::optional<std::u16string> take_web_scheme(std::u16string_view& text) {
    if (take_prefix(text, u"http://")) {
        return u"http";
    }
    if (take_prefix(text, u"https://")) {
        return u"https";
    }
    return std::nullopt;
}

std::u16string_view default_port(std::u16string_view scheme) {
    return scheme == u"https" ? u"443" : u"80";
}

struct Authority {
    std::u16string host; // lower case
    std::u16string port; // digits, empty when absent or the scheme's default
};

// Host and port up to the first "/", "?" or "#"; nothing when the port is not a number that a
// port can be.
std::optional<Authority> take_authority(std::u16string_view& text, std::u16string_view scheme) {
    const std::size_t end = std::min(text.find_first_of(u"/?#"), text.size());
    std::u16string_view authority = text.substr(0, end);
    text.remove_prefix(end);
    Authority parts;
    const std::size_t colon = authority.rfind(u':');
    if (colon != std::u16string_view::npos) {
        std::u16string_view port = authority.substr(colon + 1);
        authority = authority.substr(0, colon);
        while (port.size() > 1 && port.front() == u'0') {
            port.remove_prefix(1);
        }
        if (port.size() > 5) {
            return std::nullopt;
        }
        long value = 0;
        for (char16_t c : port) {
            if (!is_digit(c)) {
                return std::nullopt;
            }
            value = value * 10 + (c - u'0');
        }
        if (value > 65535 || (!port.empty() && value == 0)) {
            return std::nullopt;
        }
        if (!port.empty() && port != default_port(scheme)) {
            parts.port = port;
        }
    }
    parts.host = ascii_lowered(authority);
    return parts;
}

std::u16string joined(const Authority& authority) {
    return authority.port.empty() ? authority.host : authority.host + u':' + authority.port;
}

// "<scheme>://web.archive.org[:port]/web/<timestamp>[<flag>]/" taken off the front of `text`.
struct CapturePrefix {
    std::u16string archive;
    std::u16string timestamp;
    std::u16string flag;
};
std::optional<CapturePrefix> take_capture_prefix(std::u16string_view& text) {
    const std::optional<std::u16string> scheme = take_web_scheme(text);
    if (!scheme) {
        return std::nullopt;
    }
    const std::optional<Authority> authority = take_authority(text, *scheme);
    if (!authority || authority->host != ArchiveHost || !take_prefix(text, u"/web/")) {
        return std::nullopt;
    }
    CapturePrefix prefix;
    // The archive moves every http request to https: asking https at once saves a governed
    // turn per request. A port given with http names a server that may speak only http.
    const bool secure_instead = *scheme == u"http" && authority->port.empty();
    prefix.archive = (secure_instead ? u"https" : *scheme) + u"://" + joined(*authority);
    std::size_t digits = 0;
    while (digits < text.size() && is_digit(text[digits])) {
        ++digits;
    }
    if (digits == 0 || digits > MaxTimestampDigits) {
        return std::nullopt;
    }
    prefix.timestamp = text.substr(0, digits);
    text.remove_prefix(digits);
    // A flag is two lower-case letters and "_": id_, im_, js_, cs_, if_, fw_, oe_ ...
    if (text.size() >= 3 && text[0] >= u'a' && text[0] <= u'z' && text[1] >= u'a' &&
        text[1] <= u'z' && text[2] == u'_') {
        prefix.flag = text.substr(0, 3);
        text.remove_prefix(3);
    }
    if (!take_prefix(text, u"/")) {
        return std::nullopt;
    }
    return prefix;
}

// The scheme of an inner address, which the archive may shorten to "http:/" or leave off.
std::u16string take_inner_scheme(std::u16string_view& text) {
    for (std::u16string_view scheme : {u"https", u"http"}) {
        std::u16string_view rest = text;
        if (take_prefix(rest, scheme) && take_prefix(rest, u":/")) {
            take_prefix(rest, u"/");
            text = rest;
            return std::u16string(scheme);
        }
    }
    return u"http";
}

} // namespace

std::optional<WaybackBlog> recognise_wayback_blog(std::u16string_view typed) {
    std::u16string_view text = trimmed(typed);
    std::optional<CapturePrefix> prefix = take_capture_prefix(text);
    if (!prefix) {
        return std::nullopt;
    }
    const std::u16string inner_scheme = take_inner_scheme(text);
    const std::optional<Authority> authority = take_authority(text, inner_scheme);
    if (!authority || authority->host != service_host() || !authority->port.empty() ||
        !take_prefix(text, u"/")) {
        return std::nullopt;
    }
    const std::u16string_view user = text.substr(0, text.find_first_of(u"/?#"));
    if (user.empty()) {
        return std::nullopt;
    }
    return WaybackBlog{std::move(prefix->archive), std::move(prefix->timestamp),
                       std::u16string(blog::ServiceBase) + std::u16string(user),
                       std::u16string(user)};
}

std::u16string capture_address(std::u16string_view archive, std::u16string_view timestamp,
                               std::u16string_view flag, std::u16string_view original) {
    std::u16string address(archive);
    address += u"/web/";
    address += timestamp;
    address += flag;
    address += u'/';
    address += original;
    return address;
}

std::u16string archived_first_list_page(const WaybackBlog& blog) {
    return capture_address(blog.archive, blog.timestamp, u"id_",
                           blog::FirstListPageAddress(blog.user));
}

std::u16string archived_list_page(const WaybackBlog& blog, long long k) {
    return capture_address(blog.archive, blog.timestamp, u"id_",
                           blog::ListPageAddress(blog.user, k));
}

std::optional<ArchivedAddress> parse_archived_address(std::u16string_view address) {
    std::optional<CapturePrefix> prefix = take_capture_prefix(address);
    if (!prefix) {
        return std::nullopt;
    }
    std::u16string_view rest = address;
    std::u16string original = take_inner_scheme(rest);
    original += u"://";
    original += rest;
    return ArchivedAddress{std::move(prefix->archive), std::move(prefix->timestamp),
                           std::move(prefix->flag), std::move(original)};
}

namespace {

// "someone" of "http://hi.baidu.com/someone/item/..." (any host): the first path segment.
std::u16string_view user_segment(std::u16string_view address) {
    const std::size_t host = address.find(u"://");
    const std::size_t path = address.find(u'/', host == std::u16string_view::npos ? 0 : host + 3);
    if (path == std::u16string_view::npos) {
        return {};
    }
    const std::u16string_view rest = address.substr(path + 1);
    return rest.substr(0, rest.find(u'/'));
}

} // namespace

std::optional<std::u16string> original_of(std::u16string_view archived_link) {
    std::optional<ArchivedAddress> parts = parse_archived_address(archived_link);
    if (!parts) {
        return std::nullopt;
    }
    return std::move(parts->original);
}

std::u16string canonical_original(std::u16string_view address) {
    std::u16string_view rest = address;
    std::u16string scheme = u"http";
    const std::size_t separator = rest.find(u"://");
    if (separator != std::u16string_view::npos &&
        rest.substr(0, separator).find_first_of(u"/?#") == std::u16string_view::npos) {
        scheme = ascii_lowered(rest.substr(0, separator));
        rest.remove_prefix(separator + 3);
    }
    std::u16string_view path = rest;
    if (const std::optional<Authority> authority = take_authority(path, scheme)) {
        return joined(*authority) + std::u16string(path);
    }
    // A port that is no port: only the host's case is made alike.
    return ascii_lowered(rest.substr(0, rest.size() - path.size())) + std::u16string(path);
}

std::optional<SavedCapture> saved_capture_of(std::u16string_view download_address) {
    const std::optional<ArchivedAddress> parts = parse_archived_address(download_address);
    if (!parts) {
        return std::nullopt;
    }
    return SavedCapture{u"http://" + canonical_original(parts->original),
                        capture_address(parts->archive, parts->timestamp, u"", parts->original)};
}

std::optional<std::u16string> picture_capture(std::u16string_view capture,
                                              std::u16string_view picture) {
    const std::optional<ArchivedAddress> parts = parse_archived_address(capture);
    if (!parts) {
        return std::nullopt;
    }
    return capture_address(parts->archive, parts->timestamp, u"im_", picture);
}

std::u16string post_identity(std::u16string_view link) {
    const std::optional<std::u16string> original = original_of(link);
    const std::u16string_view address = original ? std::u16string_view(*original) : link;
    // A post of the newer layout is one post whatever the case of its digits or its query.
    if (const std::optional<std::u16string> post =
            blog::NewLayoutPostAddress(address, user_segment(address))) {
        return canonical_original(*post);
    }
    return canonical_original(address);
}

std::optional<std::u16string> new_layout_post_link(std::u16string_view link,
                                                   std::u16string_view user) {
    const std::optional<ArchivedAddress> parts = parse_archived_address(link);
    if (!parts) {
        return std::nullopt;
    }
    const std::optional<std::u16string> post = blog::NewLayoutPostAddress(parts->original, user);
    if (!post) {
        return std::nullopt;
    }
    return capture_address(parts->archive, parts->timestamp, u"", *post);
}

} // namespace archive
