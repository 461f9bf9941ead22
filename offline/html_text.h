#pragma once
// Text placed into the copy's pages: escaped for HTML, and a title read as a browser reads the
// text of a <title> element.

#include <string>
#include <string_view>

namespace offline {

// & < > " and ' as character references, and controls and noncharacters too, so that a parser
// reads back the same characters; everything else as it is. Safe in text and in quoted
// attribute values.
std::string EscapeHtml(std::string_view text);

// The title text cut from the page (UTF-8), with its character references decoded as a
// browser decodes the text of <title>; markup in it stays text. Blanks are kept.
std::string DecodeTitle(std::string_view raw_title);

} // namespace offline
