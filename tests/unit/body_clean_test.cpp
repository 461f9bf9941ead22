#include "offline/allowlist.h"
#include "offline/body_clean.h"

#include "platform/text.h"
#include "tests/support/html_reader.h"
#include "tests/support/runnable_check.h"
#include "tools/sample_blog/blog_model.h"
#include "tools/sample_blog/hostile_post.h"

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

// Every address left on the web, so that cleaning the result again reads the same addresses.
std::string rendered_on_the_web(std::string_view body) {
    return RenderBody(CleanPostBody(body, post),
                      {[](const std::string& address) { return address; },
                       [](const std::string&) { return std::nullopt; }});
}

// The body where a page puts it, with our own markup after it.
std::string in_page(std::string_view body) {
    return "<!DOCTYPE html><html><head></head><body><h1>t</h1><article>" + rendered(body) +
           "</article><p id=\"after\">after</p></body></html>";
}

// The element with id "after" as a browser builds the page: found, under <body>, HTML.
bool after_is_ours(const std::string& page) {
    const check::Parsed output(
        gumbo_parse_with_options(&kGumboDefaultOptions, page.data(), page.size()));
    bool ours = false;
    check::each_node(output->root, [&](const GumboNode* node, int) {
        if (node->type != GUMBO_NODE_ELEMENT) {
            return false;
        }
        const GumboAttribute* id = gumbo_get_attribute(&node->v.element.attributes, "id");
        if (id && std::string_view(id->value) == "after") {
            ours =
                node->v.element.tag == GUMBO_TAG_P && node->parent->v.element.tag == GUMBO_TAG_BODY;
        }
        return true;
    });
    return ours;
}

// Bodies that tried, each its own way, to run, to fetch, to leave the page or to take it over.
const char* const hostile_bodies[] = {
    "<script>alert(1)</script>ok",
    "<SCRIPT src=//evil/x.js></SCRIPT>ok",
    "<<script></script>script>alert(1)<</script>/script>",
    "<scr<script></script>ipt>alert(1)</scr<script></script>ipt>",
    "<a href=\"&#106;avascript:alert(1)\">x</a><a href=\"java&#x09;script:1\">y</a>",
    "<a href=\" java\tscript:1\">y</a><a href=\"javascript&colon;1\">z</a>",
    "<a href=\"\x01javascript:1\">c</a><a href=\"jav&#x0A;ascript:1\">n</a>",
    "<a href=\"vbscript:msgbox\">v</a><a href=\"data:text/html,<script>1</script>\">d</a>",
    "<img src=x onerror=a onerror=b><img src=x ONERROR=c><img/src=x/onerror=d><img onerror:x=1>",
    "<a href=\"javascript:1\" href=\"javascript:2\">dup</a>",
    "<table><svg><script>x</script></svg><tr><td>c",
    "<svg><g onload=x><script>1</script></svg><math><mi><svg><script>2</script>",
    "<noscript><p title=\"</noscript><img src=x onerror=alert(1)>\"></noscript>",
    "<div><noscript></div><img src=x onerror=alert(1)></noscript>",
    "<iframe src=//evil></iframe><iframe srcdoc=\"<script>1</script>\">",
    "<object data=x.swf><embed src=y.swf><param name=a></object>",
    "<form action=//evil><input name=q><button formaction=javascript:1>b</button>",
    "<base href=//evil/><meta http-equiv=refresh content=\"0;url=javascript:1\">",
    "<select><meta http-equiv=refresh content=\"0;url=http://attacker.test/\"></select>",
    "<select><base href=\"http://attacker.test/\"><form action=\"http://attacker.test/\">",
    "<math></p><style><meta http-equiv=refresh content=\"0;url=http://attacker.test/\">",
    "<math></p><style><base href=\"http://attacker.test/\"></style><a href=x>rel</a>",
    "<frameset onload=x><frame src=javascript:1>",
    "<body onload=alert(1)><html onclick=alert(2)>",
    "<template><script>1</script></template><math><annotation-xml "
    "encoding=\"text/html\"><script>2</script>",
    "<isindex action=javascript:1 onclick=x>",
    "<img src=\"x\" <script>1</script>",
    "<style>a{}</style><img src=x onerror=y",
    "<style>article,p{display:none}</style>text",
    "<a href=http://x/ style=\"position:fixed;top:0;width:100%;height:100%\">notice</a>",
    "<div style=\"background:url(http://x/);width:expression(alert(1));color:red\">u</div>",
    "text <!-- unclosed <script>1</script>",
    "<textarea></textarea><textarea><script>1</script>",
    "<select><option>x<script>1</script>",
    "<b><i><u>open formatting",
    "<span class=\"unfinished",
    "</p class=\"<b>",
    "<!DOCTYPE x",
    "<math><![CDATA[x",
    "<xmp><script>1</script>",
    "<div>a</div></div></div></body></html></article>b",
    "<p><marquee><p>in</p></marquee>out",
    "<a href=1><marquee><a href=2>nested</a></marquee></a>",
    "<a href=1><table><a href=2>fostered</table>",
    "<plaintext><script>1</script>",
    "controls by reference: &#1;&#x81;&#xFDD0;&#x1FFFF;&#13; <b title=\"&#8;&#13;\">x</b>",
};

} // namespace

TEST(CleanPostBody, WritesOnlyAllowedMarkupFromTheTree) {
    const std::string body =
        "</div>\r\n<div id=\"blog_text\" class=\"cnt\">\r\n<P Align=center "
        "style=\"TEXT-ALIGN: center; position:absolute\">春天 &amp; <B>花</b></P>\r\n"
        "<style>p{display:none}</style><o:p></o:p><font color=#ff0000 size=+1 face=\"宋体\" "
        "onclick=x>红</font>\r\n<table border=1 id=t><tr><td colspan=2 onclick=y>格</td></tr>"
        "</table><!-- note --><pre>\n\nline</pre><center>中</center></div>\r\n<div class=\"opt\">"
        "<a href=\"/u/blog/category/x\">尾";
    EXPECT_EQ(rendered(body),
              "\n<div>\n<p align=\"center\" style=\"text-align:center\">春天 &amp; <b>花</b></p>\n"
              "<font color=\"#ff0000\" size=\"+1\" face=\"宋体\">红</font>\n<table border=\"1\">"
              "<tbody><tr><td colspan=\"2\">格</td></tr></tbody></table><pre>\n\nline</pre>"
              "<center>中</center></div>\n<div><a href=\"http://hi.baidu.com/u/blog/category/x\" "
              "rel=\"noreferrer noopener\">尾</a></div>");
}

TEST(CleanPostBody, PointsAddressesAtLocalFilesOrTheWebAndDropsTheRest) {
    const std::string body =
        "<IMG alt='x' SRC=\"/u/pic/b.jpg\" srcset=\"big.jpg 2x\" width=5 class=c onload=go()>"
        "<img src=http://img.example/a.png title=t><img src='../pic/none.gif' alt=gone>"
        "<img src=\"data:image/png,x\"><img src=\"javascript:1\">"
        "<a href=\"/u/blog/item/2.html#c\" onclick='x' name=n>下一篇</a> <a href=\"#top\">top</a>"
        "<a href=other.html title=\"&quot;\">o</a><a href=\" &#106;avascript:1\">j</a>"
        "<a href=\"mailto:a@b\">m</a>";
    EXPECT_EQ(rendered(body),
              "<img src=\"../images/B.jpg\" alt=\"x\" width=\"5\"><img src=\"../images/A.png\" "
              "title=\"t\"><a href=\"2.html#c\">下一篇</a> <a href=\"#top\">top</a>"
              "<a href=\"http://hi.baidu.com/u/blog/item/other.html\" title=\"&quot;\" "
              "rel=\"noreferrer noopener\">o</a><a>j</a><a>m</a>");
}

TEST(RenderBody, LeadsALinkWithAFragmentToThePostsAnchorOnThePageOfAllPosts) {
    const std::string all =
        RenderBody(CleanPostBody("<a href=\"/u/blog/item/2.html#c\">2</a>", post),
                   {[](const std::string&) { return std::nullopt; },
                    [](const std::string& address) -> std::optional<std::string> {
                        if (address == "http://hi.baidu.com/u/blog/item/2.html") {
                            return "#post-2";
                        }
                        return std::nullopt;
                    }});
    EXPECT_EQ(all, "<a href=\"#post-2\">2</a>");
}

TEST(SafeStyle, KeepsOnlyPlainDeclarationsOfLook) {
    EXPECT_EQ(SafeStyle("COLOR: #f00; Background-Color: rgb(1, 2, 3); font: 12px/1.5 \"宋体\"; "
                        "text-decoration:underline;margin:0 auto;padding-left:2em"),
              "color:#f00;background-color:rgb(1, 2, 3);font:12px/1.5 \"宋体\";"
              "text-decoration:underline;margin:0 auto;padding-left:2em");
    for (const char* refused :
         {"position:fixed", "background:url(x)", "background-color:url(x)",
          "color:expression(alert(1))", "width:100%", "color:red !important", "color:re\\64",
          "font-family:'a", "margin-top:-900px", "color:var(--x)", "z-index:9",
          "background-image:image-set(x)", "color:/*x*/red", "font:x;display:none", "color"}) {
        EXPECT_EQ(SafeStyle(refused).find_first_of("(!\\"), std::string::npos) << refused;
        EXPECT_EQ(SafeStyle(refused).find("display"), std::string::npos) << refused;
        EXPECT_EQ(SafeStyle(refused).find("margin-top"), std::string::npos) << refused;
    }
    EXPECT_EQ(SafeStyle("position:fixed;color:blue;top:0"), "color:blue");
}

TEST(CleanPostBody, LeavesNothingRunnableForeignOrOpen) {
    std::vector<std::string> bodies(std::begin(hostile_bodies), std::end(hostile_bodies));
    for (int kind = 1; kind <= sample_blog::k_hostile_posts; ++kind) {
        bodies.push_back(platform::utf16_to_utf8(sample_blog::hostile_content(kind)));
    }
    for (const std::string& hostile : bodies) {
        const std::string body = rendered(hostile);
        const std::string page = in_page(hostile);
        EXPECT_EQ(check::RunnableParts(page), std::vector<std::string>()) << hostile;
        EXPECT_EQ(check::ForeignMarkup(body), std::vector<std::string>()) << hostile;
        EXPECT_TRUE(after_is_ours(page)) << hostile << "\n" << page;
        EXPECT_EQ(check::TreeDump(body), check::TreeDump(check::Reserialized(body))) << hostile;
        // What a browser builds of it is what was written: written again, it stays the same.
        const std::string once = rendered_on_the_web(hostile);
        EXPECT_EQ(rendered_on_the_web(once), once) << hostile;
    }
}

TEST(CleanPostBody, KeepsTheTextOfEveryPost) {
    std::vector<std::string> bodies(std::begin(hostile_bodies), std::end(hostile_bodies));
    for (const sample_blog::BlogOptions options :
         {sample_blog::BlogOptions{.posts = 12, .pictures = true},
          sample_blog::BlogOptions{.posts = 12, .hostile = true}}) {
        const sample_blog::SampleBlog blog(u"someone", options);
        for (int number = 1; number <= blog.post_count(); ++number) {
            bodies.push_back(platform::utf16_to_utf8(blog.post_body(number)));
        }
    }
    for (const std::string& body : bodies) {
        const std::string text = check::VisibleText(rendered(body));
        EXPECT_EQ(text, check::VisibleText(body)) << body;
    }
    // The words the hostile posts hide behind are among them.
    const std::string shown =
        check::VisibleText(rendered(platform::utf16_to_utf8(sample_blog::hostile_content(5))));
    EXPECT_NE(shown.find("可见文字5"), std::string::npos);
    EXPECT_NE(shown.find("系统提示"), std::string::npos);
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

TEST(CleanPostBody, ShowsABodyTooCostlyToParseAsItsSource) {
    std::string body;
    for (int i = 0; i < 1100; ++i) {
        body += "<b>";
    }
    const std::string shown = rendered(body + "&x");
    EXPECT_EQ(shown.substr(0, 17), "<pre class=\"raw\">");
    EXPECT_EQ(check::VisibleText(shown), body + "&x");
}
