#include "exports/markdown_text.h"

#include <algorithm>
#include <cstdint>

namespace exports {
namespace {

bool is_html_blank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

// Escaped wherever they stand: they open emphasis, links, code, raw HTML, references, headings,
// and what the renderers' usual extensions read (tables, strikethrough). "{" escaped alone keeps
// any two apart, so Hugo finds no shortcode, and ends no heading with an attribute list.
bool always_escaped(char c) {
    return std::string_view("\\`*_[]<>&#|~{").find(c) != std::string_view::npos;
}

// Escaped at the start of a line, where they open a list, a quote or a heading underline.
bool escaped_at_line_start(char c) {
    return std::string_view("+-=>:").find(c) != std::string_view::npos;
}

// The code point at a UTF-8 position, reading forward; 0xFFFD for a broken sequence.
char32_t code_point_at(std::string_view text, std::size_t at) {
    const auto byte = static_cast<unsigned char>(text[at]);
    int length = byte < 0x80 ? 1 : byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 0;
    if (length == 0 || at + length > text.size()) {
        return 0xFFFD;
    }
    char32_t value = length == 1 ? byte : byte & (0x7F >> length);
    for (int i = 1; i < length; ++i) {
        value = (value << 6) | (static_cast<unsigned char>(text[at + i]) & 0x3F);
    }
    return value;
}

bool letter_like(char32_t c) {
    if (c < 0x80) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    }
    const bool punctuation_or_blank =
        (c >= 0x80 && c <= 0xBF) || (c >= 0x2000 && c <= 0x2BFF) || (c >= 0x3000 && c <= 0x303F) ||
        (c >= 0xFE10 && c <= 0xFE6F) || (c >= 0xFF00 && c <= 0xFF20) ||
        (c >= 0xFF3B && c <= 0xFF40) || (c >= 0xFF5B && c <= 0xFF65) || c == 0xFFFD;
    return !punctuation_or_blank;
}

} // namespace

void InlineText::flush_space() {
    if (m_space) {
        m_out += ' ';
        m_space = false;
    }
}

std::string WithoutControls(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x20 || c == '\t' || c == '\n' || c == '\r') {
            out += c;
        }
    }
    return out;
}

void InlineText::text(std::string_view given) {
    const std::string raw = WithoutControls(given);
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (is_html_blank(c)) {
            m_leading_blank = m_leading_blank || m_out.empty();
            space();
            continue;
        }
        flush_space();
        if (always_escaped(c) || (m_line_start && escaped_at_line_start(c))) {
            m_out += '\\';
        } else if (m_line_start && c >= '0' && c <= '9') {
            // "1." or "1)" at a line start opens an ordered list.
            std::size_t end = i;
            while (end < raw.size() && raw[end] >= '0' && raw[end] <= '9') {
                ++end;
            }
            if (end < raw.size() && (raw[end] == '.' || raw[end] == ')')) {
                m_out.append(raw, i, end - i);
                m_out += '\\';
                i = end;
            }
        }
        m_out += raw[i];
        m_line_start = false;
    }
}

void InlineText::markup(std::string_view written) {
    flush_space();
    m_out += written;
    m_line_start = false;
}

void InlineText::line_break(bool in_heading) {
    m_space = false;
    if (in_heading) {
        markup("<br>");
        return;
    }
    // A break at the very start is nothing a reader sees, and "\" alone there would be text.
    if (!m_out.empty()) {
        m_out += "\\\n";
        m_line_start = true;
    }
}

std::string InlineText::finish() const {
    std::string_view out = m_out;
    while (!out.empty()) {
        if (out.ends_with("\\\n")) {
            out.remove_suffix(2);
        } else if (out.back() == ' ') {
            out.remove_suffix(1);
        } else {
            break;
        }
    }
    return std::string(out);
}

bool EmphasisSafe(std::string_view written) {
    if (written.empty()) {
        return false;
    }
    std::size_t last = written.size() - 1;
    while (last > 0 && (static_cast<unsigned char>(written[last]) & 0xC0) == 0x80) {
        --last;
    }
    return letter_like(code_point_at(written, 0)) && letter_like(code_point_at(written, last));
}

std::string Destination(std::string_view address) {
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : address) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte == 0x7F || c == '(' || c == ')' || c == '<' || c == '>' ||
            c == '{' || c == '}') {
            out += '%';
            out += hex[byte >> 4];
            out += hex[byte & 0xF];
        } else if (c == '&' || c == '\\') {
            out += '\\';
            out += c;
        } else {
            out += c;
        }
    }
    return out;
}

bool HugoReads(std::string_view written) {
    return written.find("{{") != std::string_view::npos ||
           written.find("<!--more-->") != std::string_view::npos;
}

std::size_t LongestBacktickRun(std::string_view text) {
    std::size_t longest = 0;
    for (std::size_t i = 0; i < text.size();) {
        std::size_t run = 0;
        while (i + run < text.size() && text[i + run] == '`') {
            ++run;
        }
        longest = std::max(longest, run);
        i += run == 0 ? 1 : run;
    }
    return longest;
}

std::string Joined(const std::vector<std::string>& blocks, std::string_view between) {
    std::string out;
    for (const std::string& block : blocks) {
        if (!out.empty()) {
            out += between;
        }
        out += block;
    }
    return out;
}

std::string Indented(std::string_view text, std::string_view first, std::string_view rest) {
    std::string out;
    std::string_view prefix = first;
    std::size_t begin = 0;
    while (begin <= text.size()) {
        std::size_t end = text.find('\n', begin);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        const std::string_view line = text.substr(begin, end - begin);
        std::string written = std::string(prefix) + std::string(line);
        while (!written.empty() && written.back() == ' ') {
            written.pop_back();
        }
        out += written;
        if (end == text.size()) {
            break;
        }
        out += '\n';
        prefix = rest;
        begin = end + 1;
    }
    return out;
}

std::string CodeSpan(std::string_view text) {
    const std::string fence(LongestBacktickRun(text) + 1, '`');
    const bool pad = !text.empty() && (text.front() == '`' || text.back() == '`' ||
                                       text.front() == ' ' || text.back() == ' ');
    return fence + (pad ? " " : "") + std::string(text) + (pad ? " " : "") + fence;
}

} // namespace exports
