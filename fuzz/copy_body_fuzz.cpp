// A post body through the offline copy: whatever the body holds, the pages built around it hold
// nothing runnable, and the body comes out as it went in but for the attribute values pointed
// elsewhere and the parts removed, with our own markup after it left intact.

#include "fuzz/fuzz_input.h"
#include "offline/body_clean.h"
#include "offline/copy_pages.h"
#include "offline/html_text.h"
#include "platform/text.h"
#include "tests/support/runnable_check.h"

#include <string>

namespace {

constexpr std::string_view post = "http://hi.baidu.com/u/blog/item/1.html";

// Every other picture address is saved; every address ending in ".html" is a listed post.
const offline::BodyTargets targets{
    [](const std::string& address) -> std::optional<std::string> {
        if (address.size() % 2 == 0) {
            return std::nullopt;
        }
        return "../images/" + std::to_string(address.size()) + ".png";
    },
    [](const std::string& address) -> std::optional<std::string> {
        if (address.size() < 5 || address.substr(address.size() - 5) != ".html") {
            return std::nullopt;
        }
        return std::to_string(address.size()) + ".html";
    }};

bool is_blank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}

void check_edits(const offline::CleanBody& clean) {
    const std::vector<offline::Edit> edits = offline::BodyEdits(clean, targets);
    std::size_t at = 0;
    for (const offline::Edit& edit : edits) {
        fuzz::require(at <= edit.begin && edit.begin < edit.end && edit.end <= clean.source.size(),
                      "edits are sorted, disjoint and inside the body");
        at = edit.end;
        const char first = clean.source[edit.begin];
        if (edit.replacement.empty()) {
            // An element from its "<", an attribute from its name, or an unfinished tag at the end.
            fuzz::require(!is_blank(first) && first != '>', "a removal starts with markup");
        } else {
            const std::string_view value =
                std::string_view(clean.source).substr(edit.begin, edit.end - edit.begin);
            const bool quoted =
                (first == '"' || first == '\'') && value.size() >= 2 && value.back() == first;
            fuzz::require(quoted || value.find_first_of(" \t\n\f\r>") == std::string_view::npos,
                          "a replaced value is one attribute value");
            fuzz::require(edit.replacement.front() == '"' && edit.replacement.back() == '"' &&
                              edit.replacement.find('"', 1) == edit.replacement.size() - 1,
                          "a new value is one quoted value");
        }
    }
    const std::string rendered = offline::RenderBody(clean, targets);
    const std::string expected =
        clean.as_text ? "<pre class=\"raw\">" + offline::EscapeHtml(clean.source) + "</pre>"
                      : offline::ApplyEdits(clean.source, edits) + clean.closer;
    fuzz::require(rendered == expected, "every other byte of the body is kept");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Any bytes, read as UTF-8 the way the program's text is.
    const std::u16string body16 =
        platform::utf8_to_utf16(std::string_view(reinterpret_cast<const char*>(data), size));
    const std::string body = platform::utf16_to_utf8(body16);
    check_edits(offline::CleanPostBody(body, post));

    // The body in real pages: a post page and the page of all posts, after another post.
    const std::vector<offline::CopyPost> posts{
        {std::u16string(u"http://hi.baidu.com/u/blog/item/1.html"),
         u"<title>t_</title>查看文章" + body16 + u"类别",
         {}},
        {std::u16string(u"http://hi.baidu.com/u/blog/item/2.html"),
         std::u16string(u"<title>2_</title>查看文章<p>second</p>类别"),
         {}}};
    const offline::CopyPlan plan = offline::PlanCopy(posts);
    offline::PictureOutcomes pictures;
    for (std::size_t i = 0; i < plan.pictures.size(); ++i) {
        pictures[plan.pictures[i]] = {i % 2 ? "p.png" : "", u"HTTP 404"};
    }
    const offline::CopyPages pages = offline::BuildPages(plan, pictures, u"u", u"t");
    for (const std::string* page : {&pages.posts.at(0).second, &pages.all, &pages.index}) {
        fuzz::require(check::RunnableParts(*page).empty(), "nothing runnable in the pages");
    }
    fuzz::require(pages.posts.at(0).second.find("<a href=\"2.html\">下一篇</a>") !=
                      std::string::npos,
                  "the page's own links follow the body");
    fuzz::require(pages.all.find("<p>second</p>") != std::string::npos,
                  "the next post follows the body");
    return 0;
}
