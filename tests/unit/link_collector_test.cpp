#include "window/link_collector.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using window::IsPostLink;
using window::PostLinkList;

namespace {

std::u16string post(const std::u16string& user, int id) {
    std::u16string number;
    for (char c : std::to_string(id)) {
        number += static_cast<char16_t>(c);
    }
    return u"http://hi.baidu.com/" + user + u"/blog/item/" + number + u".html";
}

} // namespace

TEST(IsPostLink, NeedsTheItemPath) {
    EXPECT_TRUE(IsPostLink(u"http://hi.baidu.com/pellumo/blog/item/ab12.html"));
    EXPECT_TRUE(IsPostLink(u"/blog/item/"));
    EXPECT_FALSE(IsPostLink(u"http://hi.baidu.com/pellumo/blog/index/2"));
    EXPECT_FALSE(IsPostLink(u"http://hi.baidu.com/pellumo/blog/items/1.html"));
    EXPECT_FALSE(IsPostLink(u"http://hi.baidu.com/pellumo/Blog/Item/1.html"));
    EXPECT_FALSE(IsPostLink(u"http://hi.baidu.com/pellumo/blog/item"));
    EXPECT_FALSE(IsPostLink(u""));
}

TEST(IsPostLink, RejectsAnAnchorAnywhere) {
    EXPECT_FALSE(IsPostLink(u"http://hi.baidu.com/pellumo/blog/item/1.html#comment"));
    EXPECT_FALSE(IsPostLink(u"http://hi.baidu.com/pellumo/blog/item/1.html#"));
    EXPECT_FALSE(IsPostLink(u"#http://hi.baidu.com/pellumo/blog/item/1.html"));
    EXPECT_FALSE(IsPostLink(u"http://hi.baidu.com/a#b/blog/item/1.html"));
}

TEST(IsPostLink, RejectsSendButOnlyInLowerCase) {
    EXPECT_FALSE(IsPostLink(u"http://hi.baidu.com/pellumo/blog/item/1.html?send=1"));
    EXPECT_FALSE(IsPostLink(u"http://hi.baidu.com/sender/blog/item/1.html"));
    EXPECT_FALSE(IsPostLink(u"http://hi.baidu.com/pellumo/blog/item/send"));
    EXPECT_TRUE(IsPostLink(u"http://hi.baidu.com/pellumo/blog/item/Send.html"));
    EXPECT_TRUE(IsPostLink(u"http://hi.baidu.com/SEND/blog/item/1.html"));
    EXPECT_TRUE(IsPostLink(u"http://hi.baidu.com/pellumo/blog/item/sen-d.html"));
}

TEST(IsPostLink, LooksAtNothingButTheThreeTests) {
    // Other blogs on the service, other hosts and non-ASCII names all pass.
    EXPECT_TRUE(IsPostLink(u"http://hi.baidu.com/someone_else/blog/item/9.html"));
    EXPECT_TRUE(IsPostLink(u"https://example.org/x/blog/item/9"));
    EXPECT_TRUE(IsPostLink(u"http://hi.baidu.com/博客/blog/item/文章.html"));
}

TEST(PostLinkList, KeepsOnlyPostLinksInDocumentOrder) {
    PostLinkList list;
    const std::vector<std::u16string> page = {
        u"http://hi.baidu.com/pellumo",
        post(u"pellumo", 3),
        post(u"pellumo", 3) + u"#comment",
        post(u"other", 1),
        u"http://hi.baidu.com/pellumo/blog/item/2.html?send",
        post(u"pellumo", 1),
    };
    const auto added = list.add_page_links(page);
    const std::vector<std::u16string> expected = {post(u"pellumo", 3), post(u"other", 1),
                                                  post(u"pellumo", 1)};
    EXPECT_EQ(added, expected);
    EXPECT_EQ(list.items(), expected);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list.at(1), post(u"other", 1));
    EXPECT_THROW((void)list.at(3), std::out_of_range);
}

TEST(PostLinkList, FirstOccurrenceWinsWithinAndAcrossPages) {
    PostLinkList list;
    const auto first = list.add_page_links({post(u"u", 1), post(u"u", 2), post(u"u", 1)});
    EXPECT_EQ(first, (std::vector<std::u16string>{post(u"u", 1), post(u"u", 2)}));

    const auto second = list.add_page_links({post(u"u", 3), post(u"u", 2), post(u"u", 4)});
    EXPECT_EQ(second, (std::vector<std::u16string>{post(u"u", 3), post(u"u", 4)}));
    EXPECT_EQ(list.items(), (std::vector<std::u16string>{post(u"u", 1), post(u"u", 2),
                                                         post(u"u", 3), post(u"u", 4)}));

    // The same page again, as after a reload, adds nothing.
    EXPECT_TRUE(list.add_page_links({post(u"u", 3), post(u"u", 2), post(u"u", 4)}).empty());
    EXPECT_EQ(list.size(), 4u);
    // Addresses differing only in case are different addresses.
    EXPECT_EQ(list.add_page_links({post(u"U", 1)}).size(), 1u);
}

TEST(PostLinkList, PageWithoutPostLinksChangesNothing) {
    PostLinkList list;
    list.add_page_links({post(u"u", 1)});
    EXPECT_TRUE(list.add_page_links({}).empty());
    EXPECT_TRUE(list.add_page_links({u"http://hi.baidu.com/u/blog/index/1"}).empty());
    EXPECT_EQ(list.items(), std::vector<std::u16string>{post(u"u", 1)});
}

TEST(PostLinkList, ClearForgetsWhatWasSeen) {
    PostLinkList list;
    list.add_page_links({post(u"u", 1), post(u"u", 2)});
    list.clear();
    EXPECT_EQ(list.size(), 0u);
    EXPECT_TRUE(list.items().empty());
    // Had clear() kept the set, these would be refused as duplicates.
    EXPECT_EQ(list.add_page_links({post(u"u", 2), post(u"u", 1)}),
              (std::vector<std::u16string>{post(u"u", 2), post(u"u", 1)}));
}

TEST(PostLinkList, HandlesListsBeyondSixteenBitCounts) {
    constexpr int count = 70000;
    std::vector<std::u16string> page;
    page.reserve(count * 2);
    for (int i = 0; i < count; ++i) {
        page.push_back(post(u"u", i));
    }
    for (int i = count - 1; i >= 0; --i) {
        page.push_back(post(u"u", i)); // all repeats, in reverse
    }
    PostLinkList list;
    EXPECT_EQ(list.add_page_links(page).size(), static_cast<std::size_t>(count));
    ASSERT_EQ(list.size(), static_cast<std::size_t>(count));
    EXPECT_EQ(list.at(0), post(u"u", 0));
    EXPECT_EQ(list.at(32767), post(u"u", 32767));
    EXPECT_EQ(list.at(32768), post(u"u", 32768));
    EXPECT_EQ(list.at(count - 1), post(u"u", count - 1));
    EXPECT_EQ(list.add_page_links({post(u"u", count)}).size(), 1u);
    EXPECT_EQ(list.size(), static_cast<std::size_t>(count + 1));
}
