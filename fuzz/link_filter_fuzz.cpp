// The link list against the simplest list that could do its job: a vector searched from the
// start for every link. The input is lines of UTF-16 text, one link per line; an empty line ends
// a page, and the pages reach the same list one after another.

#include "fuzz/fuzz_input.h"
#include "window/link_collector.h"

#include <algorithm>
#include <string_view>
#include <vector>

namespace {

using Page = std::vector<std::u16string>;

std::vector<Page> pages_from(std::u16string_view text) {
    std::vector<Page> pages(1);
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find(u'\n', start), text.size());
        const std::u16string_view line = text.substr(start, end - start);
        if (line.empty()) {
            pages.emplace_back();
        } else {
            pages.back().emplace_back(line);
        }
        start = end + 1;
    }
    return pages;
}

bool has_duplicates(std::vector<std::u16string> items) {
    std::sort(items.begin(), items.end());
    return std::adjacent_find(items.begin(), items.end()) != items.end();
}

// Adds a page to the plain list and returns what it added.
Page add_plainly(Page& list, const Page& page) {
    Page added;
    for (const std::u16string& link : page) {
        if (window::IsPostLink(link) && std::find(list.begin(), list.end(), link) == list.end()) {
            list.push_back(link);
            added.push_back(link);
        }
    }
    return added;
}

void check_list(const window::PostLinkList& list) {
    fuzz::require(!has_duplicates(list.items()), "each address is listed once");
    fuzz::require(std::all_of(list.items().begin(), list.items().end(),
                              [](const std::u16string& link) { return window::IsPostLink(link); }),
                  "only post addresses are listed");
    fuzz::require(list.size() == list.items().size(), "the size counts the items");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<Page> pages = pages_from(fuzz::utf16_from(data, size));
    window::PostLinkList list;
    Page plain;
    for (const Page& page : pages) {
        const Page added = list.add_page_links(page);
        fuzz::require(added == add_plainly(plain, page),
                      "a page adds its new post addresses in the order first seen");
        fuzz::require(list.items() == plain,
                      "the list keeps every address where it was first seen");
        check_list(list);
    }
    list.clear();
    fuzz::require(list.size() == 0, "a cleared list is empty");
    Page fresh;
    fuzz::require(list.add_page_links(pages.front()) == add_plainly(fresh, pages.front()),
                  "a cleared list forgets what it held");
    return 0;
}
