// The facts of a post read from the text of its page as gumbo parses it: the title element, the
// date line after "查看文章", and the labelled category and tags after the body.

#include "offline/blank.h"
#include "offline/gumbo_document.h"
#include "offline/post_facts.h"
#include "platform/text.h"

#include <vector>

namespace offline {
namespace {

// How much of a page is parsed for its title and date line, and how much after the body for
// its category and tags: both stand close to their markers, and a long post must not be parsed
// whole (its tree would be many times its size).
constexpr std::size_t head_units = 256 * 1024;
constexpr std::size_t tail_units = 64 * 1024;

constexpr std::u16string_view article_marker = u"查看文章";
constexpr std::u16string_view body_end_marker = u"类别";

// Elements whose content a reader does not see as text.
bool hides_text(const GumboNode& node) {
    if (node.type != GUMBO_NODE_ELEMENT) {
        return false;
    }
    const GumboTag tag = node.v.element.tag;
    return tag == GUMBO_TAG_SCRIPT || tag == GUMBO_TAG_STYLE || tag == GUMBO_TAG_TITLE ||
           tag == GUMBO_TAG_TEMPLATE || tag == GUMBO_TAG_NOSCRIPT;
}

bool is_text(const GumboNode& node) {
    return node.type == GUMBO_NODE_TEXT || node.type == GUMBO_NODE_WHITESPACE ||
           node.type == GUMBO_NODE_CDATA;
}

// Every element and text node of a branch in document order, without the content of elements
// that hide their text; iterative, so no nesting runs out of stack.
std::vector<const GumboNode*> in_order(const GumboNode& root) {
    std::vector<const GumboNode*> nodes;
    std::vector<const GumboNode*> stack{&root};
    while (!stack.empty()) {
        const GumboNode* node = stack.back();
        stack.pop_back();
        nodes.push_back(node);
        if ((node->type == GUMBO_NODE_ELEMENT || node->type == GUMBO_NODE_DOCUMENT) &&
            !hides_text(*node)) {
            const GumboVector& children = node->type == GUMBO_NODE_ELEMENT
                                              ? node->v.element.children
                                              : node->v.document.children;
            for (unsigned i = children.length; i > 0; --i) {
                stack.push_back(static_cast<const GumboNode*>(children.data[i - 1]));
            }
        }
    }
    return nodes;
}

std::u16string text_of_node(const GumboNode& node) {
    return is_text(node) ? platform::utf8_to_utf16(node.v.text.text) : std::u16string();
}

// The text a branch shows.
std::u16string text_of(const GumboNode& root) {
    std::u16string text;
    for (const GumboNode* node : in_order(root)) {
        text += text_of_node(*node);
    }
    return text;
}

// The text of an element, hidden or not (the title's).
std::u16string own_text(const GumboNode& element) {
    std::u16string text;
    const GumboVector& children = element.v.element.children;
    for (unsigned i = 0; i < children.length; ++i) {
        text += text_of_node(*static_cast<const GumboNode*>(children.data[i]));
    }
    return text;
}

bool is_blank_text(std::u16string_view text) {
    for (const char16_t c : text) {
        if (!IsBlank(c)) {
            return false;
        }
    }
    return true;
}

std::string trimmed(std::u16string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return platform::utf16_to_utf8(text);
}

bool ends_segment(char16_t c) {
    return c == u'|' || c == u'\r' || c == u'\n';
}

// The text up to the first "|" or line end.
std::u16string_view segment(std::u16string_view text) {
    std::size_t end = 0;
    while (end < text.size() && !ends_segment(text[end])) {
        ++end;
    }
    return text.substr(0, end);
}

std::string utf8(std::u16string_view text) {
    return platform::utf16_to_utf8(text);
}

// At most `units` of `text` from its start, not splitting a surrogate pair.
std::u16string_view bounded(std::u16string_view text, std::size_t units) {
    if (text.size() <= units) {
        return text;
    }
    if (units > 0 && platform::is_high_surrogate(text[units - 1])) {
        --units;
    }
    return text.substr(0, units);
}

std::size_t index_of_text(const std::vector<const GumboNode*>& nodes, std::u16string_view word,
                          std::size_t from = 0) {
    for (std::size_t i = from; i < nodes.size(); ++i) {
        if (text_of_node(*nodes[i]).find(word) != std::u16string::npos) {
            return i;
        }
    }
    return nodes.size();
}

bool is_body_element(const GumboNode& node) {
    if (node.type != GUMBO_NODE_ELEMENT) {
        return false;
    }
    const GumboAttribute* id = gumbo_get_attribute(&node.v.element.attributes, "id");
    return id != nullptr && std::string_view(id->value) == "blog_text";
}

// The date line: the text after the marker up to the body element; without one, the first text
// after the marker that is not blank. Never past the body's end marker.
std::optional<PostDate> date_after(const std::vector<const GumboNode*>& nodes, std::size_t marker) {
    const std::u16string first = text_of_node(*nodes[marker]);
    std::u16string line = first.substr(first.find(article_marker) + article_marker.size());
    std::u16string until_body = line;
    bool reached_body = false;
    for (std::size_t i = marker + 1; i < nodes.size() && !reached_body; ++i) {
        reached_body = is_body_element(*nodes[i]);
        const std::u16string text = text_of_node(*nodes[i]);
        if (!reached_body && !text.empty()) {
            if (is_blank_text(line)) {
                line = text;
            }
            until_body += u'\n' + text;
        }
    }
    const std::u16string_view shown = reached_body ? until_body : line;
    return FirstDate(shown.substr(0, shown.find(body_end_marker)));
}

std::string title_in(const std::vector<const GumboNode*>& nodes) {
    for (const GumboNode* node : nodes) {
        if (node->type == GUMBO_NODE_ELEMENT && node->v.element.tag == GUMBO_TAG_TITLE) {
            const std::u16string text = own_text(*node);
            return utf8(text.substr(0, text.find(u'_')));
        }
    }
    return {};
}

// Where the body ends in the page: its end marker after the article marker that the parse of
// the page's head found as text, or nothing when there is none.
std::optional<std::size_t> body_end(std::u16string_view page, std::string_view head,
                                    const GumboNode& marker) {
    const std::size_t node_start =
        platform::utf8_to_utf16(head.substr(0, marker.v.text.start_pos.offset)).size();
    std::size_t from = page.find(article_marker, node_start);
    from = from == std::u16string_view::npos ? node_start : from + article_marker.size();
    const std::size_t end = page.find(body_end_marker, from);
    if (end == std::u16string_view::npos) {
        return std::nullopt;
    }
    return end;
}

// Every piece of text after "标签：" up to "|" or a line end, split at blanks, commas and the
// edges of elements.
std::vector<std::string> tags_in(const std::vector<const GumboNode*>& nodes) {
    constexpr std::u16string_view label = u"标签：";
    std::vector<std::string> tags;
    const std::size_t found = index_of_text(nodes, label);
    std::u16string piece;
    const auto keep = [&] {
        std::string tag = trimmed(piece);
        if (!tag.empty()) {
            tags.push_back(std::move(tag));
        }
        piece.clear();
    };
    for (std::size_t i = found; i < nodes.size(); ++i) {
        std::u16string text = text_of_node(*nodes[i]);
        if (i == found) {
            text.erase(0, text.find(label) + label.size());
        }
        const std::u16string_view shown = segment(text);
        for (const char16_t c : shown) {
            if (IsBlank(c) ||
                std::u16string_view(u",，、；").find(c) != std::u16string_view::npos) {
                keep();
            } else {
                piece += c;
            }
        }
        keep();
        if (shown.size() < text.size()) {
            break;
        }
    }
    return tags;
}

std::optional<std::string> label_in(const std::vector<const GumboNode*>& nodes,
                                    std::u16string_view label) {
    const std::size_t found = index_of_text(nodes, label);
    if (found == nodes.size()) {
        return std::nullopt;
    }
    const std::u16string text = text_of_node(*nodes[found]);
    const std::u16string_view rest =
        std::u16string_view(text).substr(text.find(label) + label.size());
    const std::u16string_view own = segment(rest);
    if (!is_blank_text(own) || own.size() < rest.size()) {
        return trimmed(own);
    }
    // The label ends its text: the value is what comes next, a link most often.
    for (std::size_t i = found + 1; i < nodes.size(); ++i) {
        const GumboNode& next = *nodes[i];
        if (next.type == GUMBO_NODE_ELEMENT) {
            return trimmed(segment(text_of(next)));
        }
        const std::u16string next_text = text_of_node(next);
        if (!is_blank_text(next_text)) {
            return trimmed(segment(next_text));
        }
    }
    return std::string();
}

const GumboNode& root_of(const GumboDocument& document) {
    return *document->root;
}

} // namespace

std::optional<std::string> LabelText(std::u16string_view html, std::u16string_view label) {
    const std::string source = utf8(html);
    const GumboDocument document = ParseInDiv(source);
    return label_in(in_order(root_of(document)), label);
}

PostFacts ReadPostFacts(std::u16string_view page) {
    PostFacts facts;
    const std::string head = utf8(bounded(page, head_units));
    const GumboDocument head_document = ParseHtml(head);
    const std::vector<const GumboNode*> head_nodes = in_order(*head_document->document);
    facts.title = title_in(head_nodes);
    const std::size_t marker = index_of_text(head_nodes, article_marker);
    if (marker == head_nodes.size()) {
        return facts;
    }
    facts.date = date_after(head_nodes, marker);
    const std::optional<std::size_t> end = body_end(page, head, *head_nodes[marker]);
    if (!end) {
        return facts;
    }
    const std::string tail = utf8(bounded(page.substr(*end), tail_units));
    const GumboDocument tail_document = ParseInDiv(tail);
    const std::vector<const GumboNode*> tail_nodes = in_order(root_of(tail_document));
    facts.category = label_in(tail_nodes, u"类别：").value_or(std::string());
    facts.tags = tags_in(tail_nodes);
    return facts;
}

} // namespace offline
