#include "offline/copy_pages.h"

#include "tests/support/runnable_check.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

using namespace offline;

namespace {

std::u16string page_of(std::u16string_view title, std::u16string_view body) {
    return u"<html><head><title>" + std::u16string(title) +
           u"_百度空间</title></head><body><div>查看文章</div>" + std::u16string(body) +
           u"<div>类别：默认</div></body></html>";
}

const std::u16string base = u"http://hi.baidu.com/u/blog/item/";

// Four listed posts: the second failed; the first and third share a picture; the third also
// shows one that could not be had and links to the first.
std::vector<CopyPost> four_posts() {
    return {
        {base + u"a.html",
         page_of(u"春 天 &amp; &lt;b&gt;", u"<img src=\"/u/pic/shared.png\"><a href=c.html>c</a>"),
         {}},
        {base + u"b.html", std::nullopt, u"HTTP 404"},
        {base + u"c.html",
         page_of(u"", u"<img src=\"http://hi.baidu.com/u/pic/shared.png\"><img src=\"/gone.gif\">"
                      u"<a href=\"http://hi.baidu.com/u/blog/item/a.html#top\">a</a>"
                      u"<a href=\"b.html\">b</a>"),
         {}},
        {base + u"d.html", page_of(u"四", u"<p>正文"), {}},
    };
}

const PictureOutcomes outcomes{
    {"http://hi.baidu.com/u/pic/shared.png", {"S.png", {}}},
    {"http://hi.baidu.com/gone.gif", {{}, u"HTTP 404"}},
};

std::size_t position(const std::string& page, std::string_view piece) {
    const std::size_t at = page.find(piece);
    EXPECT_NE(at, std::string::npos) << "missing: " << piece;
    return at;
}

} // namespace

TEST(PlanCopy, ListsEachPictureOnce) {
    EXPECT_EQ(PlanCopy(four_posts()).pictures,
              (std::vector<std::string>{"http://hi.baidu.com/u/pic/shared.png",
                                        "http://hi.baidu.com/gone.gif"}));
}

TEST(BuildPages, IndexListsPostsInOrderWithTheirNumbersAndWhatFailed) {
    const CopyPages pages =
        BuildPages(PlanCopy(four_posts()), outcomes, u"u", u"2026-12-07 08:09:10");
    const std::string& index = pages.index;
    position(index, "<h1>u 的博客</h1>");
    position(index, "备份于 2026-12-07 08:09:10，保存了 3 篇文章（共 4 篇）");
    const std::size_t first =
        position(index, "<li value=\"1\"><a href=\"posts/1.html\">春 天 &amp; &lt;b&gt;</a>");
    const std::size_t third =
        position(index, "<li value=\"3\"><a href=\"posts/3.html\">（无标题）</a>");
    const std::size_t fourth = position(index, "<li value=\"4\"><a href=\"posts/4.html\">四</a>");
    EXPECT_LT(first, third);
    EXPECT_LT(third, fourth);
    EXPECT_EQ(index.find("posts/2.html"), std::string::npos);
    position(index, "第 2 篇：<a href=\"http://hi.baidu.com/u/blog/item/b.html\">"
                    "http://hi.baidu.com/u/blog/item/b.html</a>（HTTP 404）");
    const std::size_t missing = position(index, "<h2>未能取得的图片</h2>");
    EXPECT_LT(position(index, "<a href=\"posts/3.html\">3. （无标题）</a>"),
              position(index, "http://hi.baidu.com/gone.gif</a>（HTTP 404）"));
    EXPECT_GT(index.find("posts/3.html\">3."), missing);
    EXPECT_EQ(index.find("shared.png"), std::string::npos);

    EXPECT_EQ(pages.posts.size(), 3u);
    EXPECT_EQ(pages.posts[1].first, 3u);
}

TEST(BuildPages, PostPagesLinkLocallyAndSkipFailedPosts) {
    const CopyPages pages = BuildPages(PlanCopy(four_posts()), outcomes, u"u", u"t");
    const std::string& first = pages.posts[0].second;
    const std::string& third = pages.posts[1].second;
    position(first, "<title>春 天 &amp; &lt;b&gt;</title>");
    position(first, "<h1>春 天 &amp; &lt;b&gt;</h1>");
    position(first, "<img src=\"../images/S.png\"><a href=\"3.html\">c</a>");
    position(first, "<span>上一篇</span><a href=\"3.html\">下一篇</a>");
    position(third, "<a href=\"1.html\">上一篇</a><a href=\"4.html\">下一篇</a>");
    position(
        third,
        "<article class=\"post-body\">\n<img src=\"../images/S.png\"><a href=\"1.html#top\">a</a>"
        "<a href=\"http://hi.baidu.com/u/blog/item/b.html\" rel=\"noreferrer noopener\">b</a>"
        "<div></div>\n</article>");
    position(third, "原文：<a href=\"http://hi.baidu.com/u/blog/item/c.html\">");

    const std::string& all = pages.all;
    EXPECT_LT(position(all, "<article class=\"post\" id=\"post-1\">"),
              position(all, "<article class=\"post\" id=\"post-3\">"));
    EXPECT_LT(position(all, "<article class=\"post\" id=\"post-3\">"),
              position(all, "<article class=\"post\" id=\"post-4\">"));
    position(all, "<article class=\"post-body\">\n<img src=\"images/S.png\"><a "
                  "href=\"#post-3\">c</a><div></div>\n</article>\n</article>");
    EXPECT_EQ(all.find("post-2"), std::string::npos);

    for (const std::string* page : {&pages.index, &pages.all, &first, &third}) {
        position(*page, "<html lang=\"zh-CN\">\n<head>\n<meta charset=\"utf-8\">\n<meta "
                        "http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
                        "img-src 'self' file: data:; style-src 'unsafe-inline'; base-uri 'none'; "
                        "form-action 'none'\">");
        EXPECT_EQ(check::RunnableParts(*page), std::vector<std::string>());
    }
}

// Posts saved from the archive: known by their original addresses, whatever spelling a body
// uses; the source names the capture beside the original.
TEST(BuildPages, ArchivedPostsAreKnownByTheirOriginalAddresses) {
    const std::u16string capture = u"http://web.archive.org/web/20100501000000/";
    std::vector<CopyPost> posts = {
        {base + u"a.html", page_of(u"一", u"<p>一"), {}, capture + base + u"a.html"},
        {base + u"b.html",
         page_of(u"二", u"<img src=\"/u/blog/pic/rel.gif\">"),
         {},
         capture + u"http://hi.baidu.com:80/u/blog/item/b.html"},
        {base + u"c.html",
         page_of(u"三", u"<a href=\"http://hi.baidu.com/u/blog/item/a.html\">1</a>"
                        u"<a href=\"/u/blog/item/b.html?from=c\">2</a>"
                        u"<a href=\"HTTPS://Hi.Baidu.com/u/blog/item/a.html#x\">3</a>"
                        u"<img src=\"/u/blog/pic/rel.gif\"><img src=\"../pic/c.png\">"),
         {},
         u"http://web.archive.org/web/20110101000000/" + base + u"c.html"},
        {base + u"d.html", std::nullopt, u"HTTP 404", capture + base + u"d.html"},
    };
    const CopyPlan plan = PlanCopy(posts);
    EXPECT_EQ(plan.posts[1].address, "http://hi.baidu.com/u/blog/item/b.html");
    EXPECT_EQ(
        plan.posts[1].capture,
        "http://web.archive.org/web/20100501000000/http://hi.baidu.com:80/u/blog/item/b.html");
    // Resolved against the blog, never the archive; each picture with the capture that
    // first shows it.
    EXPECT_EQ(plan.pictures, (std::vector<std::string>{"http://hi.baidu.com/u/blog/pic/rel.gif",
                                                       "http://hi.baidu.com/u/blog/pic/c.png"}));
    EXPECT_EQ(plan.picture_captures,
              (std::map<std::string, std::string>{
                  {"http://hi.baidu.com/u/blog/pic/rel.gif", plan.posts[1].capture},
                  {"http://hi.baidu.com/u/blog/pic/c.png", plan.posts[2].capture}}));

    const CopyPages pages =
        BuildPages(plan, {{"http://hi.baidu.com/u/blog/pic/rel.gif", {"R.gif", {}}}}, u"u", u"t");
    const std::string& third = pages.posts[2].second;
    position(third, "<a href=\"1.html\">1</a><a href=\"2.html\">2</a><a href=\"1.html#x\">3</a>"
                    "<img src=\"../images/R.gif\">");
    const std::string source =
        "原文：<a href=\"http://hi.baidu.com/u/blog/item/c.html\">http://hi.baidu.com/u/blog/"
        "item/c.html</a> 存档：<a href=\"http://web.archive.org/web/20110101000000/"
        "http://hi.baidu.com/u/blog/item/c.html\">http://web.archive.org/web/20110101000000/"
        "http://hi.baidu.com/u/blog/item/c.html</a>";
    position(third, "<p class=\"source\">" + source + "</p>");
    position(pages.index, "<a href=\"posts/3.html\">三</a> <span class=\"facts\">类别：默认</span> "
                          "<span class=\"source\">" +
                              source + "</span></li>");
    position(pages.index, "第 4 篇：原文：<a href=\"http://hi.baidu.com/u/blog/item/d.html\">"
                          "http://hi.baidu.com/u/blog/item/d.html</a> 存档：<a href=\"" +
                              std::string("http://web.archive.org/web/20100501000000/") +
                              "http://hi.baidu.com/u/blog/item/d.html\">");
    EXPECT_EQ(pages.pictures, (std::set<std::string>{"R.gif"}));
    // A live save's index stays as it was: no source beside each title.
    EXPECT_EQ(BuildPages(PlanCopy(four_posts()), outcomes, u"u", u"t")
                  .index.find("<span class=\"source\""),
              std::string::npos);
}

TEST(BuildPages, IndexAndPostPagesShowEachPostsDateAndCategory) {
    const CopyPages pages = BuildPages(
        PlanCopy(std::vector<CopyPost>{
            {base + u"a.html", page_of(u"一", u"<div>2009年05月01日 下午 9:00</div><p>x"), {}},
            {base + u"b.html", u"<title>二_</title>查看文章<p>y</p>类别：</a>", {}}}),
        {}, u"u", u"t");
    const std::string facts = "2009-05-01 21:00 · 类别：默认";
    position(pages.index,
             "<a href=\"posts/1.html\">一</a> <span class=\"facts\">" + facts + "</span></li>");
    position(pages.index, "<a href=\"posts/2.html\">二</a></li>");
    position(pages.posts.at(0).second, "<h1>一</h1>\n<p class=\"facts\">" + facts + "</p>\n");
    EXPECT_EQ(pages.posts.at(1).second.find("class=\"facts\""), std::string::npos);
}

TEST(PreparePost, ANewerLayoutPageGivesItsHeadingBodyDateAndTagsWithoutCategory) {
    const std::u16string page =
        u"<title>标题_小园_百度空间</title><div class=\"content-other-info\"><span>2013-04-05 "
        u"21:07</span></div><h2 class=\"title content-title\">A &amp; B 标题</h2>"
        u"<div id=\"content\" class=\"content text-content\"><p>正文</p></div>"
        u"<a href=\"http://hi.baidu.com/tag/旅行/feeds\">#旅行</a>";
    const PreparedPost post = PreparePost(3, {u"http://hi.baidu.com/u/item/x", page, u""});
    ASSERT_TRUE(post.saved);
    EXPECT_EQ(post.title, "A & B 标题");
    ASSERT_TRUE(post.facts.date);
    EXPECT_EQ(IsoDate(*post.facts.date), "2013-04-05T21:07:00+08:00");
    EXPECT_EQ(post.facts.tags, std::vector<std::string>{"旅行"});
    EXPECT_EQ(post.facts.category, "");
    EXPECT_EQ(post.body.markup.size(), 1u);
    EXPECT_NE(post.body.markup.front().find("<p>正文</p>"), std::string::npos);
    // An old-layout page is read as it always was.
    const PreparedPost old = PreparePost(
        1, {u"http://hi.baidu.com/u/blog/item/1.html",
            u"<title>A &amp; B_x</title>查看文章<p>旧</p>" + page + u"类别：默认分类", u""});
    EXPECT_EQ(old.title, "A & B");
    EXPECT_TRUE(old.facts.tags.empty());
}
