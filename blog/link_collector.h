#pragma once
// Which of a page's links are post addresses, and the list they gather into: each address once,
// where it was first seen.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
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

    // The form in which a link is listed when it is a post of the newer layout (its canonical
    // address), nothing when it is not; by default no link is.
    using NewLayoutForm = std::function<std::optional<std::u16string>(std::u16string_view link)>;

    // Appends the post addresses among `links` that the list does not hold yet, in the order
    // given, and returns the ones it appended: the older layout's as they are, the newer
    // layout's in their canonical form.
    std::vector<std::u16string> add_page_links(const std::vector<std::u16string>& links);

    void clear();
    // Takes effect for the items held and those to come.
    void set_identity(Identity identity);
    void set_new_layout_form(NewLayoutForm form) { m_new_layout_form = std::move(form); }
    std::size_t size() const { return m_items.size(); }
    const std::u16string& at(std::size_t index) const { return m_items.at(index); }
    const std::vector<std::u16string>& items() const { return m_items; }

private:
    std::vector<std::u16string> m_items;
    std::unordered_set<std::u16string> m_seen;
    Identity m_identity = &same_link;
    NewLayoutForm m_new_layout_form;
};

} // namespace blog
