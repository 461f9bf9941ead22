#pragma once
// A reader of the style attributes a cleaned body holds, apart from the cleaning's own: it takes
// only the plain form the cleaning writes ("name:value;…", strings in double quotes, no escape,
// comment or "!"), reads every number the way CSS does (sign, fraction, exponent, then its unit)
// and judges it against bounds of its own, so that no length can cover the page.

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace check {

// Bounds in px (1em = 16px) and in percent; `times` bounds em, ex, ch and % as a multiple of the
// parent's size (font-size) or of the font size (line-height); a bare number as line-height.
struct LengthBounds {
    double px;
    double percent;
};

// One piece of a style value.
struct StyleItem {
    enum Kind { word, number, string, hash, open, close, separator } kind;
    std::string text; // a word, a string's content, a separator, a number's unit ("%" too)
    double value = 0; // numbers, with their sign
    bool signed_minus = false;
    bool in_function = false;
};

inline bool style_letter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' ||
           static_cast<unsigned char>(c) >= 0x80;
}
inline bool style_digit(char c) {
    return c >= '0' && c <= '9';
}

// The value's items, or a description of what this reader does not take.
inline std::vector<StyleItem> style_items(std::string_view value, std::string& fault) {
    std::vector<StyleItem> items;
    bool in_function = false;
    std::size_t i = 0;
    const auto at = [&](std::size_t k) { return k < value.size() ? value[k] : '\0'; };
    while (i < value.size() && fault.empty()) {
        const char c = value[i];
        const bool number_start =
            style_digit(c) || (c == '.' && style_digit(at(i + 1))) ||
            ((c == '+' || c == '-') &&
             (style_digit(at(i + 1)) || (at(i + 1) == '.' && style_digit(at(i + 2)))));
        if (number_start) {
            std::size_t end = i + (c == '+' || c == '-' ? 1 : 0);
            while (style_digit(at(end)) || (at(end) == '.' && style_digit(at(end + 1)))) {
                ++end;
            }
            if ((at(end) == 'e' || at(end) == 'E') &&
                (style_digit(at(end + 1)) ||
                 ((at(end + 1) == '+' || at(end + 1) == '-') && style_digit(at(end + 2))))) {
                end += 2;
                while (style_digit(at(end))) {
                    ++end;
                }
            }
            StyleItem item{StyleItem::number, {}, 0, c == '-', in_function};
            item.value = std::strtod(std::string(value.substr(i, end - i)).c_str(), nullptr);
            i = end;
            if (at(i) == '%') {
                item.text = "%";
                ++i;
            }
            while (i < value.size() && style_letter(value[i])) {
                item.text +=
                    static_cast<char>(std::tolower(static_cast<unsigned char>(value[i++])));
            }
            items.push_back(item);
        } else if (style_letter(c) || c == '-') {
            std::size_t end = i;
            while (style_letter(at(end)) || style_digit(at(end)) || at(end) == '-') {
                ++end;
            }
            items.push_back(
                {StyleItem::word, std::string(value.substr(i, end - i)), 0, false, in_function});
            i = end;
            if (at(i) == '(') {
                const std::string name = items.back().text;
                if (in_function ||
                    (name != "rgb" && name != "rgba" && name != "hsl" && name != "hsla")) {
                    fault = "function " + name;
                }
                items.back().kind = StyleItem::open;
                in_function = true;
                ++i;
            }
        } else if (c == ')') {
            if (!in_function) {
                fault = "unopened )";
            }
            items.push_back({StyleItem::close, ")", 0, false, true});
            in_function = false;
            ++i;
        } else if (c == '"') {
            const std::size_t end = value.find('"', i + 1);
            if (end == std::string_view::npos) {
                fault = "open string";
                break;
            }
            items.push_back({StyleItem::string, std::string(value.substr(i + 1, end - i - 1)), 0,
                             false, in_function});
            i = end + 1;
        } else if (c == '#') {
            std::size_t end = i + 1;
            while (std::isxdigit(static_cast<unsigned char>(at(end)))) {
                ++end;
            }
            items.push_back(
                {StyleItem::hash, std::string(value.substr(i, end - i)), 0, false, in_function});
            i = end;
        } else if (c == ' ' || c == ',' || c == '/') {
            if (c != ' ') {
                items.push_back({StyleItem::separator, std::string(1, c), 0, false, in_function});
            }
            ++i;
        } else {
            fault = "character " + std::string(1, c);
        }
    }
    if (in_function && fault.empty()) {
        fault = "open function";
    }
    return items;
}

// How many px one of the unit is, or 0 for a unit this reader does not know as a length.
inline double px_of_unit(std::string_view unit) {
    if (unit == "px")
        return 1;
    if (unit == "pt")
        return 96.0 / 72;
    if (unit == "pc")
        return 16;
    if (unit == "in")
        return 96;
    if (unit == "cm")
        return 96 / 2.54;
    if (unit == "mm")
        return 96 / 25.4;
    if (unit == "q")
        return 96 / 101.6;
    if (unit == "em" || unit == "rem")
        return 16;
    if (unit == "ex" || unit == "ch")
        return 8;
    return 0;
}

// What is wrong with a number where a length of at most `bounds` stands ("" when nothing).
inline std::string length_fault(const StyleItem& item, LengthBounds bounds) {
    if (item.text.empty()) {
        return item.value == 0 ? "" : "number without unit";
    }
    const bool fits = item.text == "%" ? item.value <= bounds.percent + 1e-9
                                       : px_of_unit(item.text) > 0 &&
                                             item.value * px_of_unit(item.text) <= bounds.px + 1e-9;
    return fits ? "" : "length out of bounds";
}

// font-size: at most 48px, or no larger than the parent's (em, ex, ch, %).
inline std::string font_size_fault(const StyleItem& item) {
    const std::string& unit = item.text;
    if (unit == "em" || unit == "ex" || unit == "ch" || unit == "%") {
        const double times = unit == "%" ? item.value / 100 : item.value * px_of_unit(unit) / 16;
        return times <= 1 + 1e-9 ? "" : "font size grows";
    }
    return item.text.empty() ? "font size without unit" : length_fault(item, {48, 0});
}

// line-height: at most 3 times the font size, or 96px.
inline std::string line_height_fault(const StyleItem& item) {
    const std::string& unit = item.text;
    if (unit.empty() || unit == "em" || unit == "ex" || unit == "ch" || unit == "%") {
        const double times = unit.empty()  ? item.value
                             : unit == "%" ? item.value / 100
                                           : item.value * px_of_unit(unit) / 16;
        return times <= 3 + 1e-9 ? "" : "line height too tall";
    }
    return length_fault(item, {96, 0});
}

// What is wrong with a number of `property`, given the item before it.
inline std::string number_fault(std::string_view property, const StyleItem& item,
                                const StyleItem* before) {
    if (item.signed_minus || std::isnan(item.value)) {
        return "negative number";
    }
    if (item.in_function) {
        return item.text.empty() || item.text == "%" || item.text == "deg" ? "" : "unit in colour";
    }
    if (property.starts_with("margin") || property == "text-indent") {
        return length_fault(item, {100, 20});
    }
    if (property.starts_with("padding")) {
        return length_fault(item, {50, 10});
    }
    if (property == "font-size") {
        return font_size_fault(item);
    }
    if (property == "line-height") {
        return line_height_fault(item);
    }
    if (property == "font-weight" || (property == "font" && item.text.empty())) {
        if (property == "font" && before && before->text == "/") {
            return line_height_fault(item);
        }
        return item.text.empty() && item.value <= 1000 ? "" : "weight";
    }
    if (property == "font") {
        return before && before->text == "/" ? line_height_fault(item) : font_size_fault(item);
    }
    return "number in " + std::string(property);
}

constexpr std::string_view allowed_style_properties =
    "color background-color font font-family font-size font-style font-weight font-variant "
    "line-height text-align text-decoration text-indent margin margin-top margin-right "
    "margin-bottom margin-left padding padding-top padding-right padding-bottom padding-left";

inline bool is_style_property(std::string_view name) {
    for (std::size_t at = 0; at < allowed_style_properties.size();) {
        std::size_t end = allowed_style_properties.find(' ', at);
        end = end == std::string_view::npos ? allowed_style_properties.size() : end;
        if (allowed_style_properties.substr(at, end - at) == name) {
            return true;
        }
        at = end + 1;
    }
    return false;
}

// Descriptions of what a style attribute as written should not hold; empty when it is fine.
inline std::vector<std::string> StyleFaults(std::string_view style) {
    std::vector<std::string> faults;
    for (const char c : style) {
        if (c == '\\' || c == '!' || c == '\'' || c == '{' || c == '}' || c == '[' || c == ']' ||
            c == '<' || c == '>' || c == '@' || static_cast<unsigned char>(c) < 0x20) {
            faults.push_back("character " + std::string(1, c));
            return faults;
        }
    }
    if (style.find("/*") != std::string_view::npos) {
        faults.push_back("comment");
        return faults;
    }
    // Declarations end at semicolons outside strings.
    std::vector<std::string_view> declarations;
    bool quoted = false;
    std::size_t begin = 0;
    for (std::size_t i = 0; i <= style.size(); ++i) {
        if (i < style.size() && style[i] == '"') {
            quoted = !quoted;
        }
        if (i == style.size() || (style[i] == ';' && !quoted)) {
            declarations.push_back(style.substr(begin, i - begin));
            begin = i + 1;
        }
    }
    for (const std::string_view declaration : declarations) {
        const std::size_t colon = declaration.find(':');
        const std::string_view property = declaration.substr(0, colon);
        if (colon == std::string_view::npos || !is_style_property(property)) {
            faults.push_back("declaration " + std::string(declaration));
            continue;
        }
        std::string fault;
        const std::vector<StyleItem> items = style_items(declaration.substr(colon + 1), fault);
        for (std::size_t i = 0; i < items.size() && fault.empty(); ++i) {
            if (items[i].kind == StyleItem::number) {
                fault = number_fault(property, items[i], i > 0 ? &items[i - 1] : nullptr);
            }
        }
        if (!fault.empty()) {
            faults.push_back(std::string(property) + ": " + fault);
        }
    }
    return faults;
}

} // namespace check
