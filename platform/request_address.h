#pragma once
// The address a browser would put on the wire for what the user typed or a page linked: blanks,
// non-ASCII bytes and a few other characters of the path and query percent-encoded by the WHATWG
// URL rules, the fragment left off. libcurl refuses a blank in an address and sends non-ASCII as
// raw bytes, so without this the program and its browser would ask for different things.

#include <string>
#include <string_view>

namespace platform {

// `address` is UTF-8. Scheme and host are left as they are; an existing %XX is kept.
std::string request_address(std::string_view address);

} // namespace platform
