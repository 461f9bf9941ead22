#include "archive/capture_index.h"

#include "platform/text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace archive;
using platform::utf16_to_utf8;
using Links = std::vector<std::u16string>;

namespace {

const WaybackBlog Blog =
    *recognise_wayback_blog(u"https://web.archive.org/web/2012/hi.baidu.com/someone");

constexpr std::u16string_view QueryStart =
    u"https://web.archive.org/cdx/search/cdx?url=hi.baidu.com/someone/"
    u"&matchType=prefix&output=json&fl=timestamp,original,statuscode,mimetype"
    u"&filter=statuscode:200&filter=original:.*/item/.*&collapse=urlkey&limit=500"
    u"&showResumeKey=true";

// Answers shaped like the archive's, with a header row first.
const std::string FirstPart = R"([["timestamp","original","statuscode","mimetype"],
 ["20100315093012","http://hi.baidu.com:80/someone/blog/item/a1.html","200","text/html"],
 ["20091101000000","http://hi.baidu.com/someone/blog/item/b2.html","200","text/html"],
 [],
 ["com%2Cbaidu%2Chi%29%2Fsomeone%2Fblog%2Fitem%2Fb2.html+20091101000000%21"]])";
const std::string LastPart = R"([["timestamp","original","statuscode","mimetype"],
 ["20110101010101","http://hi.baidu.com/someone/blog/item/c3.html","200","text/html"]])";

std::u16string archived(std::u16string_view timestamp, std::u16string_view id) {
    return u"https://web.archive.org/web/" + std::u16string(timestamp) +
           u"/http://hi.baidu.com/someone/blog/item/" + std::u16string(id) + u".html";
}

} // namespace

TEST(CaptureIndexQuery, AsksForThePostsOfTheBlogAndPassesTheResumeKeyBack) {
    EXPECT_EQ(capture_index_query(Blog, 500), QueryStart);
    // The archive prints its key encoded already; it goes back as printed.
    EXPECT_EQ(capture_index_query(Blog, 500, u"com%2Cbaidu%2Chi%29%2Fsomeone+2009%21"),
              std::u16string(QueryStart) + u"&resumeKey=com%2Cbaidu%2Chi%29%2Fsomeone+2009%21");
    // What a query value cannot hold is encoded.
    EXPECT_EQ(capture_index_query(Blog, 500, u"com,baidu,hi)/someone 2009&x#y"),
              std::u16string(QueryStart) + u"&resumeKey=com,baidu,hi)/someone%202009%26x%23y");

    WaybackBlog named = Blog;
    named.blog = u"http://hi.baidu.com/小a+b%20";
    EXPECT_EQ(capture_index_query(named, 9),
              u"https://web.archive.org/cdx/search/cdx?url=hi.baidu.com/%E5%B0%8Fa%2Bb%2520/"
              u"&matchType=prefix&output=json&fl=timestamp,original,statuscode,mimetype"
              u"&filter=statuscode:200&filter=original:.*/item/.*&collapse=urlkey&limit=9"
              u"&showResumeKey=true");
}

TEST(ParseCaptureIndex, ReadsRowsByTheHeaderAndTheKeyAfterTheEmptyRow) {
    const CaptureIndexPart first = parse_capture_index(FirstPart);
    ASSERT_EQ(first.error, u"");
    ASSERT_EQ(first.entries.size(), 2u);
    EXPECT_EQ(first.entries[0].timestamp, u"20100315093012");
    EXPECT_EQ(first.entries[0].original, u"http://hi.baidu.com:80/someone/blog/item/a1.html");
    EXPECT_EQ(first.entries[0].status, u"200");
    EXPECT_EQ(first.entries[0].mimetype, u"text/html");
    EXPECT_EQ(first.entries[1].original, u"http://hi.baidu.com/someone/blog/item/b2.html");
    EXPECT_EQ(first.resume_key,
              u"com%2Cbaidu%2Chi%29%2Fsomeone%2Fblog%2Fitem%2Fb2.html+20091101000000%21");

    const CaptureIndexPart reordered = parse_capture_index(
        R"([["original","mimetype","timestamp"],["http://hi.baidu.com/u/blog/item/1.html","text/html","2009"]])");
    ASSERT_EQ(reordered.entries.size(), 1u);
    EXPECT_EQ(reordered.entries[0].timestamp, u"2009");
    EXPECT_EQ(reordered.entries[0].original, u"http://hi.baidu.com/u/blog/item/1.html");
    EXPECT_FALSE(reordered.resume_key);

    for (const char* nothing : {"", " \n", "[]", R"([["timestamp","original"]])"}) {
        const CaptureIndexPart part = parse_capture_index(nothing);
        EXPECT_EQ(part.error, u"") << nothing;
        EXPECT_TRUE(part.entries.empty() && !part.resume_key) << nothing;
    }
}

TEST(ParseCaptureIndex, RefusesWhatIsNotAnIndexAnswerWithoutCrashing) {
    const std::string header = R"([["timestamp","original","statuscode","mimetype"],)";
    const std::string row =
        R"(["20100315093012","http://hi.baidu.com/u/blog/item/1.html","200","text/html"])";
    const std::vector<std::string> bad = {
        "<html>503 Service Unavailable</html>",
        "{\"timestamp\":\"2010\"}",
        "null",
        header + row,                              // cut short
        header + row + "]]",                       // one bracket too many
        header + row + ",[]]",                     // an empty row without its key
        header + row + ",[],[\"k\"]," + row + "]", // a row after the key
        header + row + ",[],[\"k\",\"l\"]]",       //
        header + "[\"2010\",\"x\",\"200\"]]",      // short row
        header + "[\"201003150930121\",\"x\",\"200\",\"text/html\"]]", // 15 digits
        header + "[\"2010\",\"\",\"200\",\"text/html\"]]",             // no original
        header + "[\"2010\",\"x\",200,\"text/html\"]]",                // a number
        header + "[\"2010\",\"x\",\"200\",null]]",
        header + "[\"2010\",\"\xFF\xFE\",\"200\",\"text/html\"]]", // not UTF-8
        R"([["timestamp","statuscode"],["2010","200"]])",          // no original column
        R"([[],[]])",
        "[\"timestamp\",\"original\"]",
        std::string(200000, '[') + std::string(200000, ']'),
    };
    for (const std::string& body : bad) {
        const CaptureIndexPart part = parse_capture_index(body);
        EXPECT_NE(part.error, u"") << body.substr(0, 120);
        EXPECT_TRUE(part.entries.empty() && !part.resume_key) << body.substr(0, 120);
    }
}

TEST(CaptureIndexReader, ReadsPartByPartUntilAnAnswerWithoutAKey) {
    CaptureIndexReader reader(Blog, 500);
    ASSERT_EQ(reader.next_query(), QueryStart);
    ASSERT_TRUE(reader.take(FirstPart));
    EXPECT_FALSE(reader.complete());
    EXPECT_EQ(reader.next_query(),
              std::u16string(QueryStart) +
                  u"&resumeKey=com%2Cbaidu%2Chi%29%2Fsomeone%2Fblog%2Fitem%2Fb2.html+"
                  u"20091101000000%21");
    ASSERT_TRUE(reader.take(LastPart));
    EXPECT_FALSE(reader.next_query());
    ASSERT_EQ(reader.entries().size(), 3u);
    EXPECT_EQ(reader.entries()[2].original, u"http://hi.baidu.com/someone/blog/item/c3.html");
    EXPECT_EQ(reader.error(), u"");
    EXPECT_TRUE(reader.complete());
    EXPECT_EQ(reader.parts_read(), 2u);

    CaptureIndexReader circling(Blog, 500);
    ASSERT_TRUE(circling.take(FirstPart));
    EXPECT_FALSE(circling.take(FirstPart));
    EXPECT_NE(circling.error(), u"");
    EXPECT_FALSE(circling.next_query());

    CaptureIndexReader broken(Blog, 500);
    EXPECT_FALSE(broken.take("<html>busy</html>"));
    EXPECT_NE(broken.error(), u"");
    EXPECT_FALSE(broken.next_query());
    EXPECT_FALSE(broken.complete());
    EXPECT_EQ(broken.parts_read(), 0u);
}

TEST(CaptureIndexReader, AnIndexWithoutEndIsReadTwoHundredPartsOrTwoHundredThousandRowsAtMost) {
    // Each part a new key and `rows` rows, as an index handing out keys for ever would.
    const auto part = [](int number, int rows) {
        std::string body = R"([["timestamp","original","statuscode","mimetype"],)";
        for (int row = 0; row < rows; ++row) {
            body += R"(["20100315093012","http://hi.baidu.com/someone/blog/item/)" +
                    std::to_string(number) + "x" + std::to_string(row) +
                    R"(.html","200","text/html"],)";
        }
        return body + R"([],["key)" + std::to_string(number) + R"("]])";
    };
    CaptureIndexReader endless(Blog);
    for (int number = 1; number < 200; ++number) {
        ASSERT_TRUE(endless.take(part(number, 1))) << number;
        ASSERT_TRUE(endless.next_query());
    }
    EXPECT_FALSE(endless.take(part(200, 1)));
    EXPECT_FALSE(endless.next_query());
    EXPECT_EQ(endless.parts_read(), 200u);
    EXPECT_EQ(endless.entries().size(), 200u);
    EXPECT_FALSE(endless.complete());

    // 2000 rows a part: the hundredth part brings 200,000 rows, the last read.
    CaptureIndexReader wide(Blog);
    for (int number = 1; number < 100; ++number) {
        ASSERT_TRUE(wide.take(part(number, 2000))) << number;
    }
    EXPECT_FALSE(wide.take(part(100, 2000)));
    EXPECT_EQ(wide.parts_read(), 100u);
    EXPECT_EQ(wide.entries().size(), 200000u);
    EXPECT_FALSE(wide.next_query());

    CaptureIndexReader rows(Blog, 1000, 200, 5);
    ASSERT_TRUE(rows.take(part(1, 2)));
    ASSERT_TRUE(rows.take(part(2, 2)));
    EXPECT_FALSE(rows.take(part(3, 2)));
    EXPECT_EQ(rows.entries().size(), 6u);
    EXPECT_EQ(rows.parts_read(), 3u);
    EXPECT_FALSE(rows.complete());
}

TEST(PostsMissingFromList, AppendsOnlyUnlistedPostsOfTheBlogOnceInIndexOrder) {
    const Links list = {archived(u"2012", u"a1"), archived(u"20120101000000", u"b2")};
    const std::vector<CaptureEntry> index = {
        {u"20100315093012", u"http://hi.baidu.com:80/someone/blog/item/z9.html", u"200",
         u"text/html"},
        {u"20090101000000", u"http://HI.baidu.com:80/someone/blog/item/a1.html", u"200",
         u"text/html"},
        {u"20080808080808", u"http://hi.baidu.com/someone/blog/item/c3.html", u"200", u"text/html"},
        {u"20110101000000", u"http://hi.baidu.com/someone/blog/item/z9.html", u"200", u"text/html"},
        {u"20080808080808", u"http://hi.baidu.com/someone/blog/item/d4.html", u"404", u"text/html"},
        {u"20080808080808", u"http://hi.baidu.com/other/blog/item/e5.html", u"200", u"text/html"},
        {u"20080808080808", u"http://hi.baidu.com/someone/blog/item/", u"200", u"text/html"},
        {u"20080808080808", u"http://hi.baidu.com/someone/blog/item/f6.html#c", u"200",
         u"text/html"},
        {u"20080808080808", u"http://hi.baidu.com/someone/blog/item/send.html", u"200",
         u"text/html"},
    };
    const Links expected = {
        u"https://web.archive.org/web/20100315093012/http://hi.baidu.com/someone/blog/item/z9.html",
        u"https://web.archive.org/web/20080808080808/http://hi.baidu.com/someone/blog/item/c3.html",
    };
    EXPECT_EQ(posts_missing_from_list(Blog, list, index), expected);
}

TEST(PostsMissingFromList, NewerLayoutPostsAreListedOnceAtTheirCanonicalAddress) {
    // One post listed from a list page already, whatever the case of its digits.
    const Links list = {u"https://web.archive.org/web/2013/http://hi.baidu.com/someone/item/"
                        u"aaaaaaaaaaaaaaaaaaaaaaaa"};
    const std::vector<CaptureEntry> index = {
        {u"20130101000000", u"http://hi.baidu.com:80/someone/item/AAAAAAAAAAAAAAAAAAAAAAAA", u"200",
         u"text/html"},
        {u"20130202000000", u"http://hi.baidu.com/someone/item/BBBBBBBBBBBBBBBBBBBBBBBB?fr=x",
         u"200", u"text/html"},
        {u"20130303000000", u"http://hi.baidu.com/someone/item/bbbbbbbbbbbbbbbbbbbbbbbb", u"200",
         u"text/html"},
        {u"20130404000000", u"http://hi.baidu.com/someone/item/cccc", u"200", u"text/html"},
        {u"20130505000000", u"http://hi.baidu.com/other/item/dddddddddddddddddddddddd", u"200",
         u"text/html"},
        {u"20080808080808", u"http://hi.baidu.com/someone/blog/item/c3.html", u"200", u"text/html"},
    };
    const Links expected = {
        u"https://web.archive.org/web/20130202000000/http://hi.baidu.com/someone/item/"
        u"bbbbbbbbbbbbbbbbbbbbbbbb",
        u"https://web.archive.org/web/20080808080808/http://hi.baidu.com/someone/blog/item/c3.html",
    };
    EXPECT_EQ(posts_missing_from_list(Blog, list, index), expected);
    // Each is downloaded from its own first good capture.
    const OwnCaptures captures(index);
    EXPECT_EQ(captures.timestamp_of(expected[0]), u"20130202000000");
    EXPECT_EQ(captures.timestamp_of(list[0]), u"20130101000000");
}

TEST(OwnCaptures, DownloadsEachPostRawFromItsOwnFirstGoodCapture) {
    const OwnCaptures captures({
        {u"20121212000000", u"http://hi.baidu.com/someone/blog/item/a1.html", u"302", u"text/html"},
        {u"20090101000000", u"http://hi.baidu.com:80/someone/blog/item/a1.html", u"200",
         u"text/html"},
        {u"20130101000000", u"http://hi.baidu.com/someone/blog/item/a1.html", u"200", u"text/html"},
    });
    EXPECT_EQ(captures.raw_capture_of(archived(u"20131231000000", u"a1")),
              u"https://web.archive.org/web/20090101000000id_/"
              u"http://hi.baidu.com/someone/blog/item/a1.html");
    // A post the index does not know is taken at the time of the page that linked it.
    EXPECT_EQ(captures.raw_capture_of(archived(u"20131231000000", u"b2")),
              u"https://web.archive.org/web/20131231000000id_/"
              u"http://hi.baidu.com/someone/blog/item/b2.html");
    EXPECT_FALSE(captures.raw_capture_of(u"http://hi.baidu.com/someone/blog/item/a1.html"));
}
