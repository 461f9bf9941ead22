#pragma once
// The Markdown of a post body of any length: a body as long as the copy cleans in pieces is
// converted in the same pieces, so that its whole tree is never held at once. A cut ends the
// elements open there and starts them again after it, as in the copy.

#include <string>
#include <string_view>

namespace exports {

// As HtmlToMarkdown, the pieces' Markdown joined by blank lines.
std::string BodyToMarkdown(std::string_view html);

} // namespace exports
