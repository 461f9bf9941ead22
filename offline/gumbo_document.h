#pragma once
// gumbo's parse of a piece of HTML, freed with its owner; and the GLib strings around it.

#include <glib.h>
#include <gumbo.h>

#include <memory>
#include <string_view>

namespace offline {

struct GumboOutputDeleter {
    void operator()(GumboOutput* output) const {
        gumbo_destroy_output(&kGumboDefaultOptions, output);
    }
};
using GumboDocument = std::unique_ptr<GumboOutput, GumboOutputDeleter>;

// The buffer must outlive the document: gumbo's positions point into it.
inline GumboDocument ParseHtml(std::string_view html) {
    return GumboDocument(gumbo_parse_with_options(&kGumboDefaultOptions, html.data(), html.size()));
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
