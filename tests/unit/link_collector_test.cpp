#include "blog/link_collector.h"

#include "archive/wayback_address.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using blog::IsPostLink;
using blog::PostLinkList;
using Links = std::vector<std::u16string>;

namespace {

std::u16string post(const std::u16string& user, int id) {
    std::u16string number;
    for (char c : std::to_string(id)) {
        number += static_cast<char16_t>(c);
    }
    return u"http://hi.baidu.com/" + user + u"/blog/item/" + number + u".html";
}

} // namespace

TEST(IsPostLink, NeedsTheItemPathAndNeitherAnAnchorNorSendInLowerCase) {
    const std::pair<std::u16string_view, bool> cases[] = {
        {u"http://hi.baidu.com/pellumo/blog/item/ab12.html", true},
        {u"/blog/item/", true},
        {u"https://example.org/x/blog/item/9", true}, // nothing else is looked at
        {u"http://hi.baidu.com/博客/blog/item/文章.html", true},
        {u"http://hi.baidu.com/pellumo/blog/index/2", false},
        {u"http://hi.baidu.com/pellumo/blog/items/1.html", false},
        {u"http://hi.baidu.com/pellumo/Blog/Item/1.html", false},
        {u"http://hi.baidu.com/pellumo/blog/item", false},
        {u"http://hi.baidu.com/pellumo/blog/item/1.html#comment", false},
        {u"#http://hi.baidu.com/pellumo/blog/item/1.html", false},
        {u"http://hi.baidu.com/a#b/blog/item/1.html", false},
        {u"http://hi.baidu.com/pellumo/blog/item/1.html?send=1", false},
        {u"http://hi.baidu.com/sender/blog/item/1.html", false},
        {u"http://hi.baidu.com/pellumo/blog/item/Send.html", true},
        {u"http://hi.baidu.com/SEND/blog/item/1.html", true},
        {u"http://hi.baidu.com/pellumo/blog/item/sen-d.html", true},
    };
    for (const auto& [link, expected] : cases) {
        EXPECT_EQ(IsPostLink(link), expected) << std::string(link.begin(), link.end());
    }
}

TEST(IsWebAddress, OnlyHttpAndHttpsWhateverTheirCase) {
    const std::pair<std::u16string_view, bool> cases[] = {
        {u"http://hi.baidu.com/u/blog/item/1.html", true},
        {u"HTTPS://hi.baidu.com/u/blog/item/1.html", true},
        {u"javascript:location='http://hi.baidu.com/u/blog/item/1.html'", false},
        {u"file:///etc/blog/item/1.html", false},
        {u"data:text/html,/blog/item/", false},
        {u" http://hi.baidu.com/u/blog/item/1.html", false},
        {u"http:/hi.baidu.com/u/blog/item/1.html", false},
        {u"http", false},
    };
    for (const auto& [address, expected] : cases) {
        EXPECT_EQ(blog::IsWebAddress(address), expected)
            << std::string(address.begin(), address.end());
    }
}

TEST(PostLinkList, KeepsPostLinksWhereTheyWereFirstSeenWithinAndAcrossPages) {
    PostLinkList list;
    const Links first = {u"http://hi.baidu.com/u",
                         post(u"u", 3),
                         post(u"u", 3) + u"#comment",
                         post(u"o", 1),
                         post(u"u", 3),
                         post(u"u", 1)};
    EXPECT_EQ(list.add_page_links(first), (Links{post(u"u", 3), post(u"o", 1), post(u"u", 1)}));
    const Links second = {post(u"u", 4), post(u"u", 1), post(u"u", 2)};
    EXPECT_EQ(list.add_page_links(second), (Links{post(u"u", 4), post(u"u", 2)}));
    const Links all = {post(u"u", 3), post(u"o", 1), post(u"u", 1), post(u"u", 4), post(u"u", 2)};
    EXPECT_EQ(list.items(), all);
    // The same page again, as after a reload, adds nothing; case makes another address.
    EXPECT_TRUE(list.add_page_links(second).empty());
    EXPECT_EQ(list.add_page_links({post(u"U", 1)}).size(), 1u);

    // Had clear() kept what it saw, these would be refused as duplicates.
    list.clear();
    EXPECT_EQ(list.size(), 0u);
    EXPECT_EQ(list.add_page_links({post(u"u", 2), post(u"u", 1)}),
              (Links{post(u"u", 2), post(u"u", 1)}));
}

TEST(PostLinkList, ThroughTheArchiveOnePostIsOneItemWhateverItsLinksTimestamps) {
    const auto archived = [](std::u16string_view timestamp, const std::u16string& original) {
        return u"https://web.archive.org/web/" + std::u16string(timestamp) + u"/" + original;
    };
    const Links page{archived(u"20100101000000", post(u"u", 1)),
                     archived(u"20120101000000", post(u"u", 1)),
                     archived(u"20100101000000", post(u"u", 2))};
    PostLinkList live;
    EXPECT_EQ(live.add_page_links(page).size(), 3U);

    PostLinkList list;
    list.add_page_links({archived(u"20100101000000", post(u"u", 1))});
    list.set_identity(&archive::post_identity);
    EXPECT_EQ(list.add_page_links(page), (Links{archived(u"20100101000000", post(u"u", 2))}));
    EXPECT_TRUE(
        list.add_page_links({archived(u"2013", u"http://HI.baidu.com:80/u/blog/item/2.html")})
            .empty());
    EXPECT_EQ(list.size(), 2U);
}
