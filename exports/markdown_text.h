#pragma once
// The inline half of the Markdown conversion: text escaped and its blanks collapsed as a browser
// collapses them, with the markup written between.

#include <string>
#include <string_view>
#include <vector>

namespace exports {

class InlineText {
public:
    // Text as HTML has it: runs of blanks become one space, none at the start of a line.
    void text(std::string_view raw);
    // Markdown or HTML written as it is, after any space that is due.
    void markup(std::string_view written);
    // A line break: a backslash at the line end, or <br> where a line cannot end (headings).
    void line_break(bool in_heading);
    // The text so far without blanks or breaks at either end.
    std::string finish() const;
    bool empty() const { return m_out.empty(); }
    // Whether blanks came before the first text.
    bool leading_blank() const { return m_leading_blank; }
    // Whether a space is due before the next text: it goes outside emphasis written around it.
    bool space_due() const { return m_space; }
    void space() { m_space = !m_out.empty() && !m_line_start; }
    // Whether the next markup would stand right after this character.
    bool touches(char c) const { return !m_space && !m_out.empty() && m_out.back() == c; }

private:
    void flush_space();

    std::string m_out;
    bool m_space = false;
    bool m_line_start = true;
    bool m_leading_blank = false;
};

// The text without control characters other than tab and line ends, which are no text (a
// character reference can still give them after the body's own were dropped).
std::string WithoutControls(std::string_view text);

// Whether `**` and `*` around this written text are read as emphasis whatever stands beside:
// it starts and ends with a letter or digit, not a blank or punctuation.
bool EmphasisSafe(std::string_view written);

// A link or picture address for Markdown: characters that end or break a destination, and the
// braces of a Hugo shortcode, are percent-encoded; "&" and "\" escaped.
std::string Destination(std::string_view address);

// The blocks one after another, `between` each two.
std::string Joined(const std::vector<std::string>& blocks, std::string_view between);

// `text` with `first` before its first line and `rest` before every other; blanks that would
// end a line are left out.
std::string Indented(std::string_view text, std::string_view first, std::string_view rest);

// Whether Hugo, which reads a page before Markdown does, would take something in the written text
// for its own: a shortcode's opening brace pair or the summary divider.
bool HugoReads(std::string_view written);

std::size_t LongestBacktickRun(std::string_view text);

// `text` as a code span, with a fence longer than any run of backticks in it.
std::string CodeSpan(std::string_view text);

} // namespace exports
