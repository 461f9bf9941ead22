#include "blog/link_collector.h"
#include "blog/new_layout.h"
#include "blog/post_page.h"
#include "blog/two_layouts.h"
#include "platform/codepage.h"
#include "platform/text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using blog::PostLayout;

constexpr std::u16string_view id = u"0123456789abcdef01234567";

std::string utf8(std::u16string_view text) {
    return platform::utf16_to_utf8(text);
}

// A post page of the newer layout as one theme printed it; `body` goes between the body
// element's tags as it is.
std::u16string post_page(std::u16string_view body,
                         std::u16string_view body_classes = u"content mod-cs-content text-content "
                                                            u"clearfix") {
    return u"<!DOCTYPE html>\r\n<html><head><meta charset=\"utf-8\">"
           u"<title>春天_小园_百度空间</title></head>\r\n<body><div class=\"mod-blogpage\">"
           u"<div class=\"content-other-info\"> <span>2013-04-05 21:07</span> </div>\r\n"
           u"<h2 class=\"title content-title\">春天 来了</h2>\r\n<div id=\"content\" class=\"" +
           std::u16string(body_classes) + u"\">" + std::u16string(body) +
           u"</div>\r\n<div class=\"tags\"><a href=\"http://hi.baidu.com/tag/旅行/feeds\">#旅行"
           u"</a> <a href=\"http://hi.baidu.com/tag/%E5%A4%A9/feeds\">#天气</a></div>"
           u"<a href=\"/u/item/aaaaaaaaaaaaaaaaaaaaaaaa\" title=\"上一篇\">上一篇</a></div>"
           u"</body></html>";
}

} // namespace

TEST(NewLayoutPostAddress, OnlyTheUsersItemsInCanonicalForm) {
    const std::u16string canonical = u"http://hi.baidu.com/pellumo/item/" + std::u16string(id);
    const std::pair<std::u16string, std::optional<std::u16string>> cases[] = {
        {canonical, canonical},
        {u"https://HI.Baidu.com:443/pellumo/item/0123456789ABCDEF01234567?fr=x#c", canonical},
        {u"http://hi.baidu.com:80/pellumo/item/0123456789abcdef01234567#comment", canonical},
        {u"http://hi.baidu.com/other/item/" + std::u16string(id), std::nullopt},
        {u"http://hi.baidu.com/Pellumo/item/" + std::u16string(id), std::nullopt},
        {u"http://hi.baidu.com/pellumo/item/0123456789abcdef0123456", std::nullopt},
        {u"http://hi.baidu.com/pellumo/item/0123456789abcdef012345678", std::nullopt},
        {u"http://hi.baidu.com/pellumo/item/0123456789abcdef0123456g", std::nullopt},
        {u"http://hi.baidu.com/pellumo/item/" + std::u16string(id) + u"/", std::nullopt},
        {u"http://example.org/pellumo/item/" + std::u16string(id), std::nullopt},
        {u"hi.baidu.com/pellumo/item/" + std::u16string(id), std::nullopt},
        {u"javascript:http://hi.baidu.com/pellumo/item/" + std::u16string(id), std::nullopt},
    };
    for (const auto& [link, expected] : cases) {
        EXPECT_EQ(blog::NewLayoutPostAddress(link, u"pellumo"), expected) << utf8(link);
    }
    // A percent-encoded user matches whatever the case of its escapes.
    EXPECT_EQ(blog::NewLayoutPostAddress(
                  u"http://hi.baidu.com/%e5%b0%8f/item/" + std::u16string(id), u"%E5%B0%8F"),
              u"http://hi.baidu.com/%e5%b0%8f/item/" + std::u16string(id));
}

TEST(PostLinkList, ListsNewLayoutPostsOnceInCanonicalFormBesideTheOldRule) {
    blog::PostLinkList list;
    list.set_new_layout_form(
        [](std::u16string_view link) { return blog::NewLayoutPostAddress(link, u"pellumo"); });
    const std::u16string canonical = u"http://hi.baidu.com/pellumo/item/" + std::u16string(id);
    const std::vector<std::u16string> added = list.add_page_links({
        u"http://hi.baidu.com/pellumo/item/0123456789ABCDEF01234567?from=list",
        u"http://hi.baidu.com/pellumo/blog/item/1.html",
        canonical + u"#comment",
        u"http://hi.baidu.com/pellumo/blog/item/1.html#comment",
        u"http://hi.baidu.com/other/item/" + std::u16string(id),
    });
    EXPECT_EQ(added, (std::vector<std::u16string>{
                         canonical, u"http://hi.baidu.com/pellumo/blog/item/1.html"}));
}

TEST(NewLayoutListPage, PagerCountAndEntries) {
    const std::u16string pager = u"<div id=\"pagerBar\"><a class=\"next\" href=\"?page=2\">下一页"
                                 u"</a><script>var curPage = 1, pageSize = 3;</script></div>";
    EXPECT_EQ(blog::NewLayoutPageCount(u"<html><body>" + pager + u"</body></html>"), 3);
    EXPECT_TRUE(blog::IsNewLayoutListPage(pager));
    // No pager: one page.
    const std::u16string entry =
        u"<article class=\"blog mod-blogitem\"><a href=\"/u/item/x\">a</a></article>";
    EXPECT_EQ(blog::NewLayoutPageCount(entry), 1);
    EXPECT_TRUE(blog::IsNewLayoutListPage(entry));
    EXPECT_TRUE(
        blog::IsNewLayoutListPage(u"<div class=\"mod-cs-contentblock x mod-realcontent\"></div>"));
    EXPECT_FALSE(blog::IsNewLayoutListPage(u"<div class=\"mod-realcontent\"></div>"));
    EXPECT_FALSE(
        blog::IsNewLayoutListPage(u"<a href=\"/u/blog/index/1\">[下一页]</a><p>pageSize = 3</p>"));
    // A script elsewhere, or a pager whose count cannot be read, still counts as one page.
    EXPECT_EQ(blog::NewLayoutPageCount(u"<div id=\"pagerBar\"></div><script>pageSize=x</script>"),
              1);
    EXPECT_EQ(blog::NewLayoutPageCount(u"<div id=\"pagerBar\"></div><script>pageSize=0</script>"),
              1);
    EXPECT_EQ(
        blog::NewLayoutPageCount(u"<div id=\"pagerBar\"></div><script>pageSize=99999</script>"), 1);
}

TEST(CutNewLayoutPost, BodyIsTheTextBetweenTheTagsCharacterForCharacter) {
    const std::u16string bodies[] = {
        u"\r\n<p>第一段</p>\r\n<div class=\"inner\"><div>嵌套</div></div>\r\n",
        u"<!-- </div> --><p>注释之后</p>",
        u"<script>document.write('</div>');</script><p>脚本之后</p>",
        u"",
        u"<p>😀 &amp; &lt;</p>",
    };
    for (const std::u16string& body : bodies) {
        const std::u16string page = post_page(body);
        const std::optional<blog::NewLayoutPost> post = blog::CutNewLayoutPost(page);
        ASSERT_TRUE(post) << utf8(body);
        EXPECT_EQ(page.substr(post->body_begin, post->body_end - post->body_begin), body);
        EXPECT_EQ(post->title, u"春天 来了");
    }
}

TEST(CutNewLayoutPost, ThemesVaryTheClassesButNotTheRule) {
    for (const std::u16string_view classes :
         {u"clearfix text-content content", u"  CONTENT\tmod-cs-content ", u"content"}) {
        const std::u16string page = post_page(u"<p>x</p>", classes);
        const auto post = blog::CutNewLayoutPost(page);
        ASSERT_TRUE(post) << utf8(classes);
        EXPECT_EQ(page.substr(post->body_begin, post->body_end - post->body_begin), u"<p>x</p>");
    }
    EXPECT_FALSE(blog::CutNewLayoutPost(post_page(u"<p>x</p>", u"contents")));
    // A void element cannot hold the body; a body cut off with its page runs to the page's end.
    const std::u16string cut_off = u"<meta id=\"content\" class=\"content\"><h2 "
                                   u"class=\"content-title\">t</h2><div id=\"content\" "
                                   u"class=\"content\"><p>半";
    const auto truncated = blog::CutNewLayoutPost(cut_off);
    ASSERT_TRUE(truncated);
    EXPECT_EQ(cut_off.substr(truncated->body_begin, truncated->body_end - truncated->body_begin),
              u"<p>半");
    EXPECT_FALSE(blog::CutNewLayoutPost(u"<div class=\"content\">x</div><title>a_b</title>"));
    // Without the heading the title is the page's title up to its first "_".
    const auto untitled = blog::CutNewLayoutPost(
        u"<title>旧题_小园_百度空间</title><div id=\"content\" class=\"content\">x</div>");
    ASSERT_TRUE(untitled);
    EXPECT_EQ(untitled->title, u"旧题");
}

TEST(CutNewLayoutPost, DateAndTags) {
    const auto post = blog::CutNewLayoutPost(post_page(u"x"));
    ASSERT_TRUE(post && post->date);
    EXPECT_EQ(post->date->year, 2013);
    EXPECT_EQ(post->date->month, 4);
    EXPECT_EQ(post->date->day, 5);
    EXPECT_EQ(post->date->hour, 21);
    EXPECT_EQ(post->date->minute, 7);
    EXPECT_EQ(post->tags, (std::vector<std::u16string>{u"旅行", u"天气"}));

    const auto bare = blog::CutNewLayoutPost(
        u"<h2 class=\"content-title\">t</h2><div class=\"content-other-info\"><span>2013-02-30 "
        u"10:00</span></div><span>2013-01-01 10:00</span><a href=\"/tag/x/feedsx\">#x</a>"
        u"<div id=\"content\" class=\"content\">b</div>");
    ASSERT_TRUE(bare);
    EXPECT_FALSE(bare->date); // no such day; a date outside the info line is not read
    EXPECT_TRUE(bare->tags.empty());
}

TEST(ReadPostPage, OldMarkersFirstThenTheNewLayoutByItsCharset) {
    // A UTF-8 page declared in its header.
    const std::u16string body = u"<p>中文，和 “引号” 😀</p>\r\n<div>内</div>";
    const blog::PostPage page =
        blog::ReadPostPage(utf8(post_page(body)), "text/html; charset=UTF-8");
    EXPECT_EQ(page.cut.layout, PostLayout::new_layout);
    EXPECT_EQ(page.body(), body);
    EXPECT_EQ(page.cut.file_title, u"春天来了");
    // The same declared in its meta alone, and a GBK page that declares nothing.
    EXPECT_EQ(blog::ReadPostPage(utf8(post_page(body)), "text/html").body(), body);
    const std::u16string gbk_body = u"<p>中文正文</p>";
    std::u16string gbk_page = post_page(gbk_body);
    gbk_page.replace(gbk_page.find(u"<meta charset=\"utf-8\">"), 22, u"");
    const blog::PostPage from_gbk = blog::ReadPostPage(platform::encode_gbk(gbk_page), "");
    EXPECT_EQ(from_gbk.body(), gbk_body);
    // What is saved round-trips through GBK; what GBK cannot hold becomes a reference.
    EXPECT_EQ(platform::decode_gbk(platform::encode_gbk(page.body())),
              u"<p>中文，和 “引号” &#x1F600;</p>\r\n<div>内</div>");

    // A page with the old markers is cut the old way even when it also has the new markup.
    const std::u16string both = u"<title>旧 文_x</title>查看文章旧正文类别" + post_page(u"新");
    const blog::PostPage old = blog::ReadPostPage(platform::encode_gbk(both), "");
    EXPECT_EQ(old.cut.layout, PostLayout::old_layout);
    EXPECT_EQ(old.body(), u"旧正文");
    EXPECT_EQ(old.cut.file_title, u"旧文");
    // Neither: no body.
    EXPECT_EQ(blog::ReadPostPage("<html>login</html>", "").cut.layout, PostLayout::none);
}

TEST(DeclaredCharset, HeaderThenMetaInTheFirstKilobyte) {
    EXPECT_EQ(blog::DeclaredCharset("", "text/html;charset=\"GBK\""), "gbk");
    EXPECT_EQ(blog::DeclaredCharset("<meta charset=utf-8>", "text/html; charset=gb2312"), "gb2312");
    EXPECT_EQ(blog::DeclaredCharset("<meta http-equiv=\"Content-Type\" content=\"text/html; "
                                    "charset=UTF-8\">",
                                    ""),
              "utf-8");
    EXPECT_EQ(blog::DeclaredCharset(std::string(1020, ' ') + "<meta charset=utf-8>", ""), "");
    // An unknown charset decodes as GBK.
    EXPECT_EQ(blog::DecodeNewLayoutPage(platform::encode_gbk(u"中"), "text/html; charset=koi8-r"),
              u"中");
}

TEST(WrittenCopyOf, SameTitleAndMinuteIsTheSamePost) {
    const std::vector<int> minute{2011, 3, 4, 5, 6};
    const std::vector<blog::WrittenPost> written{
        {1, u"别的", minute}, {2, u"春天 来了", minute}, {3, u"无时", std::nullopt}};
    EXPECT_EQ(blog::WrittenCopyOf(written, {9, u"春天来了", minute}), 2u);
    EXPECT_EQ(blog::WrittenCopyOf(written, {9, u"春天来了", std::vector<int>{2011, 3, 4, 5, 7}}),
              std::nullopt);
    EXPECT_EQ(blog::WrittenCopyOf(written, {9, u"春天", minute}), std::nullopt);
    EXPECT_EQ(blog::WrittenCopyOf(written, {9, u"无时", std::nullopt}), std::nullopt);
    EXPECT_EQ(blog::WrittenCopyOf(written, {9, u"无时", minute}), std::nullopt);
    EXPECT_EQ(blog::TwoLayoutsText(3), u"有3篇文章在新旧两种版式里都有存档，只保存了一份");
}
