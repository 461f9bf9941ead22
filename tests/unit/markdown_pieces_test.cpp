#include "exports/markdown_pieces.h"

#include "exports/markdown.h"
#include "offline/body_pieces.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Numbered lines of Chinese prose, each in `open` … `close`, until the body holds more than three
// pieces' worth of UTF-16 units.
std::string numbered_lines(const std::string& open, const std::string& close) {
    std::string body;
    for (int line = 0; body.size() < offline::body_piece_units * 8; ++line) {
        body += open + "第" + std::to_string(line) + "行，春天夏天。" + close;
    }
    return body;
}

int count_of(const std::string& text, const std::string& what) {
    int count = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++count;
    }
    return count;
}

// Whether each numbered line is found once, in order.
bool lines_once_in_order(const std::string& markdown, int lines) {
    std::size_t from = 0;
    for (int line = 0; line < lines; ++line) {
        const std::string text = "第" + std::to_string(line) + "行，春天夏天。";
        const std::size_t at = markdown.find(text, from);
        if (at == std::string::npos) {
            return false;
        }
        from = at + text.size();
    }
    return count_of(markdown, "行，春天夏天。") == lines;
}

TEST(LongBodyMarkdown, ParagraphsComeOutAsFromTheWholeTree) {
    const std::string body = numbered_lines("<p>", "</p>");
    const std::string whole = exports::HtmlToMarkdown(body);
    EXPECT_TRUE(exports::BodyToMarkdown(body) == whole);
    EXPECT_EQ(exports::BodyToMarkdown("<p>短</p>"), "短");
}

TEST(LongBodyMarkdown, ALongRunIsCutAndEveryLineComesOnceInOrder) {
    const std::string body = "<div><b>" + numbered_lines("", "<br>") + "</b></div>";
    const int lines = count_of(body, "<br>");
    const std::string markdown = exports::BodyToMarkdown(body);
    EXPECT_TRUE(lines_once_in_order(markdown, lines));
    // The one block ends at each cut and starts again after it: the tree was never whole.
    EXPECT_GE(count_of(markdown, "\n\n"), 2);
    EXPECT_EQ(count_of(exports::HtmlToMarkdown(body), "\n\n"), 0);
}

} // namespace
