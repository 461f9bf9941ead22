#include "exports/export_text.h"
#include "exports/hugo_site.h"
#include "exports/wordpress_file.h"

#include <gtest/gtest.h>

using namespace exports;

namespace {

ExportPost sample_post() {
    ExportPost post;
    post.number = 7;
    post.title = "他说：\"你好\" & 'hi': <7>";
    post.address = "http://hi.baidu.com/u/blog/item/a.html?x=1&y=2";
    post.date = {2009, 5, 1, 21, 0, true};
    post.category = "游记 & 随笔";
    post.tags = {"旅行", "A b"};
    post.hugo_body = "<p>正文<img src=\"p.png\"></p>";
    post.wordpress_body = "<p>]]>正文\x01\x0b</p><img src=\"/wp-content/uploads/pellumo/p.png\">";
    return post;
}

TEST(ExportText, QuotedTextReadsBackInYamlAndToml) {
    EXPECT_EQ(QuotedText("a\"b\\c\td\x01\x7f"), "\"a\\\"b\\\\c\\u0009d\\u0001\\u007F\"");
    EXPECT_EQ(QuotedText("行\u2028分"), "\"行\\u2028分\"");
    EXPECT_EQ(QuotedText("中文: #x"), "\"中文: #x\"");
}

TEST(ExportText, XmlHoldsWhatXmlCan) {
    EXPECT_EQ(XmlCharacters("a\x01\x08\tb\nc\rd\x0b\x0c\x1f"
                            "e\xEF\xBF\xBE\xEF\xBF\xBF"
                            "f"),
              "a\tb\nc\rdef");
    EXPECT_EQ(XmlCharacters("中\xF0\x9F\x98\x80"), "中\xF0\x9F\x98\x80");
    EXPECT_EQ(XmlText("<a href=\"x\">&</a>"), "&lt;a href=&quot;x&quot;&gt;&amp;&lt;/a&gt;");
    EXPECT_EQ(Cdata("a]]>b"), "<![CDATA[a]]]]><![CDATA[>b]]>");
    EXPECT_EQ(Cdata("]]>]]>"), "<![CDATA[]]]]><![CDATA[>]]]]><![CDATA[>]]>");
    EXPECT_EQ(Cdata("\x02x"), "<![CDATA[x]]>");
    EXPECT_EQ(Nicename("游记 & Notes"), "%e6%b8%b8%e8%ae%b0-%26-notes");
}

TEST(ExportFormats, WordPressItemHoldsEveryField) {
    const std::string item = WordPressItem(sample_post(), "someone");
    for (const char* field : {
             "<title>他说：&quot;你好&quot; &amp; &#39;hi&#39;: &lt;7&gt;</title>",
             "<link>http://hi.baidu.com/u/blog/item/a.html?x=1&amp;y=2</link>",
             "<pubDate>Fri, 01 May 2009 13:00:00 +0000</pubDate>",
             "<dc:creator><![CDATA[someone]]></dc:creator>",
             "<content:encoded><![CDATA[<p>]]]]><![CDATA[>正文</p><img "
             "src=\"/wp-content/uploads/pellumo/p.png\">]]></content:encoded>",
             "<wp:post_id>7</wp:post_id>",
             "<wp:post_date><![CDATA[2009-05-01 21:00:00]]></wp:post_date>",
             "<wp:post_date_gmt><![CDATA[2009-05-01 13:00:00]]></wp:post_date_gmt>",
             "<wp:post_name><![CDATA[post-7]]></wp:post_name>",
             "<wp:status><![CDATA[publish]]></wp:status>",
             "<wp:post_type><![CDATA[post]]></wp:post_type>",
             "<category domain=\"category\" nicename=\"%e6%b8%b8%e8%ae%b0-%26-%e9%9a%8f%e7%ac%94\">"
             "<![CDATA[游记 & 随笔]]></category>",
             "<category domain=\"post_tag\" nicename=\"a-b\"><![CDATA[A b]]></category>",
         }) {
        EXPECT_NE(item.find(field), std::string::npos) << field;
    }
    EXPECT_EQ(item.find("pellumo_date_from"), std::string::npos);

    ExportPost undated = sample_post();
    undated.date_from = DateFrom::capture;
    undated.category.clear();
    EXPECT_NE(WordPressItem(undated, "u")
                  .find("<wp:meta_key><![CDATA[pellumo_date_from]]>"
                        "</wp:meta_key>\n\t\t\t<wp:meta_value><![CDATA["
                        "capture]]></wp:meta_value>"),
              std::string::npos);
    EXPECT_EQ(WordPressItem(undated, "u").find("domain=\"category\""), std::string::npos);
    EXPECT_EQ(Rfc822Date(0), "Thu, 01 Jan 1970 00:00:00 +0000");
}

TEST(ExportFormats, HugoPageFrontMatter) {
    ExportPost post = sample_post();
    post.capture_address = "https://web.archive.org/web/20100101000000/http://hi.baidu.com/u";
    EXPECT_EQ(HugoPage(post),
              "---\n"
              "title: \"他说：\\\"你好\\\" & 'hi': <7>\"\n"
              "date: 2009-05-01T21:00:00+08:00\n"
              "categories: [\"游记 & 随笔\"]\n"
              "tags: [\"旅行\", \"A b\"]\n"
              "original_address: \"http://hi.baidu.com/u/blog/item/a.html?x=1&y=2\"\n"
              "capture_address: \"https://web.archive.org/web/20100101000000/"
              "http://hi.baidu.com/u\"\n"
              "draft: false\n"
              "---\n\n"
              "正文![](p.png)\n");
    post.date_from = DateFrom::backup;
    post.category.clear();
    post.tags.clear();
    post.hugo_body.clear();
    const std::string page = HugoPage(post);
    EXPECT_NE(page.find("draft: false\ndate_from: backup\n---\n\n"), std::string::npos) << page;
    EXPECT_EQ(page.find("categories"), std::string::npos);
    EXPECT_EQ(page.find("tags"), std::string::npos);
}

} // namespace
