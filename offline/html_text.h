#pragma once
// Text placed into the copy's pages, escaped for HTML.

#include <string>
#include <string_view>

namespace offline {

// & < > " and ' as character references, and controls and noncharacters too, so that a parser
// reads back the same characters; everything else as it is. Safe in text and in quoted
// attribute values.
std::string EscapeHtml(std::string_view text);

} // namespace offline
