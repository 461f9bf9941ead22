#pragma once
// gumbo's parse of a page, freed with its owner, and the few questions the layouts ask of it.

#include <gumbo.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace blog {

struct GumboTreeDeleter {
    void operator()(GumboOutput* output) const {
        gumbo_destroy_output(&kGumboDefaultOptions, output);
    }
};
using GumboTree = std::unique_ptr<GumboOutput, GumboTreeDeleter>;

// The buffer must outlive the tree: gumbo's positions and tags point into it.
GumboTree ParseTree(std::string_view html);

// The attribute's value; empty when the element has none.
std::string_view AttributeOf(const GumboElement& element, const char* name);

// True when the element's class list holds `name` (ASCII case ignored).
bool HasClass(const GumboElement& element, std::string_view name);

// The first element, in document order, for which `wanted` holds; nullptr when none.
const GumboElement* FindElement(const GumboNode* root,
                                const std::function<bool(const GumboElement&)>& wanted);

// Every element for which `wanted` holds, in document order.
void ForEachElement(const GumboNode* root, const std::function<void(const GumboElement&)>& visit);

// The text inside an element, scripts and styles left out; runs of white space become one blank
// and the ends are trimmed. UTF-8.
std::string ShownText(const GumboElement& element);

} // namespace blog
