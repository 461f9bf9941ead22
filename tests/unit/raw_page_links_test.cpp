#include "archive/raw_page_links.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using archive::links_of_raw_capture;
using Links = std::vector<std::u16string>;

TEST(LinksOfRawCapture, NameTheBlogsOwnAddressesAtThePagesTimeOrTheirOwn) {
    // The page as captured, shown at its raw address after the archive's redirect.
    const std::u16string page =
        u"https://web.archive.org/web/20120305101500id_/http://hi.baidu.com/someone/blog/index/1";
    const Links read{
        // Root-relative in the page, so resolved against the archive's host.
        u"https://web.archive.org/someone/blog/item/a1.html",
        // Absolute in the page.
        u"http://hi.baidu.com/someone/blog/item/b2.html",
        u"HTTP://hi.baidu.com:80/someone/blog/item/c3.html",
        // Relative without a slash: the browser kept it inside the capture's address.
        u"https://web.archive.org/web/20120305101500id_/http://hi.baidu.com/someone/blog/item/"
        u"d4.html",
        // Already archived at another time, with a flag.
        u"https://web.archive.org/web/20100101000000im_/http://hi.baidu.com/someone/blog/item/"
        u"e5.html",
        u"javascript:void(0)",
        u"mailto:someone@example.com",
    };
    const std::u16string at_page = u"https://web.archive.org/web/20120305101500/";
    const Links expected{
        at_page + u"http://hi.baidu.com/someone/blog/item/a1.html",
        at_page + u"http://hi.baidu.com/someone/blog/item/b2.html",
        at_page + u"HTTP://hi.baidu.com:80/someone/blog/item/c3.html",
        at_page + u"http://hi.baidu.com/someone/blog/item/d4.html",
        u"https://web.archive.org/web/20100101000000/http://hi.baidu.com/someone/blog/item/e5.html",
        u"javascript:void(0)",
        u"mailto:someone@example.com",
    };
    EXPECT_EQ(links_of_raw_capture(read, page), expected);

    // Pages that are not raw captures keep their links: a live page, the archive's replay.
    for (const std::u16string other :
         {u"http://hi.baidu.com/someone/blog/index/1",
          u"https://web.archive.org/web/20120305101500/http://hi.baidu.com/someone/blog"}) {
        EXPECT_EQ(links_of_raw_capture(read, other), read);
    }
}
