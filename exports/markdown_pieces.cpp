#include "exports/markdown_pieces.h"

#include "exports/markdown.h"
#include "offline/body_pieces.h"
#include "platform/text.h"

#include <optional>

namespace exports {
namespace {

// A long body's rendering is read this many bytes at a time.
constexpr std::size_t rendered_part_bytes = std::size_t{64} << 10;

void pieces_to_markdown(offline::BodyPieces& pieces,
                        const std::function<void(std::string_view)>& write) {
    bool written = false;
    while (const std::optional<std::string> piece = pieces.next()) {
        const std::string part = HtmlToMarkdown(*piece);
        if (!part.empty()) {
            if (written) {
                write("\n\n");
            }
            write(part);
            written = true;
        }
    }
}

} // namespace

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
    pieces_to_markdown(pieces, [&markdown](std::string_view part) { markdown += part; });
    return markdown;
}

void BodyToMarkdown(offline::RenderedParts& body,
                    const std::function<void(std::string_view)>& write) {
    // A body short in units is one piece, its Markdown that of the whole tree.
    offline::BodyPieces pieces(
        [&body](std::u16string& text) {
            const std::optional<std::string_view> part = body.next(rendered_part_bytes);
            if (part) {
                text += platform::utf8_to_utf16(*part);
            }
            return part.has_value();
        },
        offline::body_piece_units);
    pieces_to_markdown(pieces, write);
}

} // namespace exports
