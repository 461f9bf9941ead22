#include "blog/page_count.h"

#include <cstddef>

namespace blog {
namespace {

constexpr std::u16string_view next_marker = u"[下一页]";
constexpr std::u16string_view last_marker = u"[尾页]";
constexpr std::u16string_view index_marker = u"index";
constexpr int largest_index = 32767;

// Decimal digits with blanks around them allowed; anything else is not a page number.
std::optional<int> parse_page_number(std::u16string_view text) {
    const auto first = text.find_first_not_of(u" \t");
    if (first == std::u16string_view::npos) {
        return std::nullopt;
    }
    text = text.substr(first, text.find_last_not_of(u" \t") - first + 1);
    int value = 0;
    for (const char16_t c : text) {
        if (c < u'0' || c > u'9') {
            return std::nullopt;
        }
        value = value * 10 + (c - u'0');
        if (value > largest_index) {
            return std::nullopt;
        }
    }
    return value;
}

} // namespace

std::optional<int> LastPageIndexFrom(std::u16string_view firstPage) {
    const std::size_t next = firstPage.find(next_marker);
    const std::size_t last = firstPage.find(last_marker);
    // Two characters before "[尾页]" are left out: the quote and ">" that close the link.
    if (next == std::u16string_view::npos || last == std::u16string_view::npos || last < next + 2) {
        return std::nullopt;
    }
    const std::u16string_view segment = firstPage.substr(next, last - next - 2);
    // Without "index" the rule reads everything after the segment's fifth character, which is
    // never a number; the parse below rejects it the same way.
    const std::size_t index = segment.find(index_marker);
    const std::size_t number_start =
        index == std::u16string_view::npos ? index_marker.size() : index + index_marker.size() + 1;
    if (number_start > segment.size()) {
        return std::nullopt;
    }
    return parse_page_number(segment.substr(number_start));
}

bool IsOldLayoutListPage(std::u16string_view firstPage) {
    return LastPageIndexFrom(firstPage) ||
           firstPage.find(u"/blog/item/") != std::u16string_view::npos;
}

} // namespace blog
