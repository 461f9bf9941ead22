#pragma once
// Addresses of a blog kept by the Wayback Machine, and the way between an archived address and
// the blog's own one. Pure text rules, no network.
//
// An archived address reads <archive>/web/<timestamp>[<flag>]/<original>, for example
//   https://web.archive.org/web/20100315000000/http://hi.baidu.com/someone/blog/item/ab12.html
// where the timestamp is 1 to 14 digits (the archive answers with the nearest capture) and the
// flag, such as "id_" or "im_", picks how the capture is replayed.

#include <optional>
#include <string>
#include <string_view>

namespace archive {

// A typed Wayback address of a blog, taken apart.
struct WaybackBlog {
    // Scheme and host as typed, lower case, with a port only when it is not the default one:
    // "https://web.archive.org"; http without a port is asked as https, as the archive would
    // move it there. Every request to the archive starts with it.
    std::u16string archive;
    // The typed timestamp's digits, without its flag: "2012".
    std::u16string timestamp;
    // The blog's own address, as a live save would be given it: "http://hi.baidu.com/someone".
    std::u16string blog;
    // The user name exactly as typed (a percent-encoded name stays encoded, as it would live):
    // "someone". The folder and file names follow from it as for a live save.
    std::u16string user;
};

// Recognises the Wayback address of a blog on the blog service, for example
//   https://web.archive.org/web/2012/http://hi.baidu.com/someone
//   http://web.archive.org/web/20100315000000id_/hi.baidu.com/someone/blog?x=1
// The archive's scheme is http or https; the inner address may lack its scheme and may go on
// after the user name. Blanks around the address are ignored. Anything else gives nothing, and
// the live rules then apply to it unchanged.
std::optional<WaybackBlog> recognise_wayback_blog(std::u16string_view typed);

// <archive>/web/<timestamp><flag>/<original>. The flag is "" (the archive's replay with its
// toolbar and rewritten links), "id_" (the capture's raw bytes) or "im_" (a raw picture).
std::u16string capture_address(std::u16string_view archive, std::u16string_view timestamp,
                               std::u16string_view flag, std::u16string_view original);

// The blog's first list page and list page k, asked of the archive raw at the typed timestamp,
// so that one page is one request and its links name the blog's own addresses:
// <archive>/web/<timestamp>id_/http://hi.baidu.com/<user>/blog[/index/<k>].
std::u16string archived_first_list_page(const WaybackBlog& blog);
std::u16string archived_list_page(const WaybackBlog& blog, long long k);

// The parts of an archived address on the Wayback Machine; nothing for any other address.
struct ArchivedAddress {
    std::u16string archive;   // as in WaybackBlog
    std::u16string timestamp; // digits only
    std::u16string flag;      // "", "id_", "im_", ...
    std::u16string original;  // with its scheme: "http://" is added when the archive left it off
};
std::optional<ArchivedAddress> parse_archived_address(std::u16string_view address);

// What a post downloaded from a capture was: the blog's own address, as "http://" plus its
// canonical_original, and the capture's replay address <archive>/web/<timestamp>/<original>.
// Nothing when the download address is no archived one.
struct SavedCapture {
    std::u16string original;
    std::u16string capture;
};
std::optional<SavedCapture> saved_capture_of(std::u16string_view download_address);

// The raw capture of a picture shown by the post saved from `capture` (a replay address), at
// that capture's timestamp: <archive>/web/<timestamp>im_/<picture>. Nothing when `capture` is
// no archived address.
std::optional<std::u16string> picture_capture(std::u16string_view capture,
                                              std::u16string_view picture);

// The original address inside an archived link, whatever its timestamp and flag; nothing when
// the link is not an archived address.
std::optional<std::u16string> original_of(std::u16string_view archived_link);

// The form in which two originals are compared: no scheme, no default port (:80 for http, :443
// for https; an address without a scheme counts as http), host in lower case, the rest as is.
// "http://HI.baidu.com:80/u/blog/item/1.html" -> "hi.baidu.com/u/blog/item/1.html".
std::u16string canonical_original(std::u16string_view address);

// What makes two list items the same post: the canonical original of an archived link, or of
// the link itself when it is not archived. Links of one post with different timestamps match,
// and so do the forms of a newer-layout post's address (case of its digits, query, fragment).
std::u16string post_identity(std::u16string_view link);

// An archived link to a newer-layout post of `user`, in the form the list holds it:
// <archive>/web/<its timestamp>/<the post's canonical address>. Nothing for any other link.
std::optional<std::u16string> new_layout_post_link(std::u16string_view link,
                                                   std::u16string_view user);

} // namespace archive
