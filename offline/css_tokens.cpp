#include "offline/css_tokens.h"

#include <charconv>
#include <limits>

namespace offline {
namespace {

constexpr std::string_view replacement = "\xEF\xBF\xBD";

// Line breaks and form feeds become "\n", NUL becomes U+FFFD, as the tokenizer's input stream.
std::string preprocessed(std::string_view css) {
    std::string out;
    out.reserve(css.size());
    for (std::size_t i = 0; i < css.size(); ++i) {
        const char c = css[i];
        if (c == '\r') {
            out += '\n';
            if (i + 1 < css.size() && css[i + 1] == '\n') {
                ++i;
            }
        } else if (c == '\f') {
            out += '\n';
        } else if (c == '\0') {
            out += replacement;
        } else {
            out += c;
        }
    }
    return out;
}

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}
bool is_hex(char c) {
    return is_digit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
bool is_space(char c) {
    return c == ' ' || c == '\t' || c == '\n';
}
// Every byte of a character outside ASCII counts as one of a name, as the character does.
bool is_name_start(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' ||
           static_cast<unsigned char>(c) >= 0x80;
}
bool is_name(char c) {
    return is_name_start(c) || is_digit(c) || c == '-';
}
bool is_non_printable(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u <= 8 || u == 0x0B || (u >= 0x0E && u <= 0x1F) || u == 0x7F;
}

void append_utf8(std::string& out, char32_t point) {
    if (point < 0x80) {
        out += static_cast<char>(point);
    } else if (point < 0x800) {
        out += static_cast<char>(0xC0 | (point >> 6));
        out += static_cast<char>(0x80 | (point & 0x3F));
    } else if (point < 0x10000) {
        out += static_cast<char>(0xE0 | (point >> 12));
        out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (point & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (point >> 18));
        out += static_cast<char>(0x80 | ((point >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (point & 0x3F));
    }
}

class Tokenizer {
public:
    explicit Tokenizer(std::string text) : m_text(std::move(text)) {}

    std::vector<CssToken> tokens() {
        std::vector<CssToken> out;
        while (true) {
            skip_comments();
            if (m_at >= m_text.size()) {
                return out;
            }
            out.push_back(next());
        }
    }

private:
    char at(std::size_t ahead = 0) const {
        return m_at + ahead < m_text.size() ? m_text[m_at + ahead] : '\0';
    }
    bool ended(std::size_t ahead = 0) const { return m_at + ahead >= m_text.size(); }

    bool valid_escape(std::size_t ahead = 0) const {
        return at(ahead) == '\\' && !(at(ahead + 1) == '\n' && !ended(ahead + 1));
    }
    bool starts_name(std::size_t ahead = 0) const {
        const char c = at(ahead);
        if (c == '-') {
            return (is_name_start(at(ahead + 1)) && !ended(ahead + 1)) || at(ahead + 1) == '-' ||
                   valid_escape(ahead + 1);
        }
        if (c == '\\') {
            return valid_escape(ahead);
        }
        return !ended(ahead) && is_name_start(c);
    }
    bool starts_number() const {
        const char c = at();
        if (c == '+' || c == '-') {
            return is_digit(at(1)) || (at(1) == '.' && is_digit(at(2)));
        }
        if (c == '.') {
            return is_digit(at(1));
        }
        return is_digit(c);
    }

    void skip_comments() {
        while (at() == '/' && at(1) == '*') {
            const std::size_t end = m_text.find("*/", m_at + 2);
            m_at = end == std::string::npos ? m_text.size() : end + 2;
        }
    }

    // After the backslash.
    void consume_escape(std::string& out) {
        if (ended()) {
            out += replacement;
            return;
        }
        if (!is_hex(at())) {
            out += m_text[m_at++];
            return;
        }
        char32_t point = 0;
        for (int digits = 0; digits < 6 && is_hex(at()) && !ended(); ++digits) {
            const char c = m_text[m_at++];
            point = point * 16 + static_cast<char32_t>(is_digit(c)              ? c - '0'
                                                       : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                                                                                : c - 'A' + 10);
        }
        if (is_space(at()) && !ended()) {
            ++m_at;
        }
        if (point == 0 || (point >= 0xD800 && point <= 0xDFFF) || point > 0x10FFFF) {
            out += replacement;
        } else {
            append_utf8(out, point);
        }
    }

    std::string consume_name() {
        std::string name;
        while (!ended()) {
            if (is_name(at())) {
                name += m_text[m_at++];
            } else if (valid_escape()) {
                ++m_at;
                consume_escape(name);
            } else {
                break;
            }
        }
        return name;
    }

    CssToken consume_numeric() {
        CssToken token{CssTokenKind::number, {}, 0, {}};
        std::string& number = token.representation;
        if (at() == '+' || at() == '-') {
            number += m_text[m_at++];
        }
        const auto digits = [&] {
            while (!ended() && is_digit(at())) {
                number += m_text[m_at++];
            }
        };
        digits();
        if (at() == '.' && is_digit(at(1))) {
            number += m_text[m_at++];
            digits();
        }
        bool negative_exponent = false;
        bool exponent = false;
        if ((at() == 'e' || at() == 'E') &&
            (is_digit(at(1)) || ((at(1) == '+' || at(1) == '-') && is_digit(at(2))))) {
            exponent = true;
            number += m_text[m_at++];
            if (at() == '+' || at() == '-') {
                negative_exponent = at() == '-';
                number += m_text[m_at++];
            }
            digits();
        }
        const std::string_view unsigned_part =
            std::string_view(number).substr(number[0] == '+' || number[0] == '-' ? 1 : 0);
        const auto [end, error] = std::from_chars(
            unsigned_part.data(), unsigned_part.data() + unsigned_part.size(), token.value);
        (void)end;
        if (error == std::errc::result_out_of_range) {
            token.value =
                exponent && negative_exponent ? 0 : std::numeric_limits<double>::infinity();
        }
        if (number[0] == '-') {
            token.value = -token.value;
        }
        if (starts_name()) {
            token.kind = CssTokenKind::dimension;
            token.text = consume_name();
        } else if (at() == '%') {
            ++m_at;
            token.kind = CssTokenKind::percentage;
        }
        return token;
    }

    void consume_bad_url_rest() {
        while (!ended() && at() != ')') {
            if (valid_escape()) {
                ++m_at;
                std::string ignored;
                consume_escape(ignored);
            } else {
                ++m_at;
            }
        }
        if (!ended()) {
            ++m_at;
        }
    }

    // After "url(" and its blanks; the token's kind says only that it is an address.
    CssToken consume_url() {
        while (!ended()) {
            const char c = m_text[m_at];
            if (c == ')') {
                ++m_at;
                break;
            }
            if (is_space(c)) {
                while (!ended() && is_space(at())) {
                    ++m_at;
                }
                if (ended() || at() == ')') {
                    m_at += ended() ? 0 : 1;
                    break;
                }
                consume_bad_url_rest();
                break;
            }
            if (c == '"' || c == '\'' || c == '(' || is_non_printable(c) ||
                (c == '\\' && !valid_escape())) {
                consume_bad_url_rest();
                break;
            }
            ++m_at;
            if (c == '\\') {
                std::string ignored;
                consume_escape(ignored);
            }
        }
        return {CssTokenKind::url, "url", 0, {}};
    }

    CssToken consume_ident_like() {
        std::string name = consume_name();
        if (at() != '(') {
            return {CssTokenKind::ident, std::move(name), 0, {}};
        }
        ++m_at;
        std::string lowered = name;
        for (char& c : lowered) {
            c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        }
        if (lowered == "url") {
            while (is_space(at()) && is_space(at(1))) {
                ++m_at;
            }
            const char next = is_space(at()) ? at(1) : at();
            if (next != '"' && next != '\'') {
                while (!ended() && is_space(at())) {
                    ++m_at;
                }
                return consume_url();
            }
        }
        return {CssTokenKind::function, std::move(name), 0, {}};
    }

    CssToken consume_string(char quote) {
        CssToken token{CssTokenKind::string, {}, 0, {}};
        while (!ended()) {
            const char c = m_text[m_at];
            if (c == quote) {
                ++m_at;
                return token;
            }
            if (c == '\n') {
                token.kind = CssTokenKind::bad_string;
                return token;
            }
            ++m_at;
            if (c != '\\') {
                token.text += c;
            } else if (at() == '\n' && !ended()) {
                ++m_at;
            } else if (!ended()) {
                consume_escape(token.text);
            }
        }
        return token;
    }

    CssToken single(CssTokenKind kind) { return {kind, std::string(1, m_text[m_at++]), 0, {}}; }

    CssToken next() {
        const char c = at();
        if (is_space(c)) {
            while (!ended() && is_space(at())) {
                ++m_at;
            }
            return {CssTokenKind::whitespace, " ", 0, {}};
        }
        if (c == '"' || c == '\'') {
            ++m_at;
            return consume_string(c);
        }
        if (c == '#' && ((is_name(at(1)) && !ended(1)) || valid_escape(1))) {
            ++m_at;
            return {CssTokenKind::hash, consume_name(), 0, {}};
        }
        if (starts_number()) {
            return consume_numeric();
        }
        if (c == '-' && at(1) == '-' && at(2) == '>') {
            m_at += 3;
            return {CssTokenKind::cdo_or_cdc, "-->", 0, {}};
        }
        if (c == '<' && m_text.compare(m_at, 4, "<!--") == 0) {
            m_at += 4;
            return {CssTokenKind::cdo_or_cdc, "<!--", 0, {}};
        }
        if (starts_name()) {
            return consume_ident_like();
        }
        if (c == '@' && starts_name(1)) {
            ++m_at;
            return {CssTokenKind::at_keyword, consume_name(), 0, {}};
        }
        switch (c) {
        case '(':
            return single(CssTokenKind::open_paren);
        case ')':
            return single(CssTokenKind::close_paren);
        case '[':
            return single(CssTokenKind::open_square);
        case ']':
            return single(CssTokenKind::close_square);
        case '{':
            return single(CssTokenKind::open_curly);
        case '}':
            return single(CssTokenKind::close_curly);
        case ',':
            return single(CssTokenKind::comma);
        case ':':
            return single(CssTokenKind::colon);
        case ';':
            return single(CssTokenKind::semicolon);
        default:
            return single(CssTokenKind::delim);
        }
    }

    std::string m_text;
    std::size_t m_at = 0;
};

} // namespace

std::vector<CssToken> TokenizeCss(std::string_view css) {
    return Tokenizer(preprocessed(css)).tokens();
}

} // namespace offline
