#include "archive/blog_recovery.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

using namespace archive;

namespace {

// Rows as the index answers an exact query of each address (earliest first), both addresses'
// answers together.
const std::string BlogAndHome = R"([["timestamp","original","statuscode","mimetype"],
 ["20090301000000","http://hi.baidu.com/someone/blog","200","text/html"],
 ["20120220101010","http://hi.baidu.com:80/someone/blog/","200","text/html"],
 ["20150601000000","http://hi.baidu.com/someone/blog","404","text/html"],
 ["20130101000000","http://hi.baidu.com/someone/blog/item/ab12.html","200","text/html"],
 ["20110101000000","http://hi.baidu.com/someone","200","text/html"],
 ["20140101000000","http://hi.baidu.com/someone","200","text/html"],
 ["20160101000000","http://hi.baidu.com/someoneelse/blog","200","text/html"]])";

std::vector<CaptureEntry> rows(const std::string& json) {
    CaptureIndexPart part = parse_capture_index(json);
    EXPECT_EQ(part.error, u"");
    return part.entries;
}

} // namespace

TEST(BlogRecovery, RecognisesOnlyTheServicesOwnAddresses) {
    EXPECT_EQ(live_blog_user(u"http://hi.baidu.com/someone"), u"someone");
    EXPECT_EQ(live_blog_user(u"  HTTP://Hi.Baidu.COM:80/someone/blog/index/3 "), u"someone");
    EXPECT_EQ(live_blog_user(u"https://hi.baidu.com/some%E4one?x=1"), u"some%E4one");
    EXPECT_EQ(live_blog_user(u"hi.baidu.com/someone"), u"someone");
    // The changeover address of the newer layout names its user.
    EXPECT_EQ(live_blog_user(u"http://hi.baidu.com/new/someone"), u"someone");
    EXPECT_EQ(live_blog_user(u"http://hi.baidu.com/new"), u"new");
    for (const std::u16string_view other :
         {u"http://hi.baidu.com/", u"http://hi.baidu.com", u"http://hi.baidu.com.cn/someone",
          u"http://web.archive.org/web/2012/http://hi.baidu.com/someone",
          u"http://xhi.baidu.com/someone", u"", u"http://hi.baidu.com:8080/someone"}) {
        EXPECT_EQ(live_blog_user(other), std::nullopt) << std::string(other.begin(), other.end());
    }
}

TEST(BlogRecovery, StartsFromTheNewestGoodCaptureOfTheListPageElseOfTheBlogsOwnAddress) {
    const std::vector<CaptureEntry> all = rows(BlogAndHome);
    // The list page's 2015 capture is a 404 and the post's and the other blog's rows do not
    // count: 2012, written with a port and a trailing slash.
    EXPECT_EQ(recovery_timestamp(u"someone", all), u"20120220101010");
    // In any order the index may give them.
    std::vector<CaptureEntry> reversed(all.rbegin(), all.rend());
    EXPECT_EQ(recovery_timestamp(u"someone", reversed), u"20120220101010");

    // No good capture of the list page: the newest of the blog's own address.
    std::vector<CaptureEntry> home_only;
    for (const CaptureEntry& row : all) {
        const bool list_page = row.original.find(u"/blog") != std::u16string::npos &&
                               row.original.find(u"/item/") == std::u16string::npos;
        if (row.status != u"200" || !list_page) {
            home_only.push_back(row);
        }
    }
    EXPECT_EQ(recovery_timestamp(u"someone", home_only), u"20140101000000");

    // Neither: nothing, even with captures of its posts and of another blog.
    EXPECT_EQ(recovery_timestamp(u"nobody", all), std::nullopt);
    EXPECT_EQ(recovery_timestamp(u"someone", rows("[]")), std::nullopt);
    EXPECT_EQ(recovery_timestamp(u"someone", rows(R"([["timestamp","original","statuscode"],
 ["20150601000000","http://hi.baidu.com/someone/blog","302"],
 ["20150601000000","http://hi.baidu.com/someone","404"]])")),
              std::nullopt);
}

TEST(BlogRecovery, AsksTheIndexForEachAddressAndGivesTheArchivedBlogsAddress) {
    EXPECT_EQ(recovery_candidates(u"someone"),
              (std::vector<std::u16string>{u"http://hi.baidu.com/someone/blog",
                                           u"http://hi.baidu.com/someone"}));
    EXPECT_EQ(address_captures_query(RecoveryArchive, u"http://hi.baidu.com/some one/blog"),
              u"https://web.archive.org/cdx/search/cdx?url=hi.baidu.com/some%20one/blog"
              u"&output=json&fl=timestamp,original,statuscode,mimetype&filter=statuscode:200");
    EXPECT_EQ(recovery_address(RecoveryArchive, u"20120220101010", u"someone"),
              u"https://web.archive.org/web/20120220101010/http://hi.baidu.com/someone");
}
