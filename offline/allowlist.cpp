#include "offline/allowlist.h"

#include "offline/gumbo_document.h"

#include <algorithm>
#include <array>
#include <vector>

namespace offline {
namespace {

using Names = std::initializer_list<std::string_view>;

bool among(Names names, std::string_view name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

// Text, phrasing, blocks, lists, tables and quotes of an old blog post.
const Names kept_elements{
    "a",    "abbr",  "b",     "bdi",   "big",    "blockquote", "br",  "caption", "center", "cite",
    "code", "dd",    "del",   "dfn",   "div",    "dl",         "dt",  "em",      "font",   "h1",
    "h2",   "h3",    "h4",    "h5",    "h6",     "hr",         "i",   "img",     "ins",    "kbd",
    "li",   "mark",  "nobr",  "ol",    "p",      "pre",        "q",   "rp",      "rt",     "ruby",
    "s",    "samp",  "small", "span",  "strike", "strong",     "sub", "sup",     "table",  "tbody",
    "td",   "tfoot", "th",    "thead", "tr",     "tt",         "u",   "ul",      "var",    "wbr"};

// Gone with everything inside: they run code, load or submit, hold what no reader sees, or hold
// markup that parsers read differently (foreign content, select).
const Names dropped_with_content{
    "script",   "style",  "template", "noscript", "iframe",   "object",  "embed",
    "applet",   "select", "option",   "optgroup", "datalist", "button",  "textarea",
    "input",    "keygen", "math",     "svg",      "title",    "noembed", "noframes",
    "frameset", "frame",  "audio",    "video",    "canvas",   "head",    "base",
    "link",     "meta",   "portal",   "param",    "source",   "track",   "area"};

const Names void_elements{"br", "hr", "img", "wbr"};

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

bool is_letter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

std::string lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), AsciiLower);
    return out;
}

std::string_view trimmed(std::string_view text) {
    constexpr std::string_view blanks = " \t\n\f\r";
    const std::size_t begin = text.find_first_not_of(blanks);
    if (begin == std::string_view::npos) {
        return {};
    }
    return text.substr(begin, text.find_last_not_of(blanks) - begin + 1);
}

// "12", "+1", "-2"
bool is_number(std::string_view value, bool signed_number) {
    if (signed_number && !value.empty() && (value[0] == '+' || value[0] == '-')) {
        value.remove_prefix(1);
    }
    return !value.empty() && value.size() <= 6 && std::all_of(value.begin(), value.end(), is_digit);
}

// "300", "50%", "12px"
bool is_length(std::string_view value) {
    if (value.ends_with("%")) {
        value.remove_suffix(1);
    } else if (value.ends_with("px")) {
        value.remove_suffix(2);
    }
    return is_number(value, false);
}

// "#ff0000", "red"
bool is_colour(std::string_view value) {
    return !value.empty() && value.size() <= 32 &&
           std::all_of(value.begin(), value.end(),
                       [](char c) { return is_letter(c) || is_digit(c) || c == '#'; });
}

struct AttributeRule {
    std::string_view name;
    std::vector<std::string_view> elements;
    bool (*valid)(std::string_view value);
};

bool any_text(std::string_view) {
    return true;
}
bool number(std::string_view value) {
    return is_number(value, false);
}
bool signed_number(std::string_view value) {
    return is_number(value, true);
}
bool length(std::string_view value) {
    return is_length(value);
}
bool colour(std::string_view value) {
    return is_colour(value);
}
bool alignment(std::string_view value) {
    return among({"left", "right", "center", "justify"}, lower(value));
}
bool vertical_alignment(std::string_view value) {
    return among({"top", "middle", "bottom", "baseline"}, lower(value));
}
bool list_type(std::string_view value) {
    return among({"1", "a", "A", "i", "I", "disc", "circle", "square"}, value);
}

const std::array<AttributeRule, 17> attribute_rules{{
    {"title", {"a", "img", "abbr", "dfn"}, any_text},
    {"alt", {"img"}, any_text},
    {"width", {"img", "table", "td", "th"}, length},
    {"height", {"img", "td", "th"}, length},
    {"color", {"font"}, colour},
    {"size", {"font"}, signed_number},
    {"face", {"font"}, any_text},
    {"align",
     {"p", "div", "h1", "h2", "h3", "h4", "h5", "h6", "table", "tr", "td", "th", "caption"},
     alignment},
    {"valign", {"tr", "td", "th"}, vertical_alignment},
    {"bgcolor", {"table", "tr", "td", "th"}, colour},
    {"border", {"table"}, number},
    {"cellpadding", {"table"}, number},
    {"cellspacing", {"table"}, number},
    {"colspan", {"td", "th"}, number},
    {"rowspan", {"td", "th"}, number},
    {"start", {"ol"}, number},
    {"type", {"ol", "ul"}, list_type},
}};

} // namespace

ElementRule RuleFor(std::string_view element) {
    if (among(kept_elements, element)) {
        return ElementRule::keep;
    }
    if (among(dropped_with_content, element)) {
        return ElementRule::drop_content;
    }
    return ElementRule::unwrap;
}

std::optional<std::string> KeptAttribute(std::string_view element, std::string_view name,
                                         std::string_view value) {
    for (const AttributeRule& rule : attribute_rules) {
        if (rule.name != name) {
            continue;
        }
        if (std::find(rule.elements.begin(), rule.elements.end(), element) == rule.elements.end()) {
            return std::nullopt;
        }
        const std::string_view kept = rule.valid == any_text ? value : trimmed(value);
        if (!rule.valid(kept)) {
            return std::nullopt;
        }
        return std::string(kept);
    }
    return std::nullopt;
}

bool IsVoidElement(std::string_view element) {
    return among(void_elements, element);
}

} // namespace offline
