#pragma once
// The links of a blog page shown as the archive captured it (raw, "id_"), in the form the list
// holds a post read through the archive. Pure text rules, no network.

#include <string>
#include <string_view>
#include <vector>

namespace archive {

// `page` is the raw capture's address, <archive>/web/<timestamp>id_/<original>, and `links` its
// links as the browser resolved them against it. Each web address among them becomes
// <archive>/web/<timestamp>/<its original>:
//   - a link into the archive's own host outside /web/ was relative in the page and names the
//     blog's own host: "https://web.archive.org/u/blog/item/1.html" is
//     "http://hi.baidu.com/u/blog/item/1.html" at the page's timestamp;
//   - an archived link keeps its own timestamp and loses its flag;
//   - any other web address (the page's own absolute links) is taken at the page's timestamp.
// Other links (javascript:, mailto:) are kept as they are, and so is every link of a page that
// is not a raw capture.
std::vector<std::u16string> links_of_raw_capture(std::vector<std::u16string> links,
                                                 std::u16string_view page);

} // namespace archive
