#include "exports/export_text.h"

#include "offline/html_text.h"

#include <cstdint>
#include <cstdio>
#include <initializer_list>

namespace exports {
namespace {

// The length of the UTF-8 sequence at `at` and its code point: U+FFFD when broken (for one byte),
// overlong, a surrogate or past U+10FFFF, so that what is written is always UTF-8.
std::pair<std::size_t, char32_t> sequence_at(std::string_view text, std::size_t at) {
    static constexpr std::pair<std::size_t, char32_t> broken{1, 0xFFFD};
    const auto byte = static_cast<unsigned char>(text[at]);
    const std::size_t length = byte < 0x80    ? 1
                               : byte >= 0xF8 ? 0
                               : byte >= 0xF0 ? 4
                               : byte >= 0xE0 ? 3
                               : byte >= 0xC0 ? 2
                                              : 0;
    if (length == 0 || at + length > text.size()) {
        return broken;
    }
    char32_t value = length == 1 ? byte : byte & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[at + i]);
        if ((next & 0xC0) != 0x80) {
            return broken;
        }
        value = (value << 6) | (next & 0x3F);
    }
    // Overlong, a surrogate or too large: one character that is no character.
    static constexpr char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < least[length] || (value >= 0xD800 && value <= 0xDFFF) || value > 0x10FFFF) {
        return {length, 0xFFFD};
    }
    return {length, value};
}

// What YAML refuses to read as it stands (and what it reads as a line end or a byte order mark).
bool yaml_refuses(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029 || c == 0xFEFF ||
           c == 0xFFFE || c == 0xFFFF;
}

bool xml_character(char32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

bool in_ranges(char32_t c, std::initializer_list<std::pair<char32_t, char32_t>> ranges) {
    for (const auto& [first, last] : ranges) {
        if (c >= first && c <= last) {
            return true;
        }
    }
    return false;
}

// Letters and digits of the scripts a Chinese blog writes in, which Hugo keeps in a path.
bool term_letter(char32_t c) {
    return in_ranges(c, {{'0', '9'},
                         {'a', 'z'},
                         {'A', 'Z'},
                         {0xC0, 0xD6},
                         {0xD8, 0xF6},
                         {0xF8, 0x24F},
                         {0x391, 0x3C9},
                         {0x400, 0x45F},
                         {0x3041, 0x3096},
                         {0x30A1, 0x30FA},
                         {0x3400, 0x4DBF},
                         {0x4E00, 0x9FFF},
                         {0xAC00, 0xD7A3},
                         {0xF900, 0xFAFF},
                         {0xFF10, 0xFF19},
                         {0xFF21, 0xFF3A},
                         {0xFF41, 0xFF5A},
                         {0x20000, 0x3134F}});
}

// Blanks and punctuation Hugo leaves out of a term's path, or keeps without harm.
bool term_punctuation(char32_t c) {
    return in_ranges(c, {{' ', ' '},       {'!', '!'},       {'"', '"'},       {'&', ')'},
                         {',', '-'},       {':', ';'},       {'?', '?'},       {'_', '_'},
                         {0xB7, 0xB7},     {0x2014, 0x2014}, {0x2018, 0x201D}, {0x2026, 0x2026},
                         {0x3000, 0x3003}, {0x3008, 0x3011}, {0x3014, 0x301F}, {0xFF01, 0xFF01},
                         {0xFF08, 0xFF09}, {0xFF0C, 0xFF0C}, {0xFF1A, 0xFF1B}, {0xFF1F, 0xFF1F}});
}

bool plain_term(std::string_view text) {
    // Longer names would not fit a file name; "term-" names are the ones made here.
    if (text.size() > 120) {
        return false;
    }
    std::string start(text.substr(0, 5));
    for (char& c : start) {
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    if (start == "term-") {
        return false;
    }
    bool letter = false;
    for (std::size_t at = 0; at < text.size();) {
        const auto [length, c] = sequence_at(text, at);
        if (term_letter(c)) {
            letter = true;
        } else if (!term_punctuation(c)) {
            return false;
        }
        at += length;
    }
    return letter;
}

} // namespace

std::string QuotedText(std::string_view text) {
    std::string out = "\"";
    for (std::size_t at = 0; at < text.size();) {
        const auto [length, c] = sequence_at(text, at);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (yaml_refuses(c)) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(c));
            out += escape;
        } else if (c == 0xFFFD) {
            out += "\xEF\xBF\xBD";
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
            out.append(c == 0xFFFD ? std::string_view("\xEF\xBF\xBD") : text.substr(at, length));
        }
        at += length;
    }
    return out;
}

std::string XmlText(std::string_view text) {
    return offline::EscapeHtml(XmlCharacters(text));
}

std::string BracketsAsReferences(std::string_view html) {
    std::string out;
    out.reserve(html.size());
    for (const char c : html) {
        if (c == '[') {
            out += "&#91;";
        } else if (c == ']') {
            out += "&#93;";
        } else {
            out += c;
        }
    }
    return out;
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

std::string HugoTerm(std::string_view text) {
    if (plain_term(text)) {
        return std::string(text);
    }
    // FNV-1a, 64 bits.
    std::uint64_t hash = 0xcbf29ce484222325;
    for (const char c : text) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3;
    }
    char name[32];
    std::snprintf(name, sizeof name, "term-%016llx", static_cast<unsigned long long>(hash));
    return name;
}

} // namespace exports
