#include "exports/html_markup.h"

#include "exports/markdown_text.h"
#include "offline/html_text.h"

namespace exports {
namespace {

// The copy's escaping, with line ends as references too, and "{" so that Hugo finds no shortcode.
void escape_into(std::string& out, std::string_view text) {
    for (const char c : offline::EscapeHtml(WithoutControls(text))) {
        if (c == '\n') {
            out += "&#10;";
        } else if (c == '\r') {
            out += "&#13;";
        } else if (c == '{') {
            out += "&#123;";
        } else {
            out += c;
        }
    }
}

void outer_into(std::string& out, const GumboNode& node) {
    switch (node.type) {
    case GUMBO_NODE_TEXT:
    case GUMBO_NODE_WHITESPACE:
    case GUMBO_NODE_CDATA:
        escape_into(out, node.v.text.text);
        return;
    case GUMBO_NODE_ELEMENT:
    case GUMBO_NODE_TEMPLATE: {
        out += StartTag(node);
        if (IsVoidElement(node)) {
            return;
        }
        const GumboVector& children = node.v.element.children;
        for (unsigned i = 0; i < children.length; ++i) {
            outer_into(out, *static_cast<const GumboNode*>(children.data[i]));
        }
        out += EndTag(node);
        return;
    }
    default:
        return;
    }
}

} // namespace

std::string TagName(const GumboNode& element) {
    if (element.v.element.tag != GUMBO_TAG_UNKNOWN) {
        return gumbo_normalized_tagname(element.v.element.tag);
    }
    GumboStringPiece name = element.v.element.original_tag;
    gumbo_tag_from_original_text(&name);
    std::string text(name.data ? std::string_view(name.data, name.length) : std::string_view());
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    // A name that is not a plain one cannot be written back safely.
    for (const char c : text) {
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == ':')) {
            return "span";
        }
    }
    return text.empty() ? "span" : text;
}

std::string StartTag(const GumboNode& element) {
    std::string out = "<" + TagName(element);
    const GumboVector& attributes = element.v.element.attributes;
    for (unsigned i = 0; i < attributes.length; ++i) {
        const auto* attribute = static_cast<const GumboAttribute*>(attributes.data[i]);
        const std::string_view name = attribute->name;
        if (name.empty() || name.find_first_of("\"'<>=/ \t\n\f\r") != std::string_view::npos ||
            WithoutControls(name) != name) {
            continue;
        }
        out += " ";
        out += name;
        out += "=\"";
        escape_into(out, attribute->value);
        out += "\"";
    }
    return out + ">";
}

std::string EndTag(const GumboNode& element) {
    return "</" + TagName(element) + ">";
}

std::string OuterHtml(const GumboNode& node) {
    std::string out;
    outer_into(out, node);
    return out;
}

std::string EscapeMarkupText(std::string_view text) {
    std::string out;
    escape_into(out, text);
    return out;
}

bool IsVoidElement(const GumboNode& element) {
    switch (element.v.element.tag) {
    case GUMBO_TAG_AREA:
    case GUMBO_TAG_BASE:
    case GUMBO_TAG_BR:
    case GUMBO_TAG_COL:
    case GUMBO_TAG_EMBED:
    case GUMBO_TAG_HR:
    case GUMBO_TAG_IMG:
    case GUMBO_TAG_INPUT:
    case GUMBO_TAG_LINK:
    case GUMBO_TAG_META:
    case GUMBO_TAG_PARAM:
    case GUMBO_TAG_SOURCE:
    case GUMBO_TAG_TRACK:
    case GUMBO_TAG_WBR:
        return true;
    default:
        return false;
    }
}

} // namespace exports
