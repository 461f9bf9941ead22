#include "blog/link_collector.h"

namespace blog {

bool IsPostLink(std::u16string_view link) {
    constexpr auto npos = std::u16string_view::npos;
    return link.find(u"/blog/item/") != npos && link.find(u'#') == npos &&
           link.find(u"send") == npos;
}

bool IsWebAddress(std::u16string_view address) {
    // Schemes are case-insensitive.
    const auto has_scheme = [address](std::u16string_view scheme) {
        if (address.size() < scheme.size()) {
            return false;
        }
        for (std::size_t i = 0; i < scheme.size(); ++i) {
            char16_t c = address[i];
            if (c >= u'A' && c <= u'Z') {
                c = static_cast<char16_t>(c - u'A' + u'a');
            }
            if (c != scheme[i]) {
                return false;
            }
        }
        return true;
    };
    return has_scheme(u"http://") || has_scheme(u"https://");
}

std::vector<std::u16string> PostLinkList::add_page_links(const std::vector<std::u16string>& links) {
    std::vector<std::u16string> added;
    const auto add = [this, &added](const std::u16string& item) {
        if (m_seen.insert(m_identity(item)).second) {
            m_items.push_back(item);
            added.push_back(item);
        }
    };
    for (const std::u16string& link : links) {
        if (IsPostLink(link)) {
            add(link);
        } else if (m_new_layout_form) {
            if (const std::optional<std::u16string> form = m_new_layout_form(link)) {
                add(*form);
            }
        }
    }
    return added;
}

void PostLinkList::set_identity(Identity identity) {
    m_identity = identity;
    m_seen.clear();
    for (const std::u16string& item : m_items) {
        m_seen.insert(m_identity(item));
    }
}

void PostLinkList::clear() {
    m_items.clear();
    m_seen.clear();
}

} // namespace blog
