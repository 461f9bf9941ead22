#include "exports/markdown.h"

#include "exports/html_markup.h"
#include "exports/html_tree.h"
#include "exports/markdown_leaves.h"
#include "exports/markdown_text.h"
#include "offline/gumbo_document.h"

#include <algorithm>
#include <unordered_map>
#include <vector>

namespace exports {
namespace {

class Converter {
public:
    std::vector<std::string> blocks(const GumboNode& parent, int depth) {
        std::vector<std::string> out;
        InlineText run;
        const auto end_run = [&] {
            if (std::string paragraph = run.finish(); !paragraph.empty()) {
                out.push_back(std::move(paragraph));
            }
            run = InlineText();
        };
        for (unsigned i = 0; i < ChildCount(parent); ++i) {
            const GumboNode& node = Child(parent, i);
            if (!IsElement(node) || !block_like(node)) {
                inline_node(node, run, false, depth + 1);
                continue;
            }
            end_run();
            std::string block = block_node(node, depth + 1);
            if (!block.empty()) {
                out.push_back(std::move(block));
            }
        }
        end_run();
        return out;
    }

private:
    bool block_like(const GumboNode& node) {
        if (!IsElement(node)) {
            return false;
        }
        if (IsBlockTag(node.v.element.tag)) {
            return true;
        }
        const auto known = m_block_like.find(&node);
        if (known != m_block_like.end()) {
            return known->second;
        }
        bool found = false;
        for (unsigned i = 0; i < ChildCount(node) && !found; ++i) {
            found = block_like(Child(node, i));
        }
        m_block_like.emplace(&node, found);
        return found;
    }

    // An element kept as HTML around its content converted to Markdown.
    std::string wrapped(const GumboNode& element, int depth) {
        const std::string inside = Joined(blocks(element, depth), "\n\n");
        return StartTag(element) + "\n\n" + (inside.empty() ? "" : inside + "\n\n") +
               EndTag(element);
    }

    std::string block_node(const GumboNode& element, int depth) {
        if (depth > max_depth) {
            InlineText text;
            text.text(FlatText(element));
            return text.finish();
        }
        const GumboTag tag = element.v.element.tag;
        switch (tag) {
        case GUMBO_TAG_H1:
        case GUMBO_TAG_H2:
        case GUMBO_TAG_H3:
        case GUMBO_TAG_H4:
        case GUMBO_TAG_H5:
        case GUMBO_TAG_H6:
            return heading(element, depth, tag - GUMBO_TAG_H1 + 1);
        case GUMBO_TAG_BLOCKQUOTE:
            if (HasPresentation(element)) {
                return wrapped(element, depth);
            }
            return Indented(Joined(blocks(element, depth), "\n\n"), "> ", "> ");
        case GUMBO_TAG_UL:
        case GUMBO_TAG_OL:
            return plain_list(element) ? list(element, depth) : OuterHtml(element);
        case GUMBO_TAG_PRE:
            return PreformattedMarkdown(element);
        case GUMBO_TAG_HR:
            return HasPresentation(element) ? OuterHtml(element) : "* * *";
        case GUMBO_TAG_P:
            // Written around Markdown, a paragraph inside would end the styled one.
            return HasPresentation(element) ? OuterHtml(element)
                                            : Joined(blocks(element, depth), "\n\n");
        case GUMBO_TAG_DIV:
        case GUMBO_TAG_ARTICLE:
        case GUMBO_TAG_SECTION:
        case GUMBO_TAG_HEADER:
        case GUMBO_TAG_FOOTER:
        case GUMBO_TAG_MAIN:
        case GUMBO_TAG_NAV:
        case GUMBO_TAG_ASIDE:
        case GUMBO_TAG_LI:
        case GUMBO_TAG_SPAN:
        case GUMBO_TAG_FONT:
            if (!HasPresentation(element)) {
                return Joined(blocks(element, depth), "\n\n");
            }
            return wrapped(element, depth);
        case GUMBO_TAG_TABLE:
        case GUMBO_TAG_DL:
        case GUMBO_TAG_DETAILS:
        case GUMBO_TAG_FIELDSET:
        case GUMBO_TAG_STYLE:
        case GUMBO_TAG_XMP:
        case GUMBO_TAG_LISTING:
        case GUMBO_TAG_PLAINTEXT:
            return OuterHtml(element);
        default:
            return wrapped(element, depth);
        }
    }

    std::string heading(const GumboNode& element, int depth, int level) {
        if (HasPresentation(element)) {
            return OuterHtml(element);
        }
        if (block_content(element)) {
            return wrapped(element, depth);
        }
        InlineText text;
        children_inline(element, text, true, depth);
        const std::string written = text.finish();
        return written.empty() ? std::string() : std::string(level, '#') + " " + written;
    }

    bool block_content(const GumboNode& element) {
        for (unsigned i = 0; i < ChildCount(element); ++i) {
            if (block_like(Child(element, i))) {
                return true;
            }
        }
        return false;
    }

    // A list Markdown can say: items only, none of them styled, numbered from its start.
    static bool plain_list(const GumboNode& element) {
        if (HasPresentation(element)) {
            return false;
        }
        for (unsigned i = 0; i < ChildCount(element); ++i) {
            const GumboNode& child = Child(element, i);
            const bool fits =
                IsElement(child)
                    ? TagOf(child) == GUMBO_TAG_LI && !HasPresentation(child)
                    : child.type == GUMBO_NODE_WHITESPACE || child.type == GUMBO_NODE_COMMENT;
            if (!fits) {
                return false;
            }
        }
        return true;
    }

    std::string list(const GumboNode& element, int depth) {
        const bool ordered = element.v.element.tag == GUMBO_TAG_OL;
        long number = 1;
        if (ordered) {
            const std::string start = Attribute(element, "start");
            if (!start.empty() && start.size() < 9 &&
                std::all_of(start.begin(), start.end(),
                            [](char c) { return c >= '0' && c <= '9'; })) {
                number = std::stol(start);
            }
        }
        std::vector<std::vector<std::string>> contents;
        bool loose = false;
        for (unsigned i = 0; i < ChildCount(element); ++i) {
            const GumboNode& item = Child(element, i);
            if (IsElement(item)) {
                contents.push_back(blocks(item, depth + 1));
                loose = loose || contents.back().size() > 1;
            }
        }
        // Every list of a kind takes the other marker than the one before it, so that no two
        // lists side by side, wherever they stand, are read as one; the lists inside this one
        // came before it.
        const bool other = (ordered ? m_ordered_lists : m_bullet_lists)++ % 2 == 1;
        const std::string bullet = other ? "*" : "-";
        const std::string delimiter = other ? ")" : ".";
        std::vector<std::string> items;
        for (const std::vector<std::string>& parts : contents) {
            const std::string marker = ordered ? std::to_string(number++) + delimiter : bullet;
            const std::string body = Joined(parts, "\n\n");
            items.push_back(
                body.empty() ? marker
                             : Indented(body, marker + " ", std::string(marker.size() + 1, ' ')));
        }
        return Joined(items, loose ? "\n\n" : "\n");
    }

    void children_inline(const GumboNode& element, InlineText& out, bool heading, int depth) {
        for (unsigned i = 0; i < ChildCount(element); ++i) {
            inline_node(Child(element, i), out, heading, depth + 1);
        }
    }

    // The element's content written alone, for emphasis and link text; blanks at its ends go
    // outside the markers.
    std::string inner(const GumboNode& element, InlineText& out, bool heading, int depth) {
        InlineText inside;
        children_inline(element, inside, heading, depth);
        if (inside.leading_blank()) {
            out.space();
        }
        m_trailing_blank = inside.space_due();
        return inside.finish();
    }

    void emphasis(const GumboNode& element, InlineText& out, bool heading, int depth,
                  std::string_view marker, std::string_view html) {
        const std::string written = inner(element, out, heading, depth);
        if (written.empty()) {
            return;
        }
        // Right after another marker, the two runs would read as one longer run.
        if (EmphasisSafe(written) && !out.touches(marker.front())) {
            out.markup(std::string(marker) + written + std::string(marker));
        } else {
            out.markup("<" + std::string(html) + ">" + written + "</" + std::string(html) + ">");
        }
        if (m_trailing_blank) {
            out.space();
        }
    }

    void inline_node(const GumboNode& node, InlineText& out, bool heading, int depth) {
        if (node.type == GUMBO_NODE_TEXT || node.type == GUMBO_NODE_WHITESPACE ||
            node.type == GUMBO_NODE_CDATA) {
            out.text(node.v.text.text);
            return;
        }
        if (!IsElement(node)) {
            return; // comments say nothing a reader sees
        }
        if (depth > max_depth) {
            out.text(FlatText(node));
            return;
        }
        const GumboTag tag = node.v.element.tag;
        const bool presentation = HasPresentation(node);
        switch (tag) {
        case GUMBO_TAG_BR:
            out.line_break(heading);
            return;
        case GUMBO_TAG_B:
        case GUMBO_TAG_STRONG:
            if (!presentation) {
                emphasis(node, out, heading, depth, "**", "strong");
                return;
            }
            break;
        case GUMBO_TAG_I:
        case GUMBO_TAG_EM:
            if (!presentation) {
                emphasis(node, out, heading, depth, "*", "em");
                return;
            }
            break;
        case GUMBO_TAG_CODE:
        case GUMBO_TAG_TT:
        case GUMBO_TAG_KBD:
        case GUMBO_TAG_SAMP:
            if (!presentation && !HasElementChild(node)) {
                std::string text;
                for (const char c : WithoutControls(FlatText(node))) {
                    text +=
                        std::string_view(" \t\n\r\f").find(c) == std::string_view::npos ? c : ' ';
                }
                if (!text.empty()) {
                    // A code span is not escaped: what Hugo reads goes as HTML with references.
                    out.markup(HugoReads(text) ? "<code>" + EscapeMarkupText(text) + "</code>"
                                               : CodeSpan(text));
                }
                return;
            }
            break;
        case GUMBO_TAG_A:
            if (!presentation && gumbo_get_attribute(&node.v.element.attributes, "href")) {
                const std::string label = inner(node, out, heading, depth);
                out.markup("[" + label + "](" + Destination(Attribute(node, "href")) +
                           LinkTitlePart(node) + ")");
                if (m_trailing_blank) {
                    out.space();
                }
                return;
            }
            break;
        case GUMBO_TAG_IMG:
            if (!presentation && gumbo_get_attribute(&node.v.element.attributes, "src")) {
                InlineText alt;
                alt.markup("");
                alt.text(Attribute(node, "alt"));
                const std::string written = alt.finish();
                // Hugo's Markdown keeps the backslashes of escapes in a picture's alternative
                // text: such a text goes as HTML.
                if (written.find('\\') == std::string::npos) {
                    out.markup("![" + written + "](" + Destination(Attribute(node, "src")) +
                               LinkTitlePart(node) + ")");
                    return;
                }
            }
            break;
        default:
            break;
        }
        if (!presentation &&
            (tag == GUMBO_TAG_SPAN || tag == GUMBO_TAG_FONT || tag == GUMBO_TAG_A)) {
            children_inline(node, out, heading, depth);
            return;
        }
        out.markup(StartTag(node));
        if (!IsVoidElement(node)) {
            children_inline(node, out, heading, depth);
            out.markup(EndTag(node));
        }
    }

    std::unordered_map<const GumboNode*, bool> m_block_like;
    bool m_trailing_blank = false;
    unsigned m_ordered_lists = 0;
    unsigned m_bullet_lists = 0;
};

const GumboNode* body_of(const GumboNode* root) {
    for (unsigned i = 0; i < ChildCount(*root); ++i) {
        const GumboNode& node = Child(*root, i);
        if (TagOf(node) == GUMBO_TAG_BODY) {
            return &node;
        }
    }
    return nullptr;
}

} // namespace

std::string HtmlToMarkdown(std::string_view html) {
    // Control characters other than tab and line ends are dropped, as in the WordPress export;
    // gumbo would show them as U+FFFD.
    const std::string source = WithoutControls(html);
    const offline::GumboDocument document = offline::ParseHtml(source);
    const GumboNode* body = body_of(document->root);
    if (!body) {
        return {};
    }
    return Joined(Converter().blocks(*body, 0), "\n\n");
}

} // namespace exports
