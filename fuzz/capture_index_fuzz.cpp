// The capture index's answer as any bytes at all: an answer is either refused with nothing kept,
// or every row it gives is a capture, and the posts and list pages taken from it are each listed
// once.

#include "archive/capture_index.h"
#include "archive/list_page_index.h"
#include "blog/link_collector.h"
#include "fuzz/fuzz_input.h"

#include <string_view>
#include <unordered_set>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view body(reinterpret_cast<const char*>(data), size);
    const archive::CaptureIndexPart part = archive::parse_capture_index(body);
    if (!part.error.empty()) {
        fuzz::require(part.entries.empty() && !part.resume_key, "a refused answer keeps nothing");
    }
    for (const archive::CaptureEntry& entry : part.entries) {
        fuzz::require(!entry.timestamp.empty() && entry.timestamp.size() <= 14 &&
                          entry.timestamp.find_first_not_of(u"0123456789") == std::u16string::npos,
                      "a capture's timestamp is 1 to 14 digits");
        fuzz::require(!entry.original.empty(), "a capture has an address");
    }
    fuzz::require(!part.resume_key || !part.resume_key->empty(), "a resume key is not empty");

    const archive::WaybackBlog blog =
        *archive::recognise_wayback_blog(u"http://web.archive.org/web/2012/hi.baidu.com/u");
    archive::CaptureIndexReader reader(blog);
    fuzz::require(reader.take(body) == part.error.empty(),
                  "the reader refuses what the parser does");

    std::unordered_set<std::u16string> seen;
    for (const std::u16string& post : archive::posts_missing_from_list(blog, {}, part.entries)) {
        fuzz::require(blog::IsPostLink(post), "an added post passes the link filter");
        fuzz::require(seen.insert(archive::post_identity(post)).second, "each post is added once");
    }
    long long previous = 1;
    for (const long long page : archive::captured_list_pages_after(u"u", 1, part.entries)) {
        fuzz::require(page > previous, "list pages come above the walk, ascending, each once");
        previous = page;
    }
    return 0;
}
