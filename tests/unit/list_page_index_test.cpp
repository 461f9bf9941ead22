#include "archive/list_page_index.h"

#include <gtest/gtest.h>

#include <vector>

using namespace archive;

TEST(ListPagesQuery, AsksForEveryCapturedListPageOfTheUserOnce) {
    EXPECT_EQ(list_pages_query(u"https://web.archive.org", u"nlsomeone", 1000),
              u"https://web.archive.org/cdx/search/cdx?url=hi.baidu.com/nlsomeone%3Fpage%3D"
              u"&matchType=prefix&output=json&fl=timestamp,original,statuscode,mimetype"
              u"&filter=statuscode:200&collapse=urlkey&limit=1000");
    // A name of the user's own script goes as UTF-8, percent-encoded.
    EXPECT_EQ(
        list_pages_query(u"https://web.archive.org", u"小明", 5),
        u"https://web.archive.org/cdx/search/cdx?url=hi.baidu.com/%E5%B0%8F%E6%98%8E%3Fpage%3D"
        u"&matchType=prefix&output=json&fl=timestamp,original,statuscode,mimetype"
        u"&filter=statuscode:200&collapse=urlkey&limit=5");
}

TEST(CapturedListPagesAfter, TakesThePagesAboveTheWalkOfThisUserOnceInOrder) {
    const auto row = [](const char16_t* original, const char16_t* status = u"200") {
        return CaptureEntry{u"20130101000000", original, status, u"text/html"};
    };
    const std::vector<CaptureEntry> index{
        row(u"http://hi.baidu.com:80/nlsomeone?page=5"),
        row(u"http://HI.BAIDU.COM/nlsomeone?page=3"),
        row(u"https://hi.baidu.com/nlsomeone?page=6"),
        row(u"http://hi.baidu.com/nlsomeone?page=3"), // a later capture of the same page
        row(u"http://hi.baidu.com/nlsomeone?page=2"), // walked already
        row(u"http://hi.baidu.com/nlsomeone?page=7", u"404"),
        row(u"http://hi.baidu.com/nlsomeone?page=8", u""), // an index without status column
        row(u"http://hi.baidu.com/nlsomeone2?page=9"),     // another user
        row(u"http://hi.baidu.com/nlsomeone?page=10x"),
        row(u"http://hi.baidu.com/nlsomeone?page=011"),
        row(u"http://hi.baidu.com/nlsomeone?page=12&from=x"),
        row(u"http://hi.baidu.com/nlsomeone?page="),
        row(u"http://hi.baidu.com/nlsomeone?page=99999999999999999999"),
        row(u"http://hi.baidu.com/nlsomeone/item/0123456789abcdef01234567"),
        row(u"http://hi.baidu.com.evil.test/nlsomeone?page=13"),
    };
    EXPECT_EQ(captured_list_pages_after(u"nlsomeone", 2, index),
              (std::vector<long long>{3, 5, 6, 8}));
    // The index matches without case, and so do we.
    EXPECT_EQ(captured_list_pages_after(u"NLSomeone", 5, index), (std::vector<long long>{6, 8}));
    EXPECT_TRUE(captured_list_pages_after(u"nlsomeone", 8, index).empty());
}
