#pragma once
// An independent look, with gumbo, at a whole HTML page for anything a browser could run or
// fetch on its own: used by tests and the fuzz target to check the copy's pages.

#include <gumbo.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace check {

inline std::string lowered(std::string_view text, bool drop_blanks) {
    std::string out;
    for (const char c : text) {
        if (!drop_blanks || static_cast<unsigned char>(c) > 0x20) {
            out += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        }
    }
    return out;
}

// Descriptions of what could run; empty when nothing can.
inline std::vector<std::string> RunnableParts(std::string_view page) {
    struct Deleter {
        void operator()(GumboOutput* output) const {
            gumbo_destroy_output(&kGumboDefaultOptions, output);
        }
    };
    const std::unique_ptr<GumboOutput, Deleter> output(
        gumbo_parse_with_options(&kGumboDefaultOptions, page.data(), page.size()));
    std::vector<std::string> found;
    std::vector<const GumboNode*> stack{output->document};
    while (!stack.empty()) {
        const GumboNode* node = stack.back();
        stack.pop_back();
        const GumboVector* children = &node->v.document.children;
        if (node->type == GUMBO_NODE_ELEMENT || node->type == GUMBO_NODE_TEMPLATE) {
            const GumboElement& element = node->v.element;
            children = &element.children;
            GumboStringPiece tag = element.original_tag;
            gumbo_tag_from_original_text(&tag);
            const std::string name =
                element.tag == GUMBO_TAG_UNKNOWN
                    ? lowered(std::string_view(tag.data ? tag.data : "", tag.length), false)
                    : gumbo_normalized_tagname(element.tag);
            for (const char* bad : {"script", "iframe", "frame", "frameset", "object", "embed",
                                    "applet", "form", "base", "svg"}) {
                if (name == bad) {
                    found.push_back("element " + name);
                }
            }
            for (unsigned i = 0; i < element.attributes.length; ++i) {
                const auto& attribute = *static_cast<GumboAttribute*>(element.attributes.data[i]);
                const std::string attribute_name = lowered(attribute.name, false);
                // Browsers ignore blanks and controls around and inside a scheme.
                const std::string value = lowered(attribute.value, true);
                if (attribute_name.rfind("on", 0) == 0 || attribute_name == "srcset") {
                    found.push_back("attribute " + attribute_name);
                }
                if (name == "meta" && attribute_name == "http-equiv" && value == "refresh") {
                    found.push_back("meta refresh");
                }
                for (const char* address : {"href", "src", "action", "formaction", "data",
                                            "xlink:href", "poster", "background"}) {
                    const bool bad_scheme =
                        value.rfind("javascript:", 0) == 0 || value.rfind("vbscript:", 0) == 0 ||
                        (value.rfind("data:", 0) == 0 && value.rfind("data:image/", 0) != 0);
                    if (attribute_name == address && bad_scheme) {
                        found.push_back(attribute_name + "=" + value);
                    }
                }
            }
        } else if (node->type != GUMBO_NODE_DOCUMENT) {
            continue;
        }
        for (unsigned i = 0; i < children->length; ++i) {
            stack.push_back(static_cast<const GumboNode*>(children->data[i]));
        }
    }
    return found;
}

} // namespace check
