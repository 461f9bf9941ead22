#pragma once
// The Markdown of what the conversion writes without looking into it further: preformatted text
// and the title of a link or a picture.

#include <gumbo.h>

#include <string>

namespace exports {

// A <pre> element as a fenced code block, its line ends as LF; as HTML when it holds elements or
// presentation, or text Hugo would read as its own.
std::string PreformattedMarkdown(const GumboNode& element);

// ` "title"` after a link's or picture's address, when it has one.
std::string LinkTitlePart(const GumboNode& element);

} // namespace exports
