#include "exports/html_tree.h"

namespace exports {

const GumboNode& Child(const GumboNode& node, unsigned i) {
    return *static_cast<const GumboNode*>(node.v.element.children.data[i]);
}

unsigned ChildCount(const GumboNode& node) {
    return IsElement(node) ? node.v.element.children.length : 0;
}

bool IsElement(const GumboNode& node) {
    return node.type == GUMBO_NODE_ELEMENT || node.type == GUMBO_NODE_TEMPLATE;
}

bool IsText(const GumboNode& node) {
    return node.type == GUMBO_NODE_TEXT || node.type == GUMBO_NODE_WHITESPACE ||
           node.type == GUMBO_NODE_CDATA;
}

GumboTag TagOf(const GumboNode& node) {
    return IsElement(node) ? node.v.element.tag : GUMBO_TAG_UNKNOWN;
}

bool HasElementChild(const GumboNode& node) {
    for (unsigned i = 0; i < ChildCount(node); ++i) {
        if (IsElement(Child(node, i))) {
            return true;
        }
    }
    return false;
}

bool IsBlockTag(GumboTag tag) {
    switch (tag) {
    case GUMBO_TAG_P:
    case GUMBO_TAG_DIV:
    case GUMBO_TAG_CENTER:
    case GUMBO_TAG_ADDRESS:
    case GUMBO_TAG_ARTICLE:
    case GUMBO_TAG_SECTION:
    case GUMBO_TAG_ASIDE:
    case GUMBO_TAG_HEADER:
    case GUMBO_TAG_FOOTER:
    case GUMBO_TAG_NAV:
    case GUMBO_TAG_MAIN:
    case GUMBO_TAG_FIGURE:
    case GUMBO_TAG_FIGCAPTION:
    case GUMBO_TAG_BLOCKQUOTE:
    case GUMBO_TAG_UL:
    case GUMBO_TAG_OL:
    case GUMBO_TAG_LI:
    case GUMBO_TAG_DL:
    case GUMBO_TAG_DT:
    case GUMBO_TAG_DD:
    case GUMBO_TAG_H1:
    case GUMBO_TAG_H2:
    case GUMBO_TAG_H3:
    case GUMBO_TAG_H4:
    case GUMBO_TAG_H5:
    case GUMBO_TAG_H6:
    case GUMBO_TAG_PRE:
    case GUMBO_TAG_TABLE:
    case GUMBO_TAG_HR:
    case GUMBO_TAG_FIELDSET:
    case GUMBO_TAG_DETAILS:
    case GUMBO_TAG_STYLE:
    case GUMBO_TAG_XMP:
    case GUMBO_TAG_LISTING:
    case GUMBO_TAG_PLAINTEXT:
        return true;
    default:
        return false;
    }
}

bool HasPresentation(const GumboNode& element) {
    const GumboTag tag = element.v.element.tag;
    const GumboVector& attributes = element.v.element.attributes;
    for (unsigned i = 0; i < attributes.length; ++i) {
        const std::string_view name = static_cast<const GumboAttribute*>(attributes.data[i])->name;
        const bool plain =
            name == "id" || name == "class" || name == "lang" || name == "dir" || name == "name" ||
            name == "title" || (tag == GUMBO_TAG_IMG && (name == "src" || name == "alt")) ||
            (tag == GUMBO_TAG_A && name == "href") || (tag == GUMBO_TAG_OL && name == "start");
        if (!plain) {
            return true;
        }
    }
    return false;
}

std::string Attribute(const GumboNode& element, const char* name) {
    const GumboAttribute* found = gumbo_get_attribute(&element.v.element.attributes, name);
    return found ? found->value : "";
}

std::string FlatText(const GumboNode& root) {
    std::string text;
    std::vector<const GumboNode*> stack{&root};
    while (!stack.empty()) {
        const GumboNode* node = stack.back();
        stack.pop_back();
        if (IsText(*node)) {
            text += node->v.text.text;
        }
        for (unsigned i = ChildCount(*node); i > 0; --i) {
            stack.push_back(&Child(*node, i - 1));
        }
    }
    return text;
}

} // namespace exports
