#include "offline/html_text.h"

#include <algorithm>
#include <optional>

namespace offline {
namespace {

std::size_t utf8_length(char lead) {
    const auto byte = static_cast<unsigned char>(lead);
    return byte < 0xC0 ? 1 : byte < 0xE0 ? 2 : byte < 0xF0 ? 3 : 4;
}

// The code point of a UTF-8 character that a parser does not read back as it stands in the
// source: a carriage return (read as a line feed), controls other than blanks and noncharacters
// (which gumbo turns into U+FFFD). A character reference keeps them.
std::optional<char32_t> read_as_replaced(std::string_view character) {
    char32_t point = static_cast<unsigned char>(character[0]);
    if (character.size() > 1) {
        point &= 0xFFu >> (character.size() + 1);
        for (std::size_t k = 1; k < character.size(); ++k) {
            point = (point << 6) | (static_cast<unsigned char>(character[k]) & 0x3F);
        }
    }
    const bool control = (point >= 0x01 && point <= 0x08) || point == 0x0B || point == 0x0D ||
                         (point >= 0x0E && point <= 0x1F) || (point >= 0x7F && point <= 0x9F);
    const bool noncharacter = (point >= 0xFDD0 && point <= 0xFDEF) || (point & 0xFFFE) == 0xFFFE;
    if (control || noncharacter) {
        return point;
    }
    return std::nullopt;
}

std::string hex(char32_t point) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string out;
    do {
        out.insert(out.begin(), digits[point & 0xF]);
        point >>= 4;
    } while (point != 0);
    return out;
}

} // namespace

std::string EscapeHtml(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = std::min(utf8_length(text[i]), text.size() - i);
        const std::string_view character = text.substr(i, length);
        i += length;
        if (const auto point = read_as_replaced(character)) {
            out += "&#x" + hex(*point) + ";";
            continue;
        }
        switch (character[0]) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += character;
        }
    }
    return out;
}

} // namespace offline
