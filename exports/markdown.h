#pragma once
// A post body in CommonMark, converted from gumbo's tree of the body as the copy shows it.
// Paragraphs, line breaks, bold, italic, headings, links, pictures, lists, block quotes,
// preformatted text and rules become Markdown; what Markdown cannot say (tables, colours, fonts,
// alignment, other elements) stays HTML inside the Markdown, which a renderer that passes raw
// HTML through shows as the copy does. Text is escaped so that nothing in it reads as Markdown.

#include <string>
#include <string_view>

namespace exports {

// `html` is a body's markup (UTF-8); the result ends without a line end, empty for an empty body.
std::string HtmlToMarkdown(std::string_view html);

} // namespace exports
