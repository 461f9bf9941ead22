#pragma once
// Text written into the exports' own formats: YAML front matter and XML.

#include <string>
#include <string_view>

namespace exports {

// A double-quoted string, quotes included, that YAML and TOML both read back as the text: what
// YAML refuses in a document (C0 and C1 controls, U+FFFE, U+FFFF) and what it takes for a line end
// or byte order mark as \u escapes; broken UTF-8 and surrogates as U+FFFD.
std::string QuotedText(std::string_view text);

// The UTF-8 text without the characters XML 1.0 cannot hold (control characters other than
// tab and line ends, U+FFFE and U+FFFF).
std::string XmlCharacters(std::string_view text);

// Text as XML element content or a double-quoted attribute value.
std::string XmlText(std::string_view text);

// HTML with its square brackets as character references, so that WordPress, which expands
// "[shortcodes]" in a post's content and attribute values, reads them as text. For HTML without
// raw text elements (the copy keeps none), where a reference means the character everywhere.
std::string BracketsAsReferences(std::string_view html);

// One or more CDATA sections holding the text: "]]>" is split across two.
std::string Cdata(std::string_view text);

// A WordPress slug: ASCII letters and digits in lower case, blanks as "-", everything else
// percent-encoded in lower case, as WordPress writes the names of Chinese terms.
std::string Nicename(std::string_view text);

// The taxonomy term Hugo is given for a category or tag: the text itself when Hugo can make a
// page of it (letters and digits with blanks, "-", "_" and the punctuation Hugo leaves out of the
// page's path), otherwise "term-" and a hash of the text in 16 hex digits, and the text becomes the
// title of the term's page.
std::string HugoTerm(std::string_view text);

} // namespace exports
