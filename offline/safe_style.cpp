#include "offline/safe_style.h"

#include "offline/css_tokens.h"

#include <algorithm>
#include <optional>
#include <span>
#include <vector>

namespace offline {
namespace {

using Names = std::initializer_list<std::string_view>;
using Kind = CssTokenKind;

bool among(Names names, std::string_view name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

bool among(std::initializer_list<Kind> kinds, Kind kind) {
    return std::find(kinds.begin(), kinds.end(), kind) != kinds.end();
}

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return out;
}

bool is_letter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// One component of a value: a token, or a function with the tokens inside it.
struct Part {
    const CssToken* token;
    std::vector<const CssToken*> arguments; // functions: without whitespace
};
using Parts = std::span<const Part>;

// A name that reads back as the same name when written as it is.
bool is_plain_name(std::string_view name) {
    const auto name_start = [](char c) {
        return is_letter(c) || c == '_' || static_cast<unsigned char>(c) >= 0x80;
    };
    const bool starts =
        !name.empty() && (name_start(name[0]) || (name[0] == '-' && name.size() > 1 &&
                                                  (name_start(name[1]) || name[1] == '-')));
    return starts && std::all_of(name.begin(), name.end(), [&](char c) {
               return name_start(c) || (c >= '0' && c <= '9') || c == '-';
           });
}

// A string as a font's name is spelled: letters, digits, blanks, hyphens, points. Nothing that
// would need an escape, end the string or read as anything but text.
bool is_plain_string(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) {
        return is_letter(c) || (c >= '0' && c <= '9') || static_cast<unsigned char>(c) >= 0x80 ||
               c == ' ' || c == '-' || c == '_' || c == '.';
    });
}

// The token as written anew, or nothing when it cannot be written so that it reads the same.
std::optional<std::string> written(const CssToken& token) {
    switch (token.kind) {
    case Kind::whitespace:
        return " ";
    case Kind::ident:
        return is_plain_name(token.text) ? std::optional(token.text) : std::nullopt;
    case Kind::function:
        return is_plain_name(token.text) ? std::optional(token.text + "(") : std::nullopt;
    case Kind::hash:
        return is_plain_name("a" + token.text) ? std::optional("#" + token.text) : std::nullopt;
    case Kind::string:
        return is_plain_string(token.text) ? std::optional("\"" + token.text + "\"") : std::nullopt;
    case Kind::number:
        return token.representation;
    case Kind::percentage:
        return token.representation + "%";
    case Kind::dimension:
        return is_plain_name(token.text) ? std::optional(token.representation + lower(token.text))
                                         : std::nullopt;
    case Kind::comma:
        return ",";
    case Kind::close_paren:
        return ")";
    case Kind::delim:
        return token.text == "/" ? std::optional(token.text) : std::nullopt;
    default:
        return std::nullopt;
    }
}

// The parts of a value, with functions one level deep and closed; nothing when it holds more.
std::optional<std::vector<Part>> parts_of(std::span<const CssToken> value) {
    std::vector<Part> parts;
    bool in_function = false;
    for (const CssToken& token : value) {
        if (!written(token)) {
            return std::nullopt;
        }
        if (in_function) {
            if (token.kind == Kind::function) {
                return std::nullopt;
            }
            if (token.kind == Kind::close_paren) {
                in_function = false;
            } else if (token.kind != Kind::whitespace) {
                parts.back().arguments.push_back(&token);
            }
        } else if (token.kind == Kind::close_paren) {
            return std::nullopt;
        } else if (token.kind != Kind::whitespace) {
            parts.push_back({&token, {}});
            in_function = token.kind == Kind::function;
        }
    }
    if (in_function || parts.empty() || parts.size() > 16) {
        return std::nullopt;
    }
    return parts;
}

bool is_ident(const Part& part, Names names) {
    return part.token->kind == Kind::ident && among(names, lower(part.token->text));
}

bool is_keyword(const Part& part) {
    return part.token->kind == Kind::ident &&
           std::all_of(part.token->text.begin(), part.token->text.end(),
                       [](char c) { return is_letter(c) || c == '-'; });
}

bool is_colour(const Part& part) {
    const CssToken& token = *part.token;
    if (token.kind == Kind::ident) {
        return is_keyword(part) && token.text.size() <= 32;
    }
    if (token.kind == Kind::hash) {
        const std::size_t digits = token.text.size();
        return (digits == 3 || digits == 4 || digits == 6 || digits == 8) &&
               std::all_of(token.text.begin(), token.text.end(), [](char c) {
                   return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') ||
                          (c >= 'A' && c <= 'F');
               });
    }
    return token.kind == Kind::function &&
           among({"rgb", "rgba", "hsl", "hsla"}, lower(token.text)) && part.arguments.size() <= 7 &&
           std::all_of(part.arguments.begin(), part.arguments.end(), [](const CssToken* argument) {
               return among({Kind::number, Kind::percentage, Kind::comma}, argument->kind) ||
                      (argument->kind == Kind::dimension && lower(argument->text) == "deg") ||
                      (argument->kind == Kind::delim && argument->text == "/");
           });
}

// What a unit is in px, with 1em at 16px; nothing for a unit that is not a length.
std::optional<double> px_per(std::string_view unit) {
    static const std::pair<std::string_view, double> units[] = {
        {"px", 1},         {"pt", 4.0 / 3},    {"pc", 16},        {"in", 96},
        {"cm", 96 / 2.54}, {"mm", 9.6 / 2.54}, {"q", 2.4 / 2.54}, {"em", 16},
        {"rem", 16},       {"ex", 8},          {"ch", 8}};
    for (const auto& [name, px] : units) {
        if (name == unit) {
            return px;
        }
    }
    return std::nullopt;
}

bool is_relative(std::string_view unit) {
    return among({"em", "ex", "ch"}, unit);
}

// A number as written, never with a minus sign (not even "-0").
bool unsigned_value(const CssToken& token, double least, double most) {
    return token.representation[0] != '-' && token.value >= least && token.value <= most;
}

// A length of at most `most_px` (or `most_percent`): "0", a dimension or a percentage.
bool is_length(const Part& part, double most_px, double most_percent) {
    const CssToken& token = *part.token;
    switch (token.kind) {
    case Kind::number:
        return unsigned_value(token, 0, 0);
    case Kind::percentage:
        return unsigned_value(token, 0, most_percent);
    case Kind::dimension: {
        const std::optional<double> px = px_per(lower(token.text));
        return px && unsigned_value(token, 0, most_px / *px);
    }
    default:
        return false;
    }
}

bool is_margin(const Part& part) {
    return is_ident(part, {"auto"}) || is_length(part, 100, 20);
}

bool is_padding(const Part& part) {
    return is_length(part, 50, 10);
}

// Either the absolute size in px lies in [least_px, most_px], or the size relative to the
// parent's (em, %, ex, ch) in [least_times, most_times].
bool is_size(const CssToken& token, double least_px, double most_px, double least_times,
             double most_times) {
    if (token.kind == Kind::percentage) {
        return unsigned_value(token, least_times * 100, most_times * 100);
    }
    if (token.kind != Kind::dimension) {
        return false;
    }
    const std::string unit = lower(token.text);
    const std::optional<double> px = px_per(unit);
    if (!px) {
        return false;
    }
    if (is_relative(unit)) {
        const double em = *px / 16;
        return unsigned_value(token, least_times / em, most_times / em);
    }
    return unsigned_value(token, least_px / *px, most_px / *px);
}

bool is_font_size(const Part& part) {
    return is_ident(part, {"xx-small", "x-small", "small", "medium", "large", "x-large", "xx-large",
                           "xxx-large", "smaller"}) ||
           is_size(*part.token, 8, 48, 0.5, 1);
}

bool is_line_height(const Part& part) {
    return is_ident(part, {"normal"}) ||
           (part.token->kind == Kind::number && unsigned_value(*part.token, 1, 3)) ||
           is_size(*part.token, 12, 96, 1, 3);
}

bool is_font_family(Parts parts) {
    return std::all_of(parts.begin(), parts.end(), [](const Part& part) {
        return among({Kind::ident, Kind::string, Kind::comma}, part.token->kind);
    });
}

bool is_font_weight(const Part& part) {
    return is_keyword(part) ||
           (part.token->kind == Kind::number && unsigned_value(*part.token, 1, 1000));
}

// [style variant weight stretch] size [/ line-height] family, or a system font's name.
bool is_font(Parts parts) {
    if (parts.size() == 1 && is_ident(parts[0], {"caption", "icon", "menu", "message-box",
                                                 "small-caption", "status-bar"})) {
        return true;
    }
    std::size_t at = 0;
    while (at < parts.size() && !is_font_size(parts[at]) &&
           (is_ident(parts[at],
                     {"normal", "italic", "oblique", "small-caps", "bold", "bolder", "lighter",
                      "condensed", "expanded", "semi-condensed", "semi-expanded"}) ||
            (parts[at].token->kind == Kind::number && is_font_weight(parts[at])))) {
        ++at;
    }
    if (at == parts.size() || !is_font_size(parts[at++])) {
        return false;
    }
    if (at < parts.size() && parts[at].token->kind == Kind::delim) {
        if (++at == parts.size() || !is_line_height(parts[at++])) {
            return false;
        }
    }
    return at < parts.size() && is_font_family(parts.subspan(at));
}

template <typename One> bool each(Parts parts, std::size_t most, One one) {
    return parts.size() <= most && std::all_of(parts.begin(), parts.end(), one);
}

bool is_allowed(std::string_view property, Parts parts) {
    if (property == "color" || property == "background-color") {
        return each(parts, 1, is_colour);
    }
    if (property == "font") {
        return is_font(parts);
    }
    if (property == "font-family") {
        return is_font_family(parts);
    }
    if (property == "font-size") {
        return each(parts, 1, is_font_size);
    }
    if (property == "line-height") {
        return each(parts, 1, is_line_height);
    }
    if (property == "font-weight") {
        return each(parts, 1, is_font_weight);
    }
    if (among({"font-style", "font-variant", "text-align"}, property)) {
        return each(parts, 2, is_keyword);
    }
    if (property == "text-decoration") {
        return each(parts, 4, is_colour);
    }
    if (property == "text-indent") {
        return each(parts, 1, [](const Part& part) { return is_length(part, 100, 20); });
    }
    if (property == "margin") {
        return each(parts, 4, is_margin);
    }
    if (among({"margin-top", "margin-right", "margin-bottom", "margin-left"}, property)) {
        return each(parts, 1, is_margin);
    }
    if (property == "padding") {
        return each(parts, 4, is_padding);
    }
    if (among({"padding-top", "padding-right", "padding-bottom", "padding-left"}, property)) {
        return each(parts, 1, is_padding);
    }
    return false;
}

bool is_word(Kind kind) {
    return among({Kind::ident, Kind::function, Kind::hash, Kind::string, Kind::number,
                  Kind::percentage, Kind::dimension},
                 kind);
}

std::span<const CssToken> trimmed(std::span<const CssToken> tokens) {
    while (!tokens.empty() && tokens.front().kind == Kind::whitespace) {
        tokens = tokens.subspan(1);
    }
    while (!tokens.empty() && tokens.back().kind == Kind::whitespace) {
        tokens = tokens.subspan(0, tokens.size() - 1);
    }
    return tokens;
}

// "name:value" as kept, or nothing.
std::optional<std::string> kept_declaration(std::span<const CssToken> declaration) {
    declaration = trimmed(declaration);
    if (declaration.size() < 2 || declaration[0].kind != Kind::ident) {
        return std::nullopt;
    }
    const std::string property = lower(declaration[0].text);
    std::span<const CssToken> rest = trimmed(declaration.subspan(1));
    if (rest.empty() || rest[0].kind != Kind::colon) {
        return std::nullopt;
    }
    const std::span<const CssToken> value = trimmed(rest.subspan(1));
    const std::optional<std::vector<Part>> parts = parts_of(value);
    if (!parts || !is_allowed(property, *parts)) {
        return std::nullopt;
    }
    std::string text = property + ":";
    for (std::size_t i = 0; i < value.size(); ++i) {
        // Tokens a comment kept apart would run together.
        if (i > 0 && value[i - 1].kind != Kind::function && is_word(value[i - 1].kind) &&
            is_word(value[i].kind)) {
            text += ' ';
        }
        text += *written(value[i]);
    }
    return text.size() <= 200 ? std::optional(text) : std::nullopt;
}

} // namespace

std::string SafeStyle(std::string_view style) {
    const std::vector<CssToken> tokens = TokenizeCss(style);
    std::string kept;
    // A declaration ends at a semicolon outside any block or function.
    std::size_t begin = 0;
    int depth = 0;
    for (std::size_t i = 0; i <= tokens.size(); ++i) {
        if (i < tokens.size() && !(tokens[i].kind == Kind::semicolon && depth == 0)) {
            const Kind kind = tokens[i].kind;
            depth +=
                among({Kind::function, Kind::open_paren, Kind::open_square, Kind::open_curly}, kind)
                    ? 1
                : among({Kind::close_paren, Kind::close_square, Kind::close_curly}, kind) &&
                        depth > 0
                    ? -1
                    : 0;
            continue;
        }
        const auto declaration = std::span(tokens).subspan(begin, i - begin);
        if (const std::optional<std::string> text = kept_declaration(declaration)) {
            kept += (kept.empty() ? "" : ";") + *text;
        }
        begin = i + 1;
    }
    return kept;
}

} // namespace offline
