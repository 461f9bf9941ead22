#include "offline/post_facts.h"

#include <gtest/gtest.h>

using namespace offline;

namespace {

std::u16string page_with(std::u16string_view head, std::u16string_view tail = u"默认分类</a>",
                         std::u16string_view title = u"标题") {
    return u"<html><head><title>" + std::u16string(title) +
           u"_百度空间</title></head><body><div class=\"tit\">查看文章</div><div class=\"date\">" +
           std::u16string(head) +
           u"</div><div id=\"blog_text\">正文</div><a href=\"/u/blog/category/x\">类别：" +
           std::u16string(tail) + u" | <a href=\"#comment\">评论</a></body></html>";
}

// A page of the layout that carries the category as a link after its label.
std::u16string page_with_category_link(std::u16string_view title, std::u16string_view date,
                                       std::u16string_view body, std::u16string_view category) {
    return u"<html><head><title>" + std::u16string(title) +
           u"</title></head><body><div class=\"tit\">查看文章</div><div class=\"date\">" +
           std::u16string(date) + u"</div><div id=\"blog_text\">" + std::u16string(body) +
           u"</div><div class=\"opt\">类别：<a href=\"/u/blog/category/x\">" +
           std::u16string(category) + u"</a> | <a href=\"#comment\">评论</a></div></body></html>";
}

PostDate date_of(std::u16string_view head) {
    const std::optional<PostDate> date = ReadPostFacts(page_with(head)).date;
    return date.value_or(PostDate{-1, -1, -1, -1, -1, false});
}

TEST(PostFacts, ReadsEveryDateFormTheServiceWrote) {
    EXPECT_EQ(date_of(u"2009-05-01 21:00"), (PostDate{2009, 5, 1, 21, 0, true}));
    EXPECT_EQ(date_of(u"2009-5-1"), (PostDate{2009, 5, 1, 0, 0, false}));
    EXPECT_EQ(date_of(u"2009年5月1日 星期五 21:00"), (PostDate{2009, 5, 1, 21, 0, true}));
    EXPECT_EQ(date_of(u"2009年05月01日 下午 9:00"), (PostDate{2009, 5, 1, 21, 0, true}));
    EXPECT_EQ(date_of(u"2010年12月31日&nbsp;上午 8:05"), (PostDate{2010, 12, 31, 8, 5, true}))
        << "a blank the page writes as a reference is a blank";
    EXPECT_EQ(date_of(u"2010年12月31日\u3000上午 8:05"), (PostDate{2010, 12, 31, 8, 5, true}));
}

TEST(PostFacts, NoonAndMidnightInTwelveHourTime) {
    EXPECT_EQ(date_of(u"2009年05月01日 下午 12:30"), (PostDate{2009, 5, 1, 12, 30, true}));
    EXPECT_EQ(date_of(u"2009年05月01日 上午 12:30"), (PostDate{2009, 5, 1, 0, 30, true}));
    EXPECT_EQ(date_of(u"2009年05月01日 上午 11:59"), (PostDate{2009, 5, 1, 11, 59, true}));
    EXPECT_EQ(date_of(u"2009年05月01日 下午 1:00"), (PostDate{2009, 5, 1, 13, 0, true}));
    // No such hour in twelve-hour time: the day alone.
    EXPECT_EQ(date_of(u"2009年05月01日 下午 13:00"), (PostDate{2009, 5, 1, 0, 0, false}));
    EXPECT_EQ(date_of(u"2009-05-01 24:00"), (PostDate{2009, 5, 1, 0, 0, false}));
    EXPECT_EQ(date_of(u"2009-05-01 23:60"), (PostDate{2009, 5, 1, 0, 0, false}));
}

TEST(PostFacts, ImpossibleDatesAreNoDates) {
    EXPECT_EQ(date_of(u"2009-05-92 21:00，改于 2009-06-03 08:30"),
              (PostDate{2009, 6, 3, 8, 30, true}));
    EXPECT_EQ(date_of(u"2009-02-29"), (PostDate{-1, -1, -1, -1, -1, false}));
    EXPECT_EQ(date_of(u"2008-02-29"), (PostDate{2008, 2, 29, 0, 0, false}));
    EXPECT_EQ(date_of(u"1900-02-29 2000-02-29"), (PostDate{2000, 2, 29, 0, 0, false}));
    EXPECT_EQ(date_of(u"2009-13-01"), (PostDate{-1, -1, -1, -1, -1, false}));
    EXPECT_EQ(date_of(u"2009-00-10"), (PostDate{-1, -1, -1, -1, -1, false}));
    EXPECT_EQ(date_of(u"2009-04-31"), (PostDate{-1, -1, -1, -1, -1, false}));
    // Digits run on into a longer number: not a date.
    EXPECT_EQ(date_of(u"12009-05-01 2009-05-011 2009-005-01"),
              (PostDate{-1, -1, -1, -1, -1, false}));
    // Mixed forms are not the service's.
    EXPECT_EQ(date_of(u"2009年05-01 2009-05月01日"), (PostDate{-1, -1, -1, -1, -1, false}));
}

TEST(PostFacts, OnlyTheDateLineHoldsTheDate) {
    EXPECT_FALSE(ReadPostFacts(u"2001-01-01 查看文章 无日期 类别：游记 2002-02-02").date);
    EXPECT_EQ(FirstDate(u"x2009-05-01"), (PostDate{2009, 5, 1, 0, 0, false}));
    // Neither the title nor the post's own text dates the post.
    const PostFacts olympics = ReadPostFacts(page_with_category_link(
        u"2008-08-08 北京奥运开幕_百度空间", u"", u"2008-08-08 晚上", u"默认分类"));
    EXPECT_FALSE(olympics.date);
    EXPECT_EQ(ReadPostFacts(page_with(u"2009-05-01", u"x</a>", u"查看文章 2008-08-08")).date,
              (PostDate{2009, 5, 1, 0, 0, false}));
    // Without the post's element, the first text after the marker is the date line.
    EXPECT_EQ(ReadPostFacts(u"<p>查看文章</p><p> </p><p>2009-05-01</p><p>2008-08-08</p>").date,
              (PostDate{2009, 5, 1, 0, 0, false}));
    EXPECT_FALSE(ReadPostFacts(u"<p>查看文章</p><p>今天</p><p>2008-08-08</p>").date);
}

TEST(PostFacts, TheTitleIsTheTitleElementsTextUpToItsFirstUnderscore) {
    EXPECT_EQ(ReadPostFacts(page_with(u"", u"x</a>", u"春 天 &amp; &lt;b&gt;")).title,
              "春 天 & <b>");
    EXPECT_EQ(ReadPostFacts(page_with_category_link(u"无下划线的标题", u"", u"", u"x")).title,
              "无下划线的标题");
    EXPECT_EQ(ReadPostFacts(u"<p>查看文章</p>").title, "");
}

TEST(PostFacts, CategoryUpToTheBarLineOrLinkEndDecodedAndTrimmed) {
    EXPECT_EQ(ReadPostFacts(page_with(u"", u" 游记 &amp; 随笔 </a>")).category, "游记 & 随笔");
    EXPECT_EQ(ReadPostFacts(page_with(u"", u"&#x4E66;&#26412;\u3000| 别的")).category, "书本");
    EXPECT_EQ(ReadPostFacts(u"查看文章<div id=\"blog_text\"></div>类别：生活\r\n下一行").category,
              "生活");
    EXPECT_EQ(ReadPostFacts(page_with(u"", u"&lt;b&gt;粗&lt;/b&gt;</a>")).category, "<b>粗</b>");
    EXPECT_EQ(ReadPostFacts(u"查看文章 类别</a>").category, "");
    EXPECT_EQ(LabelText(u"无标签", u"类别："), std::nullopt);
    // The value as the link after the label.
    EXPECT_EQ(
        ReadPostFacts(page_with_category_link(u"t_百度空间", u"", u"正文", u" 默认分类 ")).category,
        "默认分类");
    EXPECT_EQ(LabelText(u"类别：\r\n<span> <b>游</b>记 | 别的</span>", u"类别："), "");
    EXPECT_EQ(LabelText(u"<span>类别：</span> <a><b>游</b>记 | 别的</a>", u"类别："), "游记");
}

TEST(PostFacts, CategoryAndTagsComeFromAfterTheBody) {
    const std::u16string title = u"本文类别：转载 标签：旧文_百度空间";
    const PostFacts without = ReadPostFacts(page_with_category_link(title, u"", u"正文", u""));
    EXPECT_EQ(without.category, "");
    EXPECT_TRUE(without.tags.empty());
    EXPECT_EQ(ReadPostFacts(page_with_category_link(title, u"", u"正文", u"游记")).category,
              "游记");
    // The post's text before the end marker says nothing.
    EXPECT_TRUE(
        ReadPostFacts(page_with_category_link(u"t", u"", u"标签：旧文", u"游记")).tags.empty());
}

TEST(PostFacts, AVeryLongBodyStillHasItsFacts) {
    const std::u16string body(600 * 1024, u'长');
    const PostFacts facts =
        ReadPostFacts(page_with_category_link(u"长文_百度空间", u"2009-05-01", body, u"游记"));
    EXPECT_EQ(facts.title, "长文");
    EXPECT_EQ(facts.date, (PostDate{2009, 5, 1, 0, 0, false}));
    EXPECT_EQ(facts.category, "游记");
}

TEST(PostFacts, TagsAfterTheirLabel) {
    const PostFacts facts = ReadPostFacts(page_with(
        u"", u"游记</a> | 标签：<a href=\"/t/1\">旅行</a> <a href=\"/t/2\">春&amp;天</a>，"
             u"夏天、 秋天 | 评论"));
    EXPECT_EQ(facts.tags, (std::vector<std::string>{"旅行", "春&天", "夏天", "秋天"}));
    EXPECT_TRUE(ReadPostFacts(page_with(u"")).tags.empty());
}

TEST(PostFacts, DatesAsTextAndPointsInTime) {
    // 2009-05-01 21:00 in China is 13:00 UTC, 1241182800 seconds after 1970 began; a Friday.
    const PostDate date{2009, 5, 1, 21, 0, true};
    EXPECT_EQ(IsoDate(date), "2009-05-01T21:00:00+08:00");
    EXPECT_EQ(ShownDate(date), "2009-05-01 21:00");
    EXPECT_EQ(ShownDate({2009, 5, 1, 0, 0, false}), "2009-05-01");
    EXPECT_EQ(UnixSeconds(date), 1241182800);
    EXPECT_EQ(ChinaDate(1241182800), date);
    EXPECT_EQ(UtcDate(1241182800), (PostDate{2009, 5, 1, 13, 0, true}));
    EXPECT_EQ(Weekday(date), 5);
    // Across a year's end and a leap day.
    EXPECT_EQ(ChinaDate(1230768000 - 8 * 3600 - 60), (PostDate{2008, 12, 31, 23, 59, true}));
    EXPECT_EQ(UtcDate(951782400), (PostDate{2000, 2, 29, 0, 0, true}));
}

} // namespace
