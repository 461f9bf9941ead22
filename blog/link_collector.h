#pragma once
// Which of a page's links are post addresses, and the list they gather into: each address once,
// where it was first seen.

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace blog {

// A post address contains "/blog/item/" and neither "#" (a comment anchor) nor "send" (the
// service's share and send-to-friend links). Exact, case-sensitive substring tests.
bool IsPostLink(std::u16string_view link);

// An http or https address, the only kind the window shows when asked to.
bool IsWebAddress(std::u16string_view address);

class PostLinkList {
public:
    // What makes two links the same item. By default the link itself; a blog read through an
    // archive names one post by links of different timestamps.
    using Identity = std::u16string (*)(std::u16string_view link);
    static std::u16string same_link(std::u16string_view link) { return std::u16string(link); }

    // Appends the post addresses among `links` that the list does not hold yet, in the order
    // given, and returns the ones it appended.
    std::vector<std::u16string> add_page_links(const std::vector<std::u16string>& links);

    void clear();
    // Takes effect for the items held and those to come.
    void set_identity(Identity identity);
    std::size_t size() const { return m_items.size(); }
    const std::u16string& at(std::size_t index) const { return m_items.at(index); }
    const std::vector<std::u16string>& items() const { return m_items; }

private:
    std::vector<std::u16string> m_items;
    std::unordered_set<std::u16string> m_seen;
    Identity m_identity = &same_link;
};

} // namespace blog
