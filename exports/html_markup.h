#pragma once
// Markup written back from gumbo's tree, for what Markdown cannot say and keeps as HTML. Every
// line end inside text and values is written as a character reference, so what is written fits
// on one line and no blank line can end a Markdown HTML block early.

#include <gumbo.h>

#include <string>
#include <string_view>

namespace exports {

// The element's name as written: gumbo's for known tags, the source's for the others.
std::string TagName(const GumboNode& element);

std::string StartTag(const GumboNode& element);
std::string EndTag(const GumboNode& element);

// The element with everything inside it (comments left out).
std::string OuterHtml(const GumboNode& node);

// Text for HTML content or a quoted attribute value, with line ends and "{" as references.
std::string EscapeMarkupText(std::string_view text);

// Elements without content or end tag.
bool IsVoidElement(const GumboNode& element);

} // namespace exports
