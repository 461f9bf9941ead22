#include "exports/export_text.h"

#include "offline/html_text.h"

#include <cstdio>

namespace exports {
namespace {

// The length of the UTF-8 sequence at `at` and its code point; 1 and U+FFFD when broken.
std::pair<std::size_t, char32_t> sequence_at(std::string_view text, std::size_t at) {
    const auto byte = static_cast<unsigned char>(text[at]);
    const std::size_t length = byte < 0x80    ? 1
                               : byte >= 0xF0 ? 4
                               : byte >= 0xE0 ? 3
                               : byte >= 0xC0 ? 2
                                              : 0;
    if (length == 0 || at + length > text.size()) {
        return {1, 0xFFFD};
    }
    char32_t value = length == 1 ? byte : byte & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[at + i]);
        if ((next & 0xC0) != 0x80) {
            return {1, 0xFFFD};
        }
        value = (value << 6) | (next & 0x3F);
    }
    return {length, value};
}

bool xml_character(char32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

} // namespace

std::string QuotedText(std::string_view text) {
    std::string out = "\"";
    for (std::size_t at = 0; at < text.size();) {
        const auto [length, c] = sequence_at(text, at);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7F || c == 0x85 || c == 0x2028 || c == 0x2029) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(c));
            out += escape;
        } else {
            out.append(text.substr(at, length));
        }
        at += length;
    }
    return out + "\"";
}

std::string XmlCharacters(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const auto [length, c] = sequence_at(text, at);
        if (xml_character(c)) {
            out.append(c == 0xFFFD && length == 1 ? std::string_view("\xEF\xBF\xBD")
                                                  : text.substr(at, length));
        }
        at += length;
    }
    return out;
}

std::string XmlText(std::string_view text) {
    return offline::EscapeHtml(XmlCharacters(text));
}

std::string Cdata(std::string_view text) {
    const std::string clean = XmlCharacters(text);
    std::string out = "<![CDATA[";
    std::size_t at = 0;
    for (std::size_t end; (end = clean.find("]]>", at)) != std::string::npos; at = end + 2) {
        // "]]" ends one section and ">" starts the next.
        out.append(clean, at, end + 2 - at);
        out += "]]><![CDATA[";
    }
    out.append(clean, at);
    return out + "]]>";
}

std::string Nicename(std::string_view text) {
    static constexpr char hex[] = "0123456789abcdef";
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_') {
            out += c;
        } else if (c >= 'A' && c <= 'Z') {
            out += static_cast<char>(c - 'A' + 'a');
        } else if (c == ' ' || c == '\t') {
            if (!out.empty() && out.back() != '-') {
                out += '-';
            }
        } else {
            out += '%';
            out += hex[byte >> 4];
            out += hex[byte & 0xF];
        }
    }
    return out;
}

} // namespace exports
