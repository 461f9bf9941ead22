#include "tools/sample_blog/page_builder.h"
#include "tools/sample_blog/blog_model.h"

#include <algorithm>

namespace sample_blog {

void PageBuilder::link(std::u16string_view href, std::u16string_view label, LinkRole role) {
    m_page.html += u"<a href=\"";
    m_page.html += href;
    m_page.html += u"\">";
    m_page.html += escape_html(label);
    m_page.html += u"</a>";
    record_link(href, role);
}

void PageBuilder::record_link(std::u16string_view href, LinkRole role) {
    std::u16string address = absolute_address(href);
    if (role == LinkRole::post && std::find(m_page.post_links.begin(), m_page.post_links.end(),
                                            address) == m_page.post_links.end()) {
        m_page.post_links.push_back(address);
    }
    m_page.links.push_back(std::move(address));
}

std::u16string absolute_address(std::u16string_view href) {
    if (href.starts_with(u"/")) {
        // The base ends in "/", and so does the start of the href.
        return std::u16string(k_service_base) + std::u16string(href.substr(1));
    }
    return std::u16string(href);
}

std::u16string escape_html(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (const char16_t c : text) {
        switch (c) {
        case u'&':
            out += u"&amp;";
            break;
        case u'<':
            out += u"&lt;";
            break;
        case u'>':
            out += u"&gt;";
            break;
        case u'"':
            out += u"&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

} // namespace sample_blog
