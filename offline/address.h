#pragma once
// Addresses found in a post body, read the way a browser reads them: the scheme a value really
// has once blanks and control characters are dropped, and relative addresses resolved against
// the post's own address.

#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace offline {

// The scheme of an attribute value (already free of character references), in lower case, or
// empty when it has none. Blanks and control characters anywhere before the colon are ignored,
// so "java\tscript:" and " JavaScript:" both give "javascript".
std::string SchemeOf(std::string_view value);

// True for javascript: and vbscript: addresses, and for data: addresses that are not raster
// pictures (data:image/ other than SVG).
bool IsRunnableAddress(std::string_view value);

// The absolute http or https address that `reference` stands for on the page at `base`, in one
// canonical spelling: dot segments resolved, scheme and host in lower case, default port
// dropped, blanks and non-ASCII percent-encoded, backslashes read as slashes. The fragment is
// kept. Nothing for other schemes or when the reference cannot be read.
std::optional<std::string> ResolveWebAddress(std::string_view base, std::string_view reference);

// The key the copy knows a post's page by, so that every spelling of a post's address leads to
// it. `address` is one ResolveWebAddress gave. A post of a blog on any host,
// "/<user>/blog/item/<id>.html", keys as "http://" + host + that path, without query or
// fragment: "https://hi.baidu.com/u/blog/item/1.html?x#y" -> "http://hi.baidu.com/u/blog/item/
// 1.html". Any other address keys as itself without its fragment.
std::string PostPageKey(std::string_view address);

// The address without its "#..." part, and that part (with the "#", or empty).
std::pair<std::string, std::string> SplitFragment(std::string_view address);

} // namespace offline
