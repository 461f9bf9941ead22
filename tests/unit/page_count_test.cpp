#include "blog/page_count.h"

#include <gtest/gtest.h>

#include <string>

using blog::LastPageIndexFrom;

namespace {

std::u16string pager(std::u16string_view last_target) {
    return u"<html><a href=\"/someone/blog/index/1\">[下一页]</a> <a href=\"" +
           std::u16string(last_target) + u"\">[尾页]</a></html>";
}

} // namespace

TEST(LastPageIndex, ReadsTheNumberAfterIndexSlash) {
    EXPECT_EQ(LastPageIndexFrom(pager(u"/someone/blog/index/12")), 12);
    EXPECT_EQ(LastPageIndexFrom(pager(u"/someone/blog/index/32767")), 32767);
    // "index" elsewhere on the page, before the pager, does not matter.
    EXPECT_EQ(LastPageIndexFrom(u"<a href=\"/index\">index</a>" + pager(u"/u/blog/index/7")), 7);
    // Absolute addresses, as some pages carry them.
    EXPECT_EQ(LastPageIndexFrom(pager(u"http://hi.baidu.com/u/blog/index/3")), 3);
    // Blanks around the number are allowed.
    EXPECT_EQ(LastPageIndexFrom(pager(u"/u/blog/index/ 12 ")), 12);
    EXPECT_EQ(LastPageIndexFrom(pager(u"/u/blog/index/\t4")), 4);
}

TEST(LastPageIndex, MissingPagerLinksMeanOnePage) {
    EXPECT_EQ(LastPageIndexFrom(u""), std::nullopt);
    EXPECT_EQ(LastPageIndexFrom(u"<a href=\"/u/blog/index/1\">[下一页]</a>"), std::nullopt);
    EXPECT_EQ(LastPageIndexFrom(u"<a href=\"/u/blog/index/9\">[尾页]</a>"), std::nullopt);
}

TEST(LastPageIndex, UnreadablePagersMeanOnePage) {
    // Nothing after "index/".
    EXPECT_EQ(LastPageIndexFrom(pager(u"/u/blog/index/")), std::nullopt);
    // Not a number.
    EXPECT_EQ(LastPageIndexFrom(pager(u"/u/blog/index/last")), std::nullopt);
    EXPECT_EQ(LastPageIndexFrom(pager(u"/u/blog/index/-3")), std::nullopt);
    EXPECT_EQ(LastPageIndexFrom(pager(u"/u/blog/index/1 2")), std::nullopt);
    // Beyond the largest page index.
    EXPECT_EQ(LastPageIndexFrom(pager(u"/u/blog/index/32768")), std::nullopt);
    EXPECT_EQ(LastPageIndexFrom(pager(u"/u/blog/index/99999999999999999999")), std::nullopt);
    // "[尾页]" before "[下一页]".
    EXPECT_EQ(LastPageIndexFrom(u"<a href=\"/u/blog/index/9\">[尾页]</a> "
                                u"<a href=\"/u/blog/index/1\">[下一页]</a>"),
              std::nullopt);
    // The two links touching, so the segment would have a negative length.
    EXPECT_EQ(LastPageIndexFrom(u"[下一页][尾页]"), std::nullopt);
    // "index" too near the end of the segment.
    EXPECT_EQ(LastPageIndexFrom(u"[下一页] index\">[尾页]"), std::nullopt);
    // No "index" at all between the links.
    EXPECT_EQ(LastPageIndexFrom(pager(u"/u/blog/page/4")), std::nullopt);
}
