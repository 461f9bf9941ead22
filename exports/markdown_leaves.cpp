#include "exports/markdown_leaves.h"

#include "exports/html_markup.h"
#include "exports/html_tree.h"
#include "exports/markdown_text.h"

#include <algorithm>

namespace exports {

std::string PreformattedMarkdown(const GumboNode& element) {
    std::string text;
    for (unsigned i = 0; i < ChildCount(element); ++i) {
        const GumboNode& node = Child(element, i);
        if (IsElement(node) || HasPresentation(element)) {
            return OuterHtml(element);
        }
        if (node.type == GUMBO_NODE_TEXT || node.type == GUMBO_NODE_WHITESPACE ||
            node.type == GUMBO_NODE_CDATA) {
            text += WithoutControls(node.v.text.text);
        }
    }
    std::string lines;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            if (i + 1 < text.size() && text[i + 1] == '\n') {
                continue;
            }
            lines += '\n';
        } else {
            lines += text[i];
        }
    }
    if (HugoReads(lines)) {
        return OuterHtml(element);
    }
    const std::string fence(std::max<std::size_t>(3, LongestBacktickRun(lines) + 1), '`');
    if (!lines.empty() && lines.back() != '\n') {
        lines += '\n';
    }
    return fence + "\n" + lines + fence;
}

std::string LinkTitlePart(const GumboNode& element) {
    InlineText title;
    title.markup("");
    title.text(Attribute(element, "title"));
    const std::string written = title.finish();
    if (written.empty()) {
        return {};
    }
    std::string quoted = " \"";
    for (const char c : written) {
        quoted += c == '"' ? std::string("\\\"") : std::string(1, c);
    }
    return quoted + "\"";
}

} // namespace exports
