#include "archive/wayback_address.h"

#include "platform/text.h"

#include <gtest/gtest.h>

#include <string>

using namespace archive;
using platform::utf16_to_utf8;

TEST(RecogniseWaybackBlog, TakesApartEveryFormOfABlogsArchiveAddress) {
    struct Case {
        std::u16string_view typed;
        std::u16string_view archive, timestamp, user;
    };
    const Case cases[] = {
        {u"https://web.archive.org/web/2012/http://hi.baidu.com/someone",
         u"https://web.archive.org", u"2012", u"someone"},
        // http is asked as https, where the archive would move it; a port keeps what is typed.
        {u"http://web.archive.org/web/20100315000000/hi.baidu.com/someone/blog",
         u"https://web.archive.org", u"20100315000000", u"someone"},
        {u"HTTPS://Web.Archive.ORG/web/7id_/HTTP://HI.BAIDU.COM/someone/",
         u"https://web.archive.org", u"7", u"someone"},
        {u"http://web.archive.org:80/web/2011js_/http://hi.baidu.com:80/someone?from=x",
         u"https://web.archive.org", u"2011", u"someone"},
        {u"https://web.archive.org:443/web/20121231235959im_/http:/hi.baidu.com/someone/blog/index/"
         u"3",
         u"https://web.archive.org", u"20121231235959", u"someone"},
        {u"http://web.archive.org:8080/web/2/https://hi.baidu.com/someone#top",
         u"http://web.archive.org:8080", u"2", u"someone"},
        // The user name stays as typed, as the live rule keeps it: the folder is named after it.
        {u"  https://web.archive.org/web/2012/hi.baidu.com/%E5%B0%8F%E6%98%8E/blog\n",
         u"https://web.archive.org", u"2012", u"%E5%B0%8F%E6%98%8E"},
        {u"https://web.archive.org/web/2012/http://hi.baidu.com/小明", u"https://web.archive.org",
         u"2012", u"小明"},
        {u"https://web.archive.org/web/2012/http://hi.baidu.com/SomeOne/blog/item/1.html",
         u"https://web.archive.org", u"2012", u"SomeOne"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(utf16_to_utf8(c.typed));
        const std::optional<WaybackBlog> blog = recognise_wayback_blog(c.typed);
        ASSERT_TRUE(blog);
        EXPECT_EQ(blog->archive, c.archive);
        EXPECT_EQ(blog->timestamp, c.timestamp);
        EXPECT_EQ(blog->user, c.user);
        EXPECT_EQ(blog->blog, u"http://hi.baidu.com/" + std::u16string(c.user));
    }
}

TEST(RecogniseWaybackBlog, LeavesEveryOtherAddressToTheLiveRules) {
    const std::u16string_view others[] = {
        u"http://hi.baidu.com/someone",
        u"https://web.archive.org/web/201003150000001/http://hi.baidu.com/someone", // 15 digits
        u"https://web.archive.org/web//http://hi.baidu.com/someone",
        u"https://web.archive.org/web/*/http://hi.baidu.com/someone",
        u"https://web.archive.org/web/2012ID_/http://hi.baidu.com/someone",
        u"https://web.archive.org/2012/http://hi.baidu.com/someone",
        u"ftp://web.archive.org/web/2012/http://hi.baidu.com/someone",
        u"web.archive.org/web/2012/http://hi.baidu.com/someone",
        u"https://archive.org/web/2012/http://hi.baidu.com/someone",
        u"https://web.archive.org.example.com/web/2012/http://hi.baidu.com/someone",
        u"https://example.com/web.archive.org/web/2012/http://hi.baidu.com/someone",
        u"https://web.archive.org:99999/web/2012/http://hi.baidu.com/someone",
        u"https://web.archive.org/web/2012/http://hi.baidu.com.cn/someone",
        u"https://web.archive.org/web/2012/http://www.baidu.com/someone",
        u"https://web.archive.org/web/2012/http://hi.baidu.com:8080/someone",
        u"https://web.archive.org/web/2012/http://hi.baidu.com/",
        u"https://web.archive.org/web/2012/http://hi.baidu.com",
        u"https://web.archive.org/web/2012/http://hi.baidu.com//someone",
        u"",
    };
    for (std::u16string_view other : others) {
        EXPECT_FALSE(recognise_wayback_blog(other)) << utf16_to_utf8(other);
    }
}

TEST(ArchivedAddresses, ListPagesAtTheTypedTimeAndRawCapturesMapBackToTheirOriginals) {
    const WaybackBlog blog =
        *recognise_wayback_blog(u"https://web.archive.org/web/2012/hi.baidu.com/someone/blog");
    EXPECT_EQ(archived_first_list_page(blog),
              u"https://web.archive.org/web/2012id_/http://hi.baidu.com/someone/blog");
    EXPECT_EQ(archived_list_page(blog, 12),
              u"https://web.archive.org/web/2012id_/http://hi.baidu.com/someone/blog/index/12");

    const std::u16string post = u"http://hi.baidu.com/someone/blog/item/ab12.html";
    const std::u16string raw = capture_address(blog.archive, u"20100315093012", u"id_", post);
    EXPECT_EQ(raw, u"https://web.archive.org/web/20100315093012id_/" + post);
    EXPECT_EQ(original_of(raw), post);

    const std::pair<std::u16string_view, std::u16string_view> links[] = {
        {u"https://web.archive.org/web/20100315000000/http://hi.baidu.com/u/blog/item/1.html",
         u"http://hi.baidu.com/u/blog/item/1.html"},
        {u"http://web.archive.org/web/2011id_/hi.baidu.com/u/blog/item/1.html?x=1",
         u"http://hi.baidu.com/u/blog/item/1.html?x=1"},
        {u"http://web.archive.org/web/2011im_/http:/hiphotos.baidu.com/u/pic/1.jpg",
         u"http://hiphotos.baidu.com/u/pic/1.jpg"},
        {u"https://web.archive.org/web/2011/https://hi.baidu.com:443/u/blog/item/1.html",
         u"https://hi.baidu.com:443/u/blog/item/1.html"},
    };
    for (const auto& [link, original] : links) {
        EXPECT_EQ(original_of(link), original) << utf16_to_utf8(link);
    }
    EXPECT_FALSE(original_of(u"http://hi.baidu.com/u/blog/item/1.html"));
    EXPECT_FALSE(original_of(u"https://web.archive.org/web/201003150000001/http://hi.baidu.com/u"));
}

TEST(CanonicalOriginal, DropsSchemeAndDefaultPortAndLowersOnlyTheHost) {
    const std::pair<std::u16string_view, std::u16string_view> cases[] = {
        {u"http://hi.baidu.com:80/u/blog/item/1.html", u"hi.baidu.com/u/blog/item/1.html"},
        {u"https://HI.Baidu.COM:443/U/Blog/Item/1.html", u"hi.baidu.com/U/Blog/Item/1.html"},
        {u"HTTP://hi.baidu.com:/u", u"hi.baidu.com/u"},
        {u"hi.baidu.com:80/u?x=1", u"hi.baidu.com/u?x=1"},
        {u"https://hi.baidu.com:80/u", u"hi.baidu.com:80/u"},
        {u"http://hi.baidu.com:443/u", u"hi.baidu.com:443/u"},
        {u"http://hi.baidu.com:8080/u", u"hi.baidu.com:8080/u"},
        {u"http://hi.baidu.com/u/a:80", u"hi.baidu.com/u/a:80"},
    };
    for (const auto& [address, canonical] : cases) {
        EXPECT_EQ(canonical_original(address), canonical) << utf16_to_utf8(address);
    }
}

TEST(PostIdentity, OnePostWhateverTheTimestampFlagSchemeOrPortOfItsLink) {
    const std::u16string one = post_identity(u"http://hi.baidu.com/u/blog/item/1.html");
    for (std::u16string_view same : {
             u"https://web.archive.org/web/20100315000000/http://hi.baidu.com/u/blog/item/1.html",
             u"http://web.archive.org/web/20121212121212/http://hi.baidu.com:80/u/blog/item/1.html",
             u"https://web.archive.org/web/2011id_/HI.BAIDU.COM/u/blog/item/1.html",
         }) {
        EXPECT_EQ(post_identity(same), one) << utf16_to_utf8(same);
    }
    for (std::u16string_view other : {
             u"https://web.archive.org/web/20100315000000/http://hi.baidu.com/u/blog/item/2.html",
             u"https://web.archive.org/web/20100315000000/http://hi.baidu.com/U/blog/item/1.html",
             u"https://web.archive.org/web/20100315000000/http://hi.baidu.com/v/blog/item/1.html",
         }) {
        EXPECT_NE(post_identity(other), one) << utf16_to_utf8(other);
    }
}

TEST(SavedCapture, IsThePostsOwnAddressAndTheCapturesReplayWithPicturesAtItsTime) {
    const auto saved = saved_capture_of(
        u"https://web.archive.org/web/20100315093012id_/http://HI.baidu.com:80/u/blog/item/1.html");
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->original, u"http://hi.baidu.com/u/blog/item/1.html");
    EXPECT_EQ(
        saved->capture,
        u"https://web.archive.org/web/20100315093012/http://HI.baidu.com:80/u/blog/item/1.html");
    EXPECT_EQ(
        picture_capture(saved->capture, u"http://hi.baidu.com/u/blog/pic/rel.gif"),
        u"https://web.archive.org/web/20100315093012im_/http://hi.baidu.com/u/blog/pic/rel.gif");
    EXPECT_EQ(saved_capture_of(u"http://hi.baidu.com/u/blog/item/1.html"), std::nullopt);
    EXPECT_EQ(picture_capture(u"", u"http://hi.baidu.com/p.gif"), std::nullopt);
}
