#include "offline/summary_file.h"

#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

namespace {

offline::PostSummary full_summary() {
    offline::PostSummary summary;
    summary.number = 12;
    summary.address = "http://hi.baidu.com/a/blog/item/1.html";
    summary.capture = "http://web.archive.org/web/2010/http://hi.baidu.com/a/blog/item/1.html";
    summary.saved = true;
    summary.title = " 标题\n有\t空白 ";
    summary.pictures = {"http://p/1.jpg", "", "http://p/2\n.png"};
    summary.facts.date = offline::PostDate{2009, 5, 1, 21, 7, true, 42};
    summary.facts.category = "默认分类";
    summary.facts.tags = {"a", "b c"};
    return summary;
}

void expect_same(const offline::PostSummary& read, const offline::PostSummary& summary) {
    EXPECT_EQ(read.number, summary.number);
    EXPECT_EQ(read.address, summary.address);
    EXPECT_EQ(read.capture, summary.capture);
    EXPECT_EQ(read.saved, summary.saved);
    EXPECT_EQ(read.title, summary.title);
    EXPECT_EQ(read.failure, summary.failure);
    EXPECT_EQ(read.pictures, summary.pictures);
    EXPECT_EQ(read.facts.date, summary.facts.date);
    EXPECT_EQ(read.facts.category, summary.facts.category);
    EXPECT_EQ(read.facts.tags, summary.facts.tags);
}

} // namespace

TEST(SummaryFile, EveryFactReadsBackAsItWas) {
    const offline::PostSummary summary = full_summary();
    const std::optional<offline::PostSummary> read =
        offline::ParseSummary(offline::SummaryBytes(summary));
    ASSERT_TRUE(read);
    expect_same(*read, summary);

    offline::PostSummary failed;
    failed.number = 3;
    failed.failure = "HTTP 404";
    const std::optional<offline::PostSummary> read_failed =
        offline::ParseSummary(offline::SummaryBytes(failed));
    ASSERT_TRUE(read_failed);
    expect_same(*read_failed, failed);
    EXPECT_FALSE(read_failed->facts.date);
}

TEST(SummaryFile, ASummaryCutShortOrWithMoreIsNone) {
    const std::string bytes = offline::SummaryBytes(full_summary());
    for (std::size_t length = 0; length < bytes.size(); ++length) {
        EXPECT_FALSE(offline::ParseSummary(bytes.substr(0, length))) << length;
    }
    EXPECT_FALSE(offline::ParseSummary(bytes + "x"));
}

TEST(SummaryFile, AKeptSpoolGivesBackTheFactsOfEachPostByItsNumber) {
    const testing_support::TempFolder folder;
    {
        offline::BodySpool spool(folder.path());
        spool.keep(true);
        ASSERT_TRUE(offline::StoreSummary(spool, full_summary()));
    }
    const offline::BodySpool kept(folder.path(), offline::SpoolStart::kept);
    const std::optional<offline::PostSummary> read = offline::LoadSummary(kept, 12);
    ASSERT_TRUE(read);
    expect_same(*read, full_summary());
    EXPECT_FALSE(offline::LoadSummary(kept, 11));
    const offline::BodySpool emptied(folder.path());
    EXPECT_FALSE(offline::LoadSummary(emptied, 12));
}
