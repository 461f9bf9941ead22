#include "offline/body_clean.h"

#include "tests/support/runnable_check.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

using namespace offline;

namespace {

constexpr std::string_view post = "http://hi.baidu.com/u/blog/item/1.html";

// Pictures saved under a short name, and two listed posts.
const BodyTargets targets{
    [](const std::string& address) -> std::optional<std::string> {
        static const std::map<std::string, std::string> saved{
            {"http://img.example/a.png", "A.png"}, {"http://hi.baidu.com/u/pic/b.jpg", "B.jpg"}};
        const auto found = saved.find(address);
        return found == saved.end() ? std::nullopt : std::optional("../images/" + found->second);
    },
    [](const std::string& address) -> std::optional<std::string> {
        if (address == "http://hi.baidu.com/u/blog/item/2.html") {
            return "2.html";
        }
        return std::nullopt;
    }};

std::string rendered(std::string_view body) {
    return RenderBody(CleanPostBody(body, post), targets);
}

// The body where a page puts it, with our own markup after it.
std::string in_page(std::string_view body) {
    return "<!DOCTYPE html><html><head></head><body><h1>t</h1><div>" + rendered(body) +
           "</div><p id=\"after\">after</p></body></html>";
}

// The element with id "after" as a browser builds the page: found, under <body>, HTML.
bool after_is_ours(const std::string& page) {
    GumboOutput* output = gumbo_parse_with_options(&kGumboDefaultOptions, page.data(), page.size());
    bool ours = false;
    std::vector<const GumboNode*> stack{output->root};
    while (!stack.empty()) {
        const GumboNode* node = stack.back();
        stack.pop_back();
        if (node->type != GUMBO_NODE_ELEMENT) {
            continue;
        }
        const GumboAttribute* id = gumbo_get_attribute(&node->v.element.attributes, "id");
        if (id && std::string_view(id->value) == "after") {
            ours =
                node->v.element.tag == GUMBO_TAG_P && node->parent->v.element.tag == GUMBO_TAG_BODY;
        }
        for (unsigned i = 0; i < node->v.element.children.length; ++i) {
            stack.push_back(static_cast<const GumboNode*>(node->v.element.children.data[i]));
        }
    }
    gumbo_destroy_output(&kGumboDefaultOptions, output);
    return ours;
}

} // namespace

TEST(CleanPostBody, ChangesOnlyTheValuesAndWhatItRemoves) {
    const std::string body =
        "</div><div class=cnt>\r\n<P Align=center>春天 &amp; <B>花</b>\n"
        "<IMG alt='x' SRC=\"/u/pic/b.jpg\" srcset=\"big.jpg 2x\" onload=go()>"
        "<img src=http://img.example/a.png width=5><img src='../pic/none.gif'>"
        "<a href=\"/u/blog/item/2.html#c\" onclick='x'>下一篇</a> <a href=\"#top\">top</a>"
        "<a href=other.html title=\"&quot;\">o</a><a href=http://else.example/>e</a>"
        "<script type=text/javascript>var a = '</p>';</script><!-- note --></p>尾";
    EXPECT_EQ(rendered(body),
              "</div><div class=cnt>\r\n<P Align=center>春天 &amp; <B>花</b>\n"
              "<IMG alt='x' SRC=\"../images/B.jpg\"  ><img src=\"../images/A.png\" width=5>"
              "<img src=\"http://hi.baidu.com/u/blog/pic/none.gif\">"
              "<a href=\"2.html#c\" >下一篇</a> <a href=\"#top\">top</a>"
              "<a href=\"http://hi.baidu.com/u/blog/item/other.html\" title=\"&quot;\">o</a>"
              "<a href=http://else.example/>e</a><!-- note --></p>尾</div>");
}

TEST(CleanPostBody, LeavesNothingRunnableAndNothingOpen) {
    for (const char* hostile : {
             "<script>alert(1)</script>ok",
             "<SCRIPT src=//evil/x.js></SCRIPT>ok",
             "<<script></script>script>alert(1)<</script>/script>",
             "<scr<script></script>ipt>alert(1)</scr<script></script>ipt>",
             "<a href=\"&#106;avascript:alert(1)\">x</a><a href=\"java&#x09;script:1\">y</a>",
             "<a href=\" java\tscript:1\">y</a><a href=\"javascript&colon;1\">z</a>",
             "<a href=\"vbscript:msgbox\">v</a><a href=\"data:text/html,<script>1</script>\">d</a>",
             "<img src=x onerror=a onerror=b><img src=x ONERROR=c><img onerror:x=1>",
             "<a href=\"javascript:1\" href=\"javascript:2\">dup</a>",
             "<table><svg><script>x</script></svg><tr><td>c",
             "<svg><g onload=x><script>1</script></svg><math><mi><svg><script>2</script>",
             "<noscript><p title=\"</noscript><img src=x onerror=alert(1)>\"></noscript>",
             "<div><noscript></div><img src=x onerror=alert(1)></noscript>",
             "<iframe src=//evil></iframe><iframe srcdoc=\"<script>1</script>\">",
             "<object data=x.swf><embed src=y.swf><param name=a></object>",
             "<form action=//evil><input name=q><button formaction=javascript:1>b</button>",
             "<base href=//evil/><meta http-equiv=refresh content=\"0;url=javascript:1\">",
             "<frameset onload=x><frame src=javascript:1>",
             "<body onload=alert(1)><html onclick=alert(2)>",
             "<template><script>1</script></template><math><annotation-xml "
             "encoding=\"text/html\"><script>2</script>",
             "<isindex action=javascript:1 onclick=x>",
             "<img src=\"x\" <script>1</script>",
             "<style>a{}</style><img src=x onerror=y",
             "text <!-- unclosed <script>1</script>",
             "<textarea></textarea><textarea><script>1</script>",
             "<select><option>x<script>1</script>",
             "<b><i><u>open formatting",
             "<span class=\"unfinished",
             "</p class=\"<b>",
             "<!DOCTYPE x",
             "<math><![CDATA[x",
             "<xmp><script>1</script>",
             "<div>a</div></div></div></body></html>b",
             "<plaintext><script>1</script>",
         }) {
        const std::string page = in_page(hostile);
        EXPECT_EQ(check::RunnableParts(page), std::vector<std::string>()) << hostile;
        EXPECT_TRUE(after_is_ours(page)) << hostile << "\n" << page;
    }
}

TEST(CleanPostBody, KeepsWhatFollowsARemovedElement) {
    EXPECT_EQ(rendered("a<script>x</script>b<iframe>y</iframe>c<svg><rect/></svg>d"), "abcd");
    EXPECT_EQ(rendered("<p>x<object><param>fallback <b>bold</b></object>after"), "<p>xafter</p>");
    // What cannot be made safe as markup is shown as its source, whole.
    EXPECT_EQ(rendered("<isindex action=x>&amp;"),
              "<pre class=\"raw\">&lt;isindex action=x&gt;&amp;amp;</pre>");
}

TEST(PicturesOf, NamesEachPictureOnceWhateverItsSpelling) {
    const CleanBody body = CleanPostBody(
        "<img src=\"/u/pic/b.jpg\"><img src=\"../../pic/b.jpg\"><img "
        "src=//hi.baidu.com/u/pic/b.jpg>"
        "<img src=http://img.example/a.png#x><img src=\"data:image/png,x\"><img src=\"\">"
        "<script><img src=/hidden.png></script><img src=\"ftp://h/c.png\">",
        post);
    EXPECT_EQ(PicturesOf(body), (std::vector<std::string>{"http://hi.baidu.com/u/pic/b.jpg",
                                                          "http://img.example/a.png"}));
}
