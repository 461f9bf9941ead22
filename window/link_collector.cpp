#include "window/link_collector.h"

namespace window {

bool IsPostLink(std::u16string_view link) {
    constexpr auto npos = std::u16string_view::npos;
    return link.find(u"/blog/item/") != npos && link.find(u'#') == npos &&
           link.find(u"send") == npos;
}

std::vector<std::u16string> PostLinkList::add_page_links(const std::vector<std::u16string>& links) {
    std::vector<std::u16string> added;
    for (const std::u16string& link : links) {
        if (IsPostLink(link) && m_seen.insert(link).second) {
            m_items.push_back(link);
            added.push_back(link);
        }
    }
    return added;
}

void PostLinkList::clear() {
    m_items.clear();
    m_seen.clear();
}

} // namespace window
