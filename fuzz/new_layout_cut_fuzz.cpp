// The newer layout's cut reads any page without fault, and the body it returns is the decoded
// page's text at the positions it reports: it starts right after a start tag's ">" and ends
// where an end tag starts (or at the end of the page). Text put between the body's tags is
// cut back exactly, whatever it holds but markup.

#include "blog/post_page.h"
#include "fuzz/fuzz_input.h"
#include "platform/text.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <string>

namespace {

void check_any_page(const std::string& bytes, const char* content_type) {
    const blog::PostPage page = blog::ReadPostPage(bytes, content_type);
    const blog::PostCut& cut = page.cut;
    if (cut.layout != blog::PostLayout::new_layout) {
        return;
    }
    fuzz::require(cut.body_begin <= cut.body_end && cut.body_end <= page.text.size(),
                  "the body lies within the page");
    fuzz::require(page.body() == std::u16string_view(page.text).substr(
                                     cut.body_begin, cut.body_end - cut.body_begin),
                  "the body is the text at its positions");
    fuzz::require(cut.body_begin > 0 && page.text[cut.body_begin - 1] == u'>',
                  "the body starts after its start tag");
    fuzz::require(cut.body_end == page.text.size() ||
                      std::u16string_view(page.text).substr(cut.body_end, 2) == u"</" ||
                      page.text[cut.body_end] == u'<',
                  "the body ends where markup starts");
}

void check_known_body(FuzzedDataProvider& provider) {
    std::u16string body = fuzz::utf16_from(
        provider.ConsumeBytes<std::uint8_t>(provider.ConsumeIntegralInRange(0, 4096)));
    // Markup and character references would change what the body is; anything else stays.
    std::erase_if(body, [](char16_t c) { return c == u'<' || c == u'&'; });
    const std::u16string page = u"<html><head><title>t_x</title></head><body>"
                                u"<h2 class=\"content-title\">t</h2><div id=\"content\" "
                                u"class=\"x content\">" +
                                body + u"</div></body></html>";
    const std::string bytes = platform::utf16_to_utf8(page);
    const blog::PostPage read = blog::ReadPostPage(bytes, "text/html; charset=utf-8");
    fuzz::require(read.cut.layout == blog::PostLayout::new_layout, "the page is of the layout");
    // As UTF-8 carries it: a lone surrogate is U+FFFD.
    const std::u16string expected = platform::utf8_to_utf16(platform::utf16_to_utf8(body));
    fuzz::require(read.body() == expected, "the body is cut back exactly");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    check_any_page(bytes, "text/html; charset=utf-8");
    check_any_page(bytes, "");
    FuzzedDataProvider provider(data, size);
    check_known_body(provider);
    return 0;
}
