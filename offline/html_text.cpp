#include "offline/html_text.h"

#include "offline/gumbo_document.h"

namespace offline {
namespace {

const GumboNode* child_element(const GumboNode* node, GumboTag tag) {
    const GumboVector& children = node->v.element.children;
    for (unsigned i = 0; i < children.length; ++i) {
        const auto* child = static_cast<const GumboNode*>(children.data[i]);
        if (child->type == GUMBO_NODE_ELEMENT && child->v.element.tag == tag) {
            return child;
        }
    }
    return nullptr;
}

} // namespace

std::string EscapeHtml(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string DecodeTitle(std::string_view raw_title) {
    // With every "<" already a reference, nothing in the text can end the <title> early.
    std::string source = "<title>";
    for (const char c : raw_title) {
        source += c == '<' ? std::string("&lt;") : std::string(1, c);
    }
    const GumboDocument output = ParseHtml(source);
    const GumboNode* head = child_element(output->root, GUMBO_TAG_HEAD);
    const GumboNode* title = head ? child_element(head, GUMBO_TAG_TITLE) : nullptr;
    if (!title || title->v.element.children.length == 0) {
        return {};
    }
    const auto* text = static_cast<const GumboNode*>(title->v.element.children.data[0]);
    return text->v.text.text;
}

} // namespace offline
