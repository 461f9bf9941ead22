#include "blog/html_tree.h"

#include <vector>

namespace blog {
namespace {

char ascii_lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equal_ignoring_case(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (ascii_lower(a[i]) != ascii_lower(b[i])) {
            return false;
        }
    }
    return true;
}

bool is_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

void gather_text(const GumboNode* node, std::string& out) {
    if (node->type == GUMBO_NODE_TEXT || node->type == GUMBO_NODE_WHITESPACE ||
        node->type == GUMBO_NODE_CDATA) {
        out += node->v.text.text;
        return;
    }
    if (node->type != GUMBO_NODE_ELEMENT) {
        return;
    }
    const GumboTag tag = node->v.element.tag;
    if (tag == GUMBO_TAG_SCRIPT || tag == GUMBO_TAG_STYLE) {
        return;
    }
    const GumboVector& children = node->v.element.children;
    for (unsigned i = 0; i < children.length; ++i) {
        gather_text(static_cast<const GumboNode*>(children.data[i]), out);
    }
}

} // namespace

GumboTree ParseTree(std::string_view html) {
    return GumboTree(gumbo_parse_with_options(&kGumboDefaultOptions, html.data(), html.size()));
}

std::string_view AttributeOf(const GumboElement& element, const char* name) {
    const GumboAttribute* attribute = gumbo_get_attribute(&element.attributes, name);
    return attribute ? std::string_view(attribute->value) : std::string_view();
}

bool HasClass(const GumboElement& element, std::string_view name) {
    const std::string_view classes = AttributeOf(element, "class");
    std::size_t at = 0;
    while (at < classes.size()) {
        while (at < classes.size() && is_space(classes[at])) {
            ++at;
        }
        std::size_t end = at;
        while (end < classes.size() && !is_space(classes[end])) {
            ++end;
        }
        if (end > at && equal_ignoring_case(classes.substr(at, end - at), name)) {
            return true;
        }
        at = end;
    }
    return false;
}

const GumboElement* FindElement(const GumboNode* root,
                                const std::function<bool(const GumboElement&)>& wanted) {
    // Iterative, so that deeply nested pages cannot exhaust the stack.
    std::vector<const GumboNode*> pending{root};
    while (!pending.empty()) {
        const GumboNode* node = pending.back();
        pending.pop_back();
        if (node->type != GUMBO_NODE_ELEMENT && node->type != GUMBO_NODE_DOCUMENT) {
            continue;
        }
        if (node->type == GUMBO_NODE_ELEMENT && wanted(node->v.element)) {
            return &node->v.element;
        }
        const GumboVector& children = node->type == GUMBO_NODE_DOCUMENT ? node->v.document.children
                                                                        : node->v.element.children;
        for (unsigned i = children.length; i > 0; --i) {
            pending.push_back(static_cast<const GumboNode*>(children.data[i - 1]));
        }
    }
    return nullptr;
}

void ForEachElement(const GumboNode* root, const std::function<void(const GumboElement&)>& visit) {
    FindElement(root, [&visit](const GumboElement& element) {
        visit(element);
        return false;
    });
}

std::string ShownText(const GumboElement& element) {
    std::string raw;
    for (unsigned i = 0; i < element.children.length; ++i) {
        gather_text(static_cast<const GumboNode*>(element.children.data[i]), raw);
    }
    std::string shown;
    bool blank = false;
    for (const char c : raw) {
        if (is_space(c)) {
            blank = !shown.empty();
            continue;
        }
        if (blank) {
            shown += ' ';
            blank = false;
        }
        shown += c;
    }
    return shown;
}

} // namespace blog
