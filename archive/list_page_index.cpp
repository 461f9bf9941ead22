#include "archive/list_page_index.h"

#include "archive/ascii_text.h"

#include "blog/new_layout.h"
#include "platform/text.h"

#include <algorithm>
#include <optional>

namespace archive {
namespace {

// The page's sequence number: digits only, no leading zero, within reason.
std::optional<long long> page_number(std::u16string_view digits) {
    constexpr std::size_t most_digits = 9;
    if (digits.empty() || digits.size() > most_digits || digits.front() == u'0') {
        return std::nullopt;
    }
    long long value = 0;
    for (const char16_t c : digits) {
        if (c < u'0' || c > u'9') {
            return std::nullopt;
        }
        value = value * 10 + (c - u'0');
    }
    return value;
}

// "hi.baidu.com/<user>?page=", as the index compares originals.
std::u16string list_page_prefix(std::u16string_view user) {
    return canonical_original(blog::NewLayoutHomeAddress(user)) + u"?page=";
}

} // namespace

std::u16string list_pages_query(std::u16string_view archive, std::u16string_view user,
                                std::size_t most) {
    std::u16string query(archive);
    query += u"/cdx/search/cdx?url=";
    query += query_value(list_page_prefix(user), false);
    query += u"&matchType=prefix&output=json&fl=timestamp,original,statuscode,mimetype"
             u"&filter=statuscode:200&collapse=urlkey&limit=";
    query += platform::decimal(static_cast<long long>(most));
    return query;
}

std::vector<long long> captured_list_pages_after(std::u16string_view user, long long walked,
                                                 const std::vector<CaptureEntry>& index) {
    const std::u16string prefix = list_page_prefix(user);
    std::vector<long long> pages;
    for (const CaptureEntry& entry : index) {
        if (!entry.status.empty() && entry.status != u"200") {
            continue;
        }
        // The index matches without regard to case; so does this.
        const std::u16string original = canonical_original(entry.original);
        if (!starts_with_ignoring_case(original, prefix)) {
            continue;
        }
        const std::optional<long long> k =
            page_number(std::u16string_view(original).substr(prefix.size()));
        if (k && *k > walked) {
            pages.push_back(*k);
        }
    }
    std::sort(pages.begin(), pages.end());
    pages.erase(std::unique(pages.begin(), pages.end()), pages.end());
    return pages;
}

} // namespace archive
