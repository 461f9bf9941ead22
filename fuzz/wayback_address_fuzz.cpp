// Wayback addresses as any UTF-16 text: a recognised blog address leads to list pages that are
// recognised as the same blog again, and an original survives a trip through the archive.

#include "archive/wayback_address.h"
#include "fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::u16string text = fuzz::utf16_from(data, size);
    if (const std::optional<archive::WaybackBlog> blog = archive::recognise_wayback_blog(text)) {
        fuzz::require(!blog->user.empty() && !blog->timestamp.empty() &&
                          blog->timestamp.size() <= 14,
                      "a recognised blog has a user and a timestamp of 1 to 14 digits");
        const std::optional<archive::WaybackBlog> again =
            archive::recognise_wayback_blog(archive::archived_list_page(*blog, 2));
        fuzz::require(again && again->archive == blog->archive &&
                          again->timestamp == blog->timestamp && again->user == blog->user,
                      "a list page through the archive is the same blog");
    }
    const std::u16string original = u"http://" + text;
    if (original.find_first_of(u" \t\r\n") == std::u16string::npos) {
        const std::u16string raw = archive::capture_address(u"https://web.archive.org",
                                                            u"20100315000000", u"id_", original);
        fuzz::require(archive::original_of(raw) == original,
                      "a raw capture leads back to its original");
        fuzz::require(archive::post_identity(raw) == archive::canonical_original(original),
                      "an archived link is the same post as its original");
    }
    archive::canonical_original(text);
    return 0;
}
