#include "archive/blog_route.h"

#include "platform/text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using archive::BlogRoute;
using Items = std::vector<std::u16string>;

TEST(BlogRoute, AnArchivedBlogSavesUnderItsOwnUserNameAndEveryOtherAddressAsBefore) {
    const std::pair<std::u16string_view, std::u16string_view> cases[] = {
        {u"https://web.archive.org/web/2012/http://hi.baidu.com/someone", u"someone"},
        {u"http://web.archive.org/web/20100315000000/hi.baidu.com/someone/blog", u"someone"},
        // Not a blog of the service: the first 20 characters go, whatever they are.
        {u"https://web.archive.org/web/2012/http://example.org/someone",
         u"org/web/2012/http://example.org/someone"},
        {u"http://hi.baidu.com/someone", u"someone"},
        {u"http://hi.baidu.com/someone/", u"someone/"},
        {u"http://hi.baidu.com/", u""},
        {u"http://hi.baidu.com", u""},
    };
    for (const auto& [typed, user] : cases) {
        SCOPED_TRACE(platform::utf16_to_utf8(typed));
        EXPECT_EQ(archive::user_name_of(typed), user);
    }
    EXPECT_FALSE(BlogRoute(u"http://hi.baidu.com").has_user_name_part());
    EXPECT_EQ(BlogRoute(u"http://hi.baidu.com/someone").list_page(3),
              u"http://hi.baidu.com/someone/blog/index/3");
    const BlogRoute archived(u"http://web.archive.org/web/2011/hi.baidu.com/someone/blog");
    EXPECT_EQ(archived.first_list_page(),
              u"https://web.archive.org/web/2011id_/http://hi.baidu.com/someone/blog");
    EXPECT_EQ(archived.list_page(3),
              u"https://web.archive.org/web/2011id_/http://hi.baidu.com/someone/blog/index/3");
}

TEST(BlogRoute, PostsComeRawFromTheirOwnCaptureOverHttps) {
    const std::vector<archive::CaptureEntry> index{
        {u"20100101000000", u"http://hi.baidu.com:80/someone/blog/item/a.html", u"200", u""},
        {u"20110101000000", u"http://hi.baidu.com/someone/blog/item/b.html", u"200", u""},
    };
    const archive::OwnCaptures captures(index);
    const Items list{
        // Linked from a later list page; the archive redirected us to https meanwhile.
        u"https://web.archive.org/web/20130505050505/http://hi.baidu.com/someone/blog/item/a.html",
        // Not in the index: its link's time is all there is.
        u"http://web.archive.org/web/20120202020202/http://hi.baidu.com/someone/blog/item/c.html",
        // Gathered by hand from the live service.
        u"http://hi.baidu.com/someone/blog/item/b.html",
        u"http://hi.baidu.com/someone/blog/item/d.html",
    };
    EXPECT_EQ(BlogRoute(u"http://web.archive.org/web/2013/http://hi.baidu.com/someone")
                  .download_addresses(list, captures),
              (Items{
                  u"https://web.archive.org/web/20100101000000id_/http://hi.baidu.com/someone/"
                  u"blog/item/a.html",
                  u"https://web.archive.org/web/20120202020202id_/http://hi.baidu.com/someone/"
                  u"blog/item/c.html",
                  u"https://web.archive.org/web/20110101000000id_/http://hi.baidu.com/someone/"
                  u"blog/item/b.html",
                  u"http://hi.baidu.com/someone/blog/item/d.html",
              }));
    EXPECT_EQ(BlogRoute(u"http://hi.baidu.com/someone").download_addresses(list, captures), list);
}
