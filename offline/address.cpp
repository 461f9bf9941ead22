#include "offline/address.h"

#include "offline/gumbo_document.h"

#include <glib.h>

#include <algorithm>
#include <array>
#include <memory>

namespace offline {
namespace {

bool is_blank_or_control(char c) {
    return static_cast<unsigned char>(c) <= 0x20 || c == 0x7F;
}

bool is_alpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// What a browser's address parser works on: no blanks or controls at either end, no tabs or
// line ends anywhere, and "\" read as "/".
std::string browser_form(std::string_view value) {
    std::size_t begin = 0;
    std::size_t end = value.size();
    while (begin < end && is_blank_or_control(value[begin])) {
        ++begin;
    }
    while (end > begin && is_blank_or_control(value[end - 1])) {
        --end;
    }
    std::string form;
    for (const char c : value.substr(begin, end - begin)) {
        if (c == '\t' || c == '\n' || c == '\r') {
            continue;
        }
        form += c == '\\' ? '/' : c;
    }
    return form;
}

// Characters a browser percent-encodes before it sends an address.
std::string escaped(std::string_view address) {
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : address) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7F || c == '"' || c == '<' || c == '>' || c == '`' ||
            c == '{' || c == '}') {
            out += '%';
            out += hex[byte >> 4];
            out += hex[byte & 0xF];
        } else {
            out += c;
        }
    }
    return out;
}

struct ErrorDeleter {
    void operator()(GError* error) const { g_error_free(error); }
};

} // namespace

std::string SchemeOf(std::string_view value) {
    std::string scheme;
    for (const char c : value) {
        if (c == ':') {
            return scheme;
        }
        if (is_blank_or_control(c)) {
            continue;
        }
        const bool fits = scheme.empty() ? is_alpha(c)
                                         : (is_alpha(c) || (c >= '0' && c <= '9') || c == '+' ||
                                            c == '-' || c == '.');
        if (!fits) {
            return {};
        }
        scheme += AsciiLower(c);
    }
    return {};
}

bool IsRunnableAddress(std::string_view value) {
    const std::string scheme = SchemeOf(value);
    if (scheme == "javascript" || scheme == "vbscript") {
        return true;
    }
    if (scheme != "data") {
        return false;
    }
    std::string type;
    for (const char c : value.substr(value.find(':') + 1)) {
        if (c == ',' || c == ';') {
            break;
        }
        if (!is_blank_or_control(c)) {
            type += AsciiLower(c);
        }
    }
    return type.rfind("image/", 0) != 0 || type.rfind("image/svg", 0) == 0;
}

std::optional<std::string> ResolveWebAddress(std::string_view base, std::string_view reference) {
    const std::string form = browser_form(reference);
    const std::string base_text(base);
    GError* raw_error = nullptr;
    const GlibText resolved(g_uri_resolve_relative(
        base_text.c_str(), form.c_str(),
        static_cast<GUriFlags>(G_URI_FLAGS_PARSE_RELAXED | G_URI_FLAGS_SCHEME_NORMALIZE),
        &raw_error));
    const std::unique_ptr<GError, ErrorDeleter> error(raw_error);
    if (!resolved) {
        return std::nullopt;
    }
    std::string address = escaped(resolved.get());
    const std::size_t authority = address.find("://");
    if (authority == std::string::npos) {
        return std::nullopt;
    }
    const std::string scheme = address.substr(0, authority);
    if (scheme != "http" && scheme != "https") {
        return std::nullopt;
    }
    // Host names are case-insensitive; the user part before an "@" is not.
    const std::size_t host = authority + 3;
    const std::size_t host_end = std::min(address.find_first_of("/?#", host), address.size());
    const std::size_t at = address.rfind('@', host_end);
    for (std::size_t i = (at == std::string::npos || at < host) ? host : at + 1; i < host_end;
         ++i) {
        address[i] = AsciiLower(address[i]);
    }
    if (host_end == host) {
        return std::nullopt;
    }
    return address;
}

std::string PostPageKey(std::string_view address) {
    const std::size_t authority = address.find("://");
    if (authority == std::string_view::npos) {
        return SplitFragment(address).first;
    }
    const std::size_t host = authority + 3;
    const std::size_t path = std::min(address.find_first_of("/?#", host), address.size());
    const std::size_t path_end = std::min(address.find_first_of("?#", path), address.size());
    const std::string_view path_text = address.substr(path, path_end - path);
    // "/<user>/blog/item/<id>.html": four segments, none empty.
    std::size_t segments = 0;
    std::size_t at = 0;
    std::array<std::string_view, 4> parts{};
    while (at < path_text.size() && path_text[at] == '/' && segments < parts.size()) {
        const std::size_t end = std::min(path_text.find('/', at + 1), path_text.size());
        parts[segments++] = path_text.substr(at + 1, end - at - 1);
        at = end;
    }
    const bool post = at == path_text.size() && segments == 4 && !parts[0].empty() &&
                      parts[1] == "blog" && parts[2] == "item" && parts[3].size() > 5 &&
                      parts[3].ends_with(".html");
    if (!post) {
        return SplitFragment(address).first;
    }
    return "http://" + std::string(address.substr(host, path - host)) + std::string(path_text);
}

std::pair<std::string, std::string> SplitFragment(std::string_view address) {
    const std::size_t hash = address.find('#');
    if (hash == std::string_view::npos) {
        return {std::string(address), {}};
    }
    return {std::string(address.substr(0, hash)), std::string(address.substr(hash))};
}

} // namespace offline
