#include "exports/export_text.h"
#include "exports/hugo_site.h"
#include "exports/wordpress_file.h"

#include "offline/copy_pages.h"

#include <gtest/gtest.h>
#include <yaml.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <set>
#include <sstream>

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

std::string repeated(std::string_view text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) {
        out += text;
    }
    return out;
}

std::string utf8(char32_t c) {
    // Surrogates as a careless converter writes them: three bytes no reader takes.
    std::string out;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
}

struct YamlParser {
    YamlParser() { yaml_parser_initialize(&parser); }
    ~YamlParser() { yaml_parser_delete(&parser); }
    YamlParser(const YamlParser&) = delete;
    YamlParser& operator=(const YamlParser&) = delete;
    yaml_parser_t parser;
};

// The scalars of a YAML document as libyaml reads them; nothing when it refuses the document.
std::optional<std::vector<std::string>> yaml_scalars(const std::string& document) {
    YamlParser reader;
    yaml_parser_set_input_string(
        &reader.parser, reinterpret_cast<const unsigned char*>(document.data()), document.size());
    std::vector<std::string> scalars;
    for (;;) {
        yaml_event_t event;
        if (!yaml_parser_parse(&reader.parser, &event)) {
            return std::nullopt;
        }
        const yaml_event_type_t type = event.type;
        if (type == YAML_SCALAR_EVENT) {
            scalars.emplace_back(reinterpret_cast<const char*>(event.data.scalar.value),
                                 event.data.scalar.length);
        }
        yaml_event_delete(&event);
        if (type == YAML_STREAM_END_EVENT) {
            return scalars;
        }
    }
}

TEST(ExportText, QuotedTextIsYamlForEveryCodePoint) {
    for (char32_t first = 0; first <= 0x10FFFF; first += 0x1000) {
        std::string document;
        std::vector<std::string> expected;
        for (char32_t c = first; c < first + 0x1000; ++c) {
            document += "- " + QuotedText("a" + utf8(c) + "b") + "\n";
            const bool surrogate = c >= 0xD800 && c <= 0xDFFF;
            expected.push_back("a" + (surrogate ? std::string("\xEF\xBF\xBD") : utf8(c)) + "b");
        }
        const auto scalars = yaml_scalars(document);
        ASSERT_TRUE(scalars) << std::hex << static_cast<unsigned>(first);
        ASSERT_EQ(scalars->size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            ASSERT_EQ((*scalars)[i], expected[i]) << std::hex << static_cast<unsigned>(first + i);
        }
    }
    // Broken UTF-8 reads back as U+FFFD: an overlong or too large sequence as one, a cut one
    // for each byte.
    EXPECT_EQ(yaml_scalars(QuotedText("\xC0\x80|\xE0\x80\xAF|\xF4\x90\x80\x80|\xF8|\xE4\xB8")),
              std::vector<std::string>{"\uFFFD|\uFFFD|\uFFFD|\uFFFD|\uFFFD\uFFFD"});
}

TEST(ExportText, QuotedTextReadsBackInYamlAndToml) {
    EXPECT_EQ(QuotedText("a\"b\\c\td\x01\x7f"), "\"a\\\"b\\\\c\\u0009d\\u0001\\u007F\"");
    EXPECT_EQ(QuotedText("行\u2028分"), "\"行\\u2028分\"");
    EXPECT_EQ(QuotedText("中文: #x"), "\"中文: #x\"");
}

// Each was tried as a category in Hugo 0.111: the plain ones make a page at a path of their
// own, the others stop the build, are lost or make a broken link.
TEST(ExportText, HugoTermsArePathsHugoKeeps) {
    for (const char* plain : {"游记", "游记 & 随笔", "读书·笔记", "《书》", "心情。", "a_b-c",
                              "Ωμέγα", "한국어", "「a」", "a？b"}) {
        EXPECT_EQ(HugoTerm(plain), plain);
    }
    const std::string unsafe[] = {"..",
                                  ".",
                                  "",
                                  " ",
                                  "a/b",
                                  "/",
                                  "\\",
                                  "#",
                                  "a#b",
                                  "%",
                                  "a..",
                                  "...",
                                  "😀",
                                  "游记\xC2\x90",
                                  "\xEF\xBF\xBF",
                                  "C++",
                                  "term-1",
                                  "Term-2",
                                  "&",
                                  "a/..",
                                  repeated("游", 41),
                                  std::string(121, 'a')};
    std::set<std::string> made;
    for (const std::string& text : unsafe) {
        const std::string term = HugoTerm(text);
        EXPECT_TRUE(std::regex_match(term, std::regex("term-[0-9a-f]{16}"))) << text << " " << term;
        EXPECT_EQ(HugoTerm(text), term);
        made.insert(term);
    }
    EXPECT_EQ(made.size(), std::size(unsafe));
    EXPECT_EQ(HugoTerm(std::string(120, 'a')), std::string(120, 'a'));
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
             "<content:encoded><![CDATA[<p>&#93;&#93;>正文</p><img "
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

TEST(ExportFormats, HugoFrontMatterOfHostileTexts) {
    ExportPost post = sample_post();
    post.title = "标题\xC2\x81测试{{< x >}}";
    post.category = "..";
    post.tags = {"游记\xC2\x90", "旅行", "\xEF\xBF\xBF"};
    post.hugo_body = "<p>{{% gist a 1 %}}</p>";
    const std::string page = HugoPage(post);
    const std::size_t end = page.find("\n---\n", 4);
    ASSERT_NE(end, std::string::npos);
    const auto scalars = yaml_scalars(page.substr(4, end - 4));
    ASSERT_TRUE(scalars) << page;
    const std::vector<std::string> expected{"title",
                                            post.title,
                                            "date",
                                            "2009-05-01T21:00:00+08:00",
                                            "categories",
                                            HugoTerm(".."),
                                            "tags",
                                            HugoTerm("游记\xC2\x90"),
                                            "旅行",
                                            HugoTerm("\xEF\xBF\xBF"),
                                            "original_address",
                                            post.address,
                                            "draft",
                                            "false"};
    EXPECT_EQ(*scalars, expected);
    EXPECT_EQ(page.substr(end), "\n---\n\n\\{\\{% gist a 1 %}}\n");
}

// A category or tag that cannot be a term keeps its text as its term page's title, until no
// post carries it.
TEST(ExportFormats, HugoSiteTitlesTheTermsItMade) {
    const std::filesystem::path folder =
        std::filesystem::path(testing::TempDir()) / "export_formats_hugo_terms";
    std::filesystem::remove_all(folder);
    const auto read = [](const std::filesystem::path& file) {
        std::ifstream in(file);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    };
    ExportPost post = sample_post();
    post.category = "..";
    post.tags = {"a/b", "旅行", "a/b"};
    {
        HugoSite site(folder, folder / "none", {});
        site.add_post(post);
        ASSERT_TRUE(site.finish().empty());
    }
    const std::filesystem::path content = folder / "content";
    EXPECT_EQ(read(content / "categories" / HugoTerm("..") / "_index.md"),
              "---\ntitle: \"..\"\n---\n");
    EXPECT_EQ(read(content / "tags" / HugoTerm("a/b") / "_index.md"), "---\ntitle: \"a/b\"\n---\n");
    EXPECT_FALSE(std::filesystem::exists(content / "tags" / "旅行"));
    post.category = "游记";
    post.tags.clear();
    {
        HugoSite site(folder, folder / "none", {});
        site.add_post(post);
        ASSERT_TRUE(site.finish().empty());
    }
    EXPECT_TRUE(std::filesystem::is_empty(content / "categories"));
    EXPECT_TRUE(std::filesystem::is_empty(content / "tags"));
    std::filesystem::remove_all(folder);
}

// WordPress expands "[shortcode]" in content and in attribute values.
TEST(ExportFormats, WordPressReadsBracketsAsText) {
    ExportPost post = sample_post();
    post.wordpress_body =
        "<p>[embed]http://a.test/v[/embed] <a href=\"x[audio src=y]\">[a]</a></p>";
    const std::string item = WordPressItem(post, "u");
    EXPECT_NE(
        item.find("<content:encoded><![CDATA[<p>&#91;embed&#93;http://a.test/v&#91;/embed&#93; "
                  "<a href=\"x&#91;audio src=y&#93;\">&#91;a&#93;</a></p>]]></content:encoded>"),
        std::string::npos)
        << item;
}

// Posts without a date of their own are a second apart, by their number.
TEST(ExportFormats, UndatedPostsGetDistinctTimes) {
    offline::PreparedPost prepared;
    prepared.number = 3;
    prepared.title = "无日期";
    PostSurroundings around;
    around.picture = [](const std::string&) { return std::optional<std::string>(); };
    around.post_number = [](const std::string&) { return std::optional<std::size_t>(); };
    around.backup_time = offline::ChinaDate(1'700'000'000); // 2023-11-14 22:13:20 UTC
    ExportPost backup = ExportPostOf(prepared, around);
    EXPECT_EQ(backup.date_from, DateFrom::backup);
    EXPECT_EQ(offline::IsoDate(backup.date), "2023-11-15T06:13:17+08:00");
    const std::string item = WordPressItem(backup, "u");
    EXPECT_NE(item.find("<pubDate>Tue, 14 Nov 2023 22:13:17 +0000</pubDate>"), std::string::npos);
    EXPECT_NE(item.find("<wp:post_date><![CDATA[2023-11-15 06:13:17]]>"), std::string::npos);
    EXPECT_NE(item.find("<wp:post_date_gmt><![CDATA[2023-11-14 22:13:17]]>"), std::string::npos);
    EXPECT_NE(HugoPage(backup).find("\ndate: 2023-11-15T06:13:17+08:00\n"), std::string::npos);

    around.capture_time = offline::PostDate{2010, 1, 2, 0, 0, true};
    prepared.number = 1;
    const ExportPost capture = ExportPostOf(prepared, around);
    EXPECT_EQ(capture.date_from, DateFrom::capture);
    EXPECT_EQ(offline::IsoDate(capture.date), "2010-01-01T23:59:59+08:00");

    prepared.facts.date = offline::PostDate{2009, 5, 1, 21, 0, true};
    EXPECT_EQ(offline::IsoDate(ExportPostOf(prepared, around).date), "2009-05-01T21:00:00+08:00");
}

} // namespace
