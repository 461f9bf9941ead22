#include "exports/markdown_pieces.h"

#include "exports/markdown.h"
#include "offline/body_pieces.h"
#include "platform/text.h"

#include <optional>

namespace exports {

std::string BodyToMarkdown(std::string_view html) {
    // UTF-8 takes at least one byte a unit: a body this short is short in units too.
    if (html.size() <= offline::body_piece_units) {
        return HtmlToMarkdown(html);
    }
    const std::u16string units = platform::utf8_to_utf16(html);
    if (units.size() <= offline::body_piece_units) {
        return HtmlToMarkdown(html);
    }
    std::string markdown;
    offline::BodyPieces pieces(units, offline::body_piece_units);
    while (const std::optional<std::string> piece = pieces.next()) {
        const std::string part = HtmlToMarkdown(*piece);
        if (!part.empty()) {
            markdown += (markdown.empty() ? "" : "\n\n") + part;
        }
    }
    return markdown;
}

} // namespace exports
