#include "exports/markdown.h"

#include <gtest/gtest.h>

#include <sstream>

using exports::HtmlToMarkdown;

namespace {

TEST(Markdown, ParagraphsBreaksAndEmphasis) {
    EXPECT_EQ(HtmlToMarkdown("<p>一段\r\n  文字</p><p>二<br>行</p>"), "一段 文字\n\n二\\\n行");
    EXPECT_EQ(HtmlToMarkdown("<p><b>粗</b><strong>重</strong> <i>斜</i> <em>强 </em>调</p>"),
              "**粗**<strong>重</strong> *斜* *强* 调");
    // Runs side by side would merge their markers into one that means nothing.
    EXPECT_EQ(HtmlToMarkdown("<i>斜</i><i>体</i><b>粗</b><i>斜</i>"),
              "*斜*<em>体</em>**粗**<em>斜</em>");
    // Markers beside punctuation would not be read as emphasis: HTML says it instead.
    EXPECT_EQ(HtmlToMarkdown("a<b>，粗</b>b"), "a<strong>，粗</strong>b");
    EXPECT_EQ(HtmlToMarkdown("<p><br>开头与结尾的换行<br></p>"), "开头与结尾的换行");
    EXPECT_EQ(HtmlToMarkdown("文字<div>块</div>文字"), "文字\n\n块\n\n文字");
    EXPECT_EQ(HtmlToMarkdown(""), "");
}

TEST(Markdown, TextNeverReadsAsMarkdown) {
    EXPECT_EQ(HtmlToMarkdown("<p>* _ [x] &lt;b&gt; &amp;amp; ` \\ # | ~</p>"),
              "\\* \\_ \\[x\\] \\<b\\> \\&amp; \\` \\\\ \\# \\| \\~");
    // At a line start, what would open a list, a quote or a heading underline.
    EXPECT_EQ(HtmlToMarkdown("<p>1. 一<br>- 二<br>+ 三<br>= 四<br>2) 五<br>2009年</p>"),
              "1\\. 一\\\n\\- 二\\\n\\+ 三\\\n\\= 四\\\n2\\) 五\\\n2009年");
    EXPECT_EQ(HtmlToMarkdown("<p>a - b 1. c</p>"), "a - b 1. c");
}

TEST(Markdown, HeadingsLinksPicturesAndCode) {
    EXPECT_EQ(HtmlToMarkdown("<h2>小<i>标题</i><br>二行</h2><h6>六</h6><h3> </h3>"),
              "## 小*标题*<br>二行\n\n###### 六");
    EXPECT_EQ(HtmlToMarkdown("<a href=\"../2/\">上 一篇</a> <a href=\"http://x.cn/a b(c)&amp;d\">"
                             "x</a>"),
              "[上 一篇](../2/) [x](http://x.cn/a%20b%28c%29\\&d)");
    // Titles stay, their quotes escaped.
    EXPECT_EQ(HtmlToMarkdown(
                  "<a href=\"x.html\" title=\"说 &quot;明&quot;\">x</a>"
                  "<img src=\"a.png\" alt=\"图\" title=\"图\n题\"><a href=\"y\" title=\"\">y</a>"),
              "[x](x.html \"说 \\\"明\\\"\")![图](a.png \"图 题\")[y](y)");
    EXPECT_EQ(HtmlToMarkdown("<img src=\"a.png\" alt=\"图[1]\"><img src=\"b.gif\" width=\"5\">"),
              "<img src=\"a.png\" alt=\"图[1]\"><img src=\"b.gif\" width=\"5\">");
    EXPECT_EQ(HtmlToMarkdown("<a href=\"x.html\"><img src=\"a.png\"></a>"), "[![](a.png)](x.html)");
    EXPECT_EQ(HtmlToMarkdown("<code>a `b` c</code> <tt>*</tt>"), "``a `b` c`` `*`");
    EXPECT_EQ(HtmlToMarkdown("<a name=\"top\">锚</a>"), "锚");
}

TEST(Markdown, ListsNestedAndInSequence) {
    EXPECT_EQ(HtmlToMarkdown("<ul><li>一<ul><li>甲</li><li>乙<ol><li>子</li></ol></li></ul></li>"
                             "<li>二</li></ul>"),
              "* 一\n\n  - 甲\n\n  - 乙\n\n    1. 子\n\n* 二");
    EXPECT_EQ(HtmlToMarkdown("<ol start=\"7\"><li>七</li><li>八</li></ol>"), "7. 七\n8. 八");
    // Two lists in a row keep apart by their markers, even with empty blocks between them or
    // each in its own block; the second keeps its start.
    EXPECT_EQ(HtmlToMarkdown("<ul><li>a</li></ul><ul><li>b</li></ul><ol><li>c</li></ol>"
                             "<p></p><ol start=\"5\"><li>d</li></ol>"),
              "- a\n\n* b\n\n1. c\n\n5) d");
    EXPECT_EQ(HtmlToMarkdown("<div><ol><li>a<ol><li>b</li></ol></li></ol></div>"
                             "<div><ol start=\"5\"><li>c</li></ol></div>"),
              "1) a\n\n   1. b\n\n5. c");
    // What Markdown cannot say of a list keeps the whole list as HTML.
    EXPECT_EQ(HtmlToMarkdown("<ul>前言<li>a</li>结尾</ul><ol type=\"a\"><li>甲</li><li>乙</li></ol>"
                             "<ol><li value=\"3\">三</li></ol>"),
              "<ul>前言<li>a</li>结尾</ul>\n\n<ol type=\"a\"><li>甲</li><li>乙</li></ol>\n\n"
              "<ol><li value=\"3\">三</li></ol>");
    EXPECT_EQ(HtmlToMarkdown("<ul><li></li><li>x</li></ul>"), "-\n- x");
}

TEST(Markdown, QuotesAndPreformattedText) {
    EXPECT_EQ(HtmlToMarkdown("<blockquote><p>一</p><p>二</p></blockquote>"), "> 一\n>\n> 二");
    EXPECT_EQ(HtmlToMarkdown("<pre>\n  a &lt;b&gt;\r\n ```\n</pre>"), "````\n  a <b>\n ```\n````");
    // Markup inside preformatted text stays HTML, on one line.
    EXPECT_EQ(HtmlToMarkdown("<pre>a\n<b>b</b></pre>"), "<pre>a&#10;<b>b</b></pre>");
    EXPECT_EQ(HtmlToMarkdown("<hr><hr size=\"3\">"), "* * *\n\n<hr size=\"3\">");
}

TEST(Markdown, WhatMarkdownCannotSayStaysHtml) {
    EXPECT_EQ(HtmlToMarkdown("<table border=1><tr><td>a\n\nb</td><td>]]&gt;</td></tr></table>"),
              "<table border=\"1\"><tbody><tr><td>a&#10;&#10;b</td><td>]]&gt;</td></tr></tbody>"
              "</table>");
    EXPECT_EQ(HtmlToMarkdown("<p>x<font color=\"red\">红</font><span style=\"a&quot;b\">y</span>"
                             "<u>下</u></p>"),
              "x<font color=\"red\">红</font><span style=\"a&quot;b\">y</span><u>下</u>");
    EXPECT_EQ(HtmlToMarkdown("<div align=\"center\"><p>中</p><p>间</p></div>"),
              "<div align=\"center\">\n\n中\n\n间\n\n</div>");
    EXPECT_EQ(HtmlToMarkdown("<font color=red><p>段</p></font>"),
              "<font color=\"red\">\n\n段\n\n</font>");
    EXPECT_EQ(HtmlToMarkdown("<p>注<!-- 注释 -->释</p>"), "注释");
    // A styled paragraph or heading is one HTML line, so no paragraph inside ends it.
    EXPECT_EQ(
        HtmlToMarkdown("<p align=\"center\">居<b>中</b>\n\n文</p><h2 style=\"color:red\">红</h2>"),
        "<p align=\"center\">居<b>中</b>&#10;&#10;文</p>\n\n<h2 style=\"color:red\">红</h2>");
}

// Whether a line ends in "{...}" whose brace is not escaped.
bool ends_in_attributes(const std::string& markdown) {
    std::istringstream lines(markdown);
    for (std::string line; std::getline(lines, line);) {
        const std::size_t brace = line.rfind('{');
        if (line.ends_with("}") && brace != std::string::npos &&
            (brace == 0 || line[brace - 1] != '\\')) {
            return true;
        }
    }
    return false;
}

// Hugo reads shortcodes and the summary divider before Markdown, wherever they stand, and takes
// "{...}" at a heading's end for its attributes.
TEST(Markdown, HugoFindsNoShortcodeDividerOrAttributes) {
    const std::string hostile[] = {
        "<p>x {{% gist attacker 1234 %}} y {{<x>}}</p>",
        "<p>{<span>{</span>{<b></b>{% x %}}</p>",
        "<p><code>{{< gist attacker 77 >}}</code> 用 <code>&lt;!--more--&gt;</code> 分隔</p>",
        "<pre>a\n{{% nosuch %}}\n&lt;!--more--&gt;</pre>",
        "<pre style=\"color:red\">{{%y</pre><table><tr><td>{{<x>}}</td></tr></table>",
        "<p><u title=\"{{<x>}}\">{{%x%}}</u><a href=\"http://a/{{%x%}}\">{{<y>}}</a></p>",
        "<p><img src=\"{{<x>}}.png\" alt=\"{{%x%}}\"> &lt;!--more--&gt;</p>",
        "<h2>标题{style=\"position:fixed\"}</h2><h3>a {.x}</h3>",
    };
    for (const std::string& html : hostile) {
        const std::string markdown = HtmlToMarkdown(html);
        EXPECT_EQ(markdown.find("{{"), std::string::npos) << markdown;
        EXPECT_EQ(markdown.find("<!--more-->"), std::string::npos) << markdown;
        EXPECT_FALSE(ends_in_attributes(markdown)) << markdown;
    }
    // Each still says what it said: escapes in text, references in code and HTML.
    EXPECT_EQ(HtmlToMarkdown("<p>x {{% g %}}</p>"), "x \\{\\{% g %}}");
    EXPECT_EQ(HtmlToMarkdown("<code>{{< g >}}</code><code>{x}</code>"),
              "<code>&#123;&#123;&lt; g &gt;}}</code>`{x}`");
    EXPECT_EQ(HtmlToMarkdown("<pre>{{% g %}}\n</pre>"), "<pre>&#123;&#123;% g %}}&#10;</pre>");
    EXPECT_EQ(HtmlToMarkdown("<h2>a {.x}</h2>"), "## a \\{.x}");
    EXPECT_EQ(HtmlToMarkdown("<a href=\"/{{%x%}}\">a</a>"), "[a](/%7B%7B%x%%7D%7D)");
}

TEST(Markdown, ControlCharactersAndDeepNesting) {
    EXPECT_EQ(HtmlToMarkdown("<p>a\x01\x0b\x0c\x1f b\tc</p>"), "a b c");
    // Character references give control characters too.
    EXPECT_EQ(HtmlToMarkdown("<p>a&#1;b<code>c&#2;</code></p><pre>d&#3;</pre>"
                             "<table><tr><td>e&#4;</td></tr></table>"),
              "ab`c`\n\n```\nd\n```\n\n<table><tbody><tr><td>e</td></tr></tbody></table>");
    std::string deep;
    for (int i = 0; i < 5000; ++i) {
        deep += "<blockquote>";
    }
    deep += "深";
    const std::string markdown = HtmlToMarkdown(deep);
    EXPECT_NE(markdown.find("深"), std::string::npos);
}

} // namespace
