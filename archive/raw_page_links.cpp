#include "archive/raw_page_links.h"

#include "archive/ascii_text.h"
#include "archive/wayback_address.h"

#include <optional>

namespace archive {
namespace {

bool is_web_address(std::u16string_view link) {
    return starts_with_ignoring_case(link, u"http://") ||
           starts_with_ignoring_case(link, u"https://");
}

// "http://hi.baidu.com" of "http://hi.baidu.com/u/blog/index/1".
std::u16string_view origin_of(std::u16string_view address) {
    const std::size_t host = address.find(u"://");
    if (host == std::u16string_view::npos) {
        return {};
    }
    return address.substr(0, address.find(u'/', host + 3));
}

} // namespace

std::vector<std::u16string> links_of_raw_capture(std::vector<std::u16string> links,
                                                 std::u16string_view page) {
    const std::optional<ArchivedAddress> shown = parse_archived_address(page);
    if (!shown || shown->flag != u"id_") {
        return links;
    }
    const std::u16string archive_root = shown->archive + u"/";
    const std::u16string_view blog_origin = origin_of(shown->original);
    for (std::u16string& link : links) {
        if (const std::optional<ArchivedAddress> archived = parse_archived_address(link)) {
            link = capture_address(shown->archive, archived->timestamp, u"", archived->original);
        } else if (starts_with_ignoring_case(link, archive_root)) {
            const std::u16string original =
                std::u16string(blog_origin) + link.substr(archive_root.size() - 1);
            link = capture_address(shown->archive, shown->timestamp, u"", original);
        } else if (is_web_address(link)) {
            link = capture_address(shown->archive, shown->timestamp, u"", link);
        }
    }
    return links;
}

} // namespace archive
