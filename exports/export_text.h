#pragma once
// Text written into the exports' own formats: YAML front matter and XML.

#include <string>
#include <string_view>

namespace exports {

// A double-quoted string, quotes included, that YAML and TOML both read back as the text:
// control characters and the characters YAML counts as line ends as \u escapes.
std::string QuotedText(std::string_view text);

// The UTF-8 text without the characters XML 1.0 cannot hold (control characters other than
// tab and line ends, U+FFFE and U+FFFF).
std::string XmlCharacters(std::string_view text);

// Text as XML element content or a double-quoted attribute value.
std::string XmlText(std::string_view text);

// One or more CDATA sections holding the text: "]]>" is split across two.
std::string Cdata(std::string_view text);

// A WordPress slug: ASCII letters and digits in lower case, blanks as "-", everything else
// percent-encoded in lower case, as WordPress writes the names of Chinese terms.
std::string Nicename(std::string_view text);

} // namespace exports
