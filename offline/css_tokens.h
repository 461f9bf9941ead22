#pragma once
// The tokens of a CSS text as a browser reads them (CSS Syntax Level 3): comments dropped,
// escapes decoded, numbers with their signs, fractions and exponents, units and percentages,
// strings, functions and the rest. What a style declares is judged on these, never on the text.

#include <string>
#include <string_view>
#include <vector>

namespace offline {

enum class CssTokenKind {
    whitespace,
    ident,    // text: the name, escapes decoded
    function, // text: the name before "("
    at_keyword,
    hash,   // text: after "#"
    string, // text: the content, escapes decoded
    bad_string,
    url, // url(...) without quotes, and any bad url
    delim,
    number,     // value, representation
    percentage, // value, representation
    dimension,  // value, representation, text: the unit, escapes decoded
    colon,
    semicolon,
    comma,
    open_square,
    close_square,
    open_paren,
    close_paren,
    open_curly,
    close_curly,
    cdo_or_cdc, // "<!--" or "-->"
};

struct CssToken {
    CssTokenKind kind;
    std::string text;           // see the kind; for a delim, the character
    double value = 0;           // numbers, percentages, dimensions
    std::string representation; // the number as written: sign, digits, point, exponent
};

std::vector<CssToken> TokenizeCss(std::string_view css);

} // namespace offline
