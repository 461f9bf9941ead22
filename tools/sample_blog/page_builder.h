#pragma once
// Writes a page's HTML and, alongside, the address of every link in document order, so what a
// test expects of a page comes from the same place as the page itself.

#include <string>
#include <string_view>
#include <vector>

namespace sample_blog {

// A page and its links: each address absolute, as a browser reports it. `post_links` are the
// links that lead to a post (not to its comments or its send-to-a-friend form), first occurrences
// only, in document order.
struct Page {
    std::u16string html;
    std::vector<std::u16string> links;
    std::vector<std::u16string> post_links;
};

enum class LinkRole { other, post };

class PageBuilder {
public:
    void html(std::u16string_view markup) { m_page.html += markup; }
    // <a href="HREF">LABEL</a>, with LABEL escaped; HREF is written as given.
    void link(std::u16string_view href, std::u16string_view label, LinkRole role = LinkRole::other);
    // Records a link whose <a> element the caller writes itself.
    void record_link(std::u16string_view href, LinkRole role = LinkRole::other);
    Page finish() && { return std::move(m_page); }

private:
    Page m_page;
};

// "/u/blog" becomes "http://hi.baidu.com/u/blog"; absolute addresses stay as they are.
std::u16string absolute_address(std::u16string_view href);

// Text as HTML element content or attribute value.
std::u16string escape_html(std::u16string_view text);

} // namespace sample_blog
