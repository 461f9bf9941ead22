#pragma once
// A reader of post bodies that is not the copy's own: gumbo parses a body as the content of a
// <div>, as the copy's pages hold it, and this reads the tree its own way. For the tests and the
// fuzz target to judge what the copy's cleaning wrote.

#include "tests/support/style_reader.h"

#include <gumbo.h>

#include <algorithm>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace check {

struct GumboDeleter {
    void operator()(GumboOutput* output) const {
        gumbo_destroy_output(&kGumboDefaultOptions, output);
    }
};
using Parsed = std::unique_ptr<GumboOutput, GumboDeleter>;

inline Parsed parse_body(std::string_view html) {
    GumboOptions options = kGumboDefaultOptions;
    options.fragment_context = GUMBO_TAG_DIV;
    options.fragment_namespace = GUMBO_NAMESPACE_HTML;
    return Parsed(gumbo_parse_with_options(&options, html.data(), html.size()));
}

inline bool is_word_of(std::string_view words, std::string_view word) {
    std::istringstream in{std::string(words)};
    std::string each;
    while (in >> each) {
        if (each == word) {
            return true;
        }
    }
    return false;
}

inline std::string name_of(const GumboElement& element) {
    if (element.tag != GUMBO_TAG_UNKNOWN) {
        return gumbo_normalized_tagname(element.tag);
    }
    GumboStringPiece tag = element.original_tag;
    gumbo_tag_from_original_text(&tag);
    std::string name(tag.data ? tag.data : "", tag.length);
    std::transform(name.begin(), name.end(), name.begin(),
                   [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; });
    return name;
}

// Calls `visit(node, depth)` in document order; children are skipped when it returns false.
template <typename Visit> void each_node(const GumboNode* root, Visit visit) {
    std::vector<std::pair<const GumboNode*, int>> stack{{root, 0}};
    while (!stack.empty()) {
        const auto [node, depth] = stack.back();
        stack.pop_back();
        if (!visit(node, depth) ||
            (node->type != GUMBO_NODE_ELEMENT && node->type != GUMBO_NODE_TEMPLATE)) {
            continue;
        }
        const GumboVector& children = node->v.element.children;
        for (unsigned i = children.length; i-- > 0;) {
            stack.push_back({static_cast<const GumboNode*>(children.data[i]), depth + 1});
        }
    }
}

// Elements whose content a reader of the page does not see as the post's text.
constexpr std::string_view unseen_content =
    "script style template noscript iframe object embed applet select option optgroup datalist "
    "textarea button title noembed noframes audio video canvas head";

// The text of the body a reader sees, in order.
inline std::string VisibleText(std::string_view html) {
    const Parsed parsed = parse_body(html);
    std::string text;
    each_node(parsed->root, [&](const GumboNode* node, int) {
        switch (node->type) {
        case GUMBO_NODE_TEXT:
        case GUMBO_NODE_WHITESPACE:
        case GUMBO_NODE_CDATA:
            text += node->v.text.text;
            return false;
        case GUMBO_NODE_ELEMENT:
        case GUMBO_NODE_TEMPLATE:
            return node->v.element.tag_namespace == GUMBO_NAMESPACE_HTML &&
                   !is_word_of(unseen_content, name_of(node->v.element));
        default:
            return false;
        }
    });
    return text;
}

// What a cleaned body may hold, written here apart from the cleaning's own lists: the elements
// of a post's text, and per element its attributes; "style" on any of them.
constexpr std::string_view allowed_elements =
    "a abbr b bdi big blockquote br caption center cite code dd del dfn div dl dt em font h1 h2 "
    "h3 h4 h5 h6 hr i img ins kbd li mark nobr ol p pre q rp rt ruby s samp small span strike "
    "strong sub sup table tbody td tfoot th thead tr tt u ul var wbr";
constexpr std::string_view allowed_attributes =
    "a:href a:title a:rel img:src img:alt img:width img:height img:title abbr:title dfn:title "
    "font:color font:size font:face p:align div:align h1:align h2:align h3:align h4:align "
    "h5:align h6:align caption:align table:align table:width table:border table:cellpadding "
    "table:cellspacing table:bgcolor tr:align tr:valign tr:bgcolor td:align td:valign td:bgcolor "
    "td:width td:height td:colspan td:rowspan th:align th:valign th:bgcolor th:width th:height "
    "th:colspan th:rowspan ol:start ol:type ul:type";

// Is an address one a page may follow or load on its own: a web address or a relative one.
inline bool is_followable(std::string_view value) {
    const std::size_t colon = value.find(':');
    const std::size_t path = value.find_first_of("/?#");
    if (colon == std::string_view::npos || (path != std::string_view::npos && path < colon)) {
        return true;
    }
    return value.starts_with("http://") || value.starts_with("https://");
}

// Descriptions of every element, attribute or address the body should not hold.
inline std::vector<std::string> ForeignMarkup(std::string_view html) {
    const Parsed parsed = parse_body(html);
    std::vector<std::string> found;
    each_node(parsed->root, [&](const GumboNode* node, int depth) {
        if (depth == 0 || node->type != GUMBO_NODE_ELEMENT) {
            return depth == 0 || node->type == GUMBO_NODE_TEMPLATE;
        }
        const GumboElement& element = node->v.element;
        const std::string name = name_of(element);
        if (element.tag_namespace != GUMBO_NAMESPACE_HTML || !is_word_of(allowed_elements, name)) {
            found.push_back("element " + name);
        }
        for (unsigned i = 0; i < element.attributes.length; ++i) {
            const auto& attribute = *static_cast<GumboAttribute*>(element.attributes.data[i]);
            const std::string attribute_name = attribute.name;
            if (!is_word_of(allowed_attributes, name + ":" + attribute_name) &&
                attribute_name != "style") {
                found.push_back("attribute " + name + " " + attribute_name);
            }
            if ((attribute_name == "href" || attribute_name == "src") &&
                !is_followable(attribute.value)) {
                found.push_back("address " + std::string(attribute.value));
            }
            if (attribute_name == "style") {
                for (const std::string& fault : StyleFaults(attribute.value)) {
                    found.push_back("style " + std::string(attribute.value) + ": " + fault);
                }
            }
        }
        return true;
    });
    return found;
}

// The tree, one node a line, indented by depth: what two parses are compared by.
inline std::string TreeDump(std::string_view html) {
    const Parsed parsed = parse_body(html);
    std::string dump;
    each_node(parsed->root, [&](const GumboNode* node, int depth) {
        dump += std::string(static_cast<std::size_t>(depth), ' ');
        if (node->type == GUMBO_NODE_ELEMENT || node->type == GUMBO_NODE_TEMPLATE) {
            dump += "<" + std::to_string(node->v.element.tag_namespace) + ":" +
                    name_of(node->v.element);
            for (unsigned i = 0; i < node->v.element.attributes.length; ++i) {
                const auto& attribute =
                    *static_cast<GumboAttribute*>(node->v.element.attributes.data[i]);
                dump += " " + std::string(attribute.name) + "=[" + attribute.value + "]";
            }
            dump += ">\n";
        } else if (node->type != GUMBO_NODE_DOCUMENT) {
            dump += std::to_string(node->type) + ":[" + node->v.text.text + "]\n";
        }
        return true;
    });
    return dump;
}

// Controls and noncharacters are written as references: gumbo, unlike a browser, reads them
// back as U+FFFD when they stand as they are, and every parser reads a carriage return as a
// line feed.
inline std::string escaped(std::string_view text, bool attribute) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        char32_t point = length == 1 ? lead : lead & (0xFFu >> (length + 1));
        for (std::size_t k = 1; k < length && i + k < text.size(); ++k) {
            point = (point << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        }
        const char c = text[i];
        if ((point >= 1 && point < 0x20 && c != '\t' && c != '\n' && c != '\f') ||
            (point >= 0x7F && point <= 0x9F) || (point >= 0xFDD0 && point <= 0xFDEF) ||
            (point & 0xFFFE) == 0xFFFE) {
            out += "&#" + std::to_string(point) + ";";
        } else if (c == '&' || (c == '<' && !attribute) || (c == '>' && !attribute) ||
                   (c == '"' && attribute)) {
            out += c == '&' ? "&amp;" : c == '<' ? "&lt;" : c == '>' ? "&gt;" : "&quot;";
        } else {
            out.append(text.substr(i, length));
        }
        i += length;
    }
    return out;
}

// The parsed body written out again the way the HTML standard serialises a fragment (as
// innerHTML gives it), comments and foreign content left out.
inline std::string Reserialized(std::string_view html) {
    const Parsed parsed = parse_body(html);
    std::string out;
    std::vector<std::pair<int, std::string>> open; // depth, end tag
    each_node(parsed->root, [&](const GumboNode* node, int depth) {
        while (!open.empty() && open.back().first >= depth) {
            out += open.back().second;
            open.pop_back();
        }
        if (node->type == GUMBO_NODE_TEXT || node->type == GUMBO_NODE_WHITESPACE) {
            const GumboNode* parent = node->parent;
            const bool raw = parent && parent->v.element.tag == GUMBO_TAG_PRE &&
                             node->index_within_parent == 0 && node->v.text.text[0] == '\n';
            out += (raw ? "\n" : "") + escaped(node->v.text.text, false);
            return false;
        }
        if (node->type != GUMBO_NODE_ELEMENT || depth == 0) {
            return depth == 0;
        }
        const std::string name = name_of(node->v.element);
        out += "<" + name;
        for (unsigned i = 0; i < node->v.element.attributes.length; ++i) {
            const auto& attribute =
                *static_cast<GumboAttribute*>(node->v.element.attributes.data[i]);
            out +=
                " " + std::string(attribute.name) + "=\"" + escaped(attribute.value, true) + "\"";
        }
        out += ">";
        if (!is_word_of("area base br col embed hr img input link meta source track wbr", name)) {
            open.push_back({depth, "</" + name + ">"});
        }
        return true;
    });
    while (!open.empty()) {
        out += open.back().second;
        open.pop_back();
    }
    return out;
}

} // namespace check
