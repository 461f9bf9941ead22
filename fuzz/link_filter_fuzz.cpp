// The link list against the simplest list that could do its job: a vector searched from the
// start for every link, which holds each post address once by its making. The input is lines of
// UTF-16 text, one link per line; an empty line ends a page, and the pages reach the same list
// one after another.

#include "blog/link_collector.h"
#include "fuzz/fuzz_input.h"

#include <algorithm>
#include <string_view>
#include <vector>

namespace {

using Page = std::vector<std::u16string>;

std::vector<Page> pages_from(std::u16string_view text) {
    std::vector<Page> pages(1);
    for (std::size_t start = 0, end; start < text.size(); start = end + 1) {
        end = std::min(text.find(u'\n', start), text.size());
        if (end == start) {
            pages.emplace_back();
        } else {
            pages.back().emplace_back(text.substr(start, end - start));
        }
    }
    return pages;
}

// Adds a page to the plain list and returns what it added.
Page add_plainly(Page& list, const Page& page) {
    Page added;
    for (const std::u16string& link : page) {
        if (blog::IsPostLink(link) && std::find(list.begin(), list.end(), link) == list.end()) {
            list.push_back(link);
            added.push_back(link);
        }
    }
    return added;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<Page> pages = pages_from(fuzz::utf16_from(data, size));
    blog::PostLinkList list;
    Page plain;
    for (const Page& page : pages) {
        fuzz::require(list.add_page_links(page) == add_plainly(plain, page),
                      "a page adds its new post addresses in the order first seen");
        fuzz::require(list.items() == plain && list.size() == plain.size(),
                      "the list keeps every address once, where it was first seen");
    }
    list.clear();
    Page fresh;
    fuzz::require(list.add_page_links(pages.front()) == add_plainly(fresh, pages.front()) &&
                      list.items() == fresh,
                  "a cleared list forgets what it held");
    return 0;
}
