// A post body through the offline copy, judged by a reader of its own (a fresh gumbo parse):
// whatever the body holds, what the copy writes holds only allowed elements, attributes and
// addresses, parses to the same tree when written out and parsed again, and shows the body's
// text (or, for a body shown as its source, that source); the pages around it hold nothing
// runnable and keep their own markup after it.

#include "fuzz/fuzz_input.h"
#include "offline/body_clean.h"
#include "offline/copy_pages.h"
#include "platform/text.h"
#include "tests/support/html_reader.h"
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

void check_body(const std::string& body) {
    const std::string written = offline::RenderBody(offline::CleanPostBody(body, post), targets);
    fuzz::require(check::ForeignMarkup(written).empty(),
                  "only allowed elements, attributes and addresses");
    fuzz::require(check::TreeDump(written) == check::TreeDump(check::Reserialized(written)),
                  "the written body parses to the same tree again");
    const std::string text = check::VisibleText(written);
    fuzz::require(text == check::VisibleText(body) || text == body,
                  "the body's text, or its source, is shown");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Any bytes, read as UTF-8 the way the program's text is.
    const std::u16string body16 =
        platform::utf8_to_utf16(std::string_view(reinterpret_cast<const char*>(data), size));
    check_body(platform::utf16_to_utf8(body16));

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
