#pragma once
// gumbo's parse of a piece of HTML, freed with its owner; and the GLib strings around it.

#include "blog/html_tree.h"

#include <glib.h>
#include <gumbo.h>

#include <memory>
#include <string_view>

namespace offline {

using GumboDocument = blog::GumboTree;

// The buffer must outlive the document: gumbo's positions point into it.
inline GumboDocument ParseHtml(std::string_view html) {
    return blog::ParseTree(html);
}

// As the content of a <div>, the place the copy's pages give a post body.
inline GumboDocument ParseInDiv(std::string_view html) {
    GumboOptions options = kGumboDefaultOptions;
    options.fragment_context = GUMBO_TAG_DIV;
    options.fragment_namespace = GUMBO_NAMESPACE_HTML;
    return GumboDocument(gumbo_parse_with_options(&options, html.data(), html.size()));
}

struct GFreeDeleter {
    void operator()(char* text) const { g_free(text); }
};
using GlibText = std::unique_ptr<char, GFreeDeleter>;

inline char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace offline
