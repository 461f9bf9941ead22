#pragma once
// The Markdown of a post body of any length: a body as long as the copy cleans in pieces is
// converted in the same pieces, so that its whole tree is never held at once. A cut ends the
// elements open there and starts them again after it, as in the copy.

#include "offline/body_clean.h"

#include <functional>
#include <string>
#include <string_view>

namespace exports {

// As HtmlToMarkdown, the pieces' Markdown joined by blank lines.
std::string BodyToMarkdown(std::string_view html);

// The same of a body rendered a part at a time, never held whole: the Markdown goes to `write` a
// piece at a time as it is made.
void BodyToMarkdown(offline::RenderedParts& body,
                    const std::function<void(std::string_view)>& write);

} // namespace exports
