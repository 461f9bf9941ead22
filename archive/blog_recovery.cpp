#include "archive/blog_recovery.h"

#include "archive/ascii_text.h"

#include "blog/new_layout.h"

#include <algorithm>

namespace archive {
namespace {

constexpr std::u16string_view ServiceHost = u"hi.baidu.com";

std::u16string_view trimmed(std::u16string_view text) {
    constexpr std::u16string_view blanks = u" \t\r\n";
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::u16string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// The form two addresses of one page share in the index: canonical, without a trailing slash,
// in one case (the index compares paths without regard to case).
std::u16string index_form(std::u16string_view address) {
    std::u16string form = ascii_lowered(canonical_original(address));
    while (form.ends_with(u'/')) {
        form.pop_back();
    }
    return form;
}

// Timestamps compare as numbers: a shorter one is an earlier moment's prefix.
bool earlier(std::u16string_view a, std::u16string_view b) {
    const std::u16string padded_a =
        std::u16string(a) + std::u16string(14 - std::min<std::size_t>(a.size(), 14), u'0');
    const std::u16string padded_b =
        std::u16string(b) + std::u16string(14 - std::min<std::size_t>(b.size(), 14), u'0');
    return padded_a < padded_b;
}

} // namespace

std::optional<std::u16string> live_blog_user(std::u16string_view typed) {
    std::u16string_view rest = trimmed(typed);
    for (const std::u16string_view scheme : {u"http://", u"https://"}) {
        if (starts_with_ignoring_case(rest, scheme)) {
            rest.remove_prefix(scheme.size());
            break;
        }
    }
    const std::size_t slash = rest.find(u'/');
    if (slash == std::u16string_view::npos) {
        return std::nullopt;
    }
    std::u16string host = ascii_lowered(rest.substr(0, slash));
    if (host.ends_with(u":80")) {
        host.resize(host.size() - 3);
    }
    if (host != ServiceHost) {
        return std::nullopt;
    }
    rest.remove_prefix(slash + 1);
    // The newer layout's changeover address http://hi.baidu.com/new/<user> names <user>.
    const std::u16string user = blog::NewLayoutUser(rest);
    if (user.empty()) {
        return std::nullopt;
    }
    return user;
}

std::vector<std::u16string> recovery_candidates(std::u16string_view user) {
    const std::u16string blog =
        u"http://" + std::u16string(ServiceHost) + u"/" + std::u16string(user);
    return {blog + u"/blog", blog};
}

std::optional<std::u16string> recovery_timestamp(std::u16string_view user,
                                                 const std::vector<CaptureEntry>& rows) {
    for (const std::u16string& candidate : recovery_candidates(user)) {
        const std::u16string wanted = index_form(candidate);
        const CaptureEntry* newest = nullptr;
        for (const CaptureEntry& row : rows) {
            if (row.status == u"200" && !row.timestamp.empty() &&
                index_form(row.original) == wanted &&
                (newest == nullptr || earlier(newest->timestamp, row.timestamp))) {
                newest = &row;
            }
        }
        if (newest != nullptr) {
            return newest->timestamp;
        }
    }
    return std::nullopt;
}

std::u16string recovery_address(std::u16string_view archive, std::u16string_view timestamp,
                                std::u16string_view user) {
    return capture_address(archive, timestamp, u"", recovery_candidates(user).back());
}

} // namespace archive
