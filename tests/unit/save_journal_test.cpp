#include "window/save_journal.h"

#include "tests/support/file_bytes.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <fstream>

namespace fs = std::filesystem;
using window::JournalState;
using window::PostState;
using window::ResumeKind;

namespace {

const std::vector<std::u16string> list{u"http://a/1", u"http://a/2", u"http://a/3", u"http://a/4"};

JournalState with_states(std::initializer_list<PostState> states, bool finished) {
    JournalState journal = window::NewJournal(list);
    std::size_t i = 0;
    for (const PostState state : states) {
        journal.posts[i++].state = state;
    }
    journal.finished = finished;
    return journal;
}

void write(const fs::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
}

} // namespace

TEST(SaveJournal, ItsTextReadsBackAsItWasWithAwkwardNamesAndReasons) {
    JournalState journal = window::NewJournal({u"http://a/1\tx", u"http://a/2\\n"});
    journal.posts[0] = {PostState::written, "1 标题\t二\n三\\.html", 1234567890123ULL, {}};
    journal.posts[1] = {PostState::failed, "2 .html", 0, u"HTTP 404"};
    journal.finished = true;
    const std::optional<JournalState> read = window::ParseJournal(window::JournalText(journal));
    ASSERT_TRUE(read);
    EXPECT_EQ(read->list, journal.list);
    EXPECT_TRUE(read->finished);
    ASSERT_EQ(read->posts.size(), 2U);
    EXPECT_EQ(read->posts[0].state, PostState::written);
    EXPECT_EQ(read->posts[0].file, "1 标题\t二\n三\\.html");
    EXPECT_EQ(read->posts[0].size_before, 1234567890123ULL);
    EXPECT_EQ(read->posts[1].state, PostState::failed);
    EXPECT_EQ(read->posts[1].reason, u"HTTP 404");
}

TEST(SaveJournal, AJournalCutShortOrDamagedIsNoJournal) {
    const std::string text = window::JournalText(with_states({PostState::written}, false));
    for (std::size_t length = 0; length < text.size(); ++length) {
        EXPECT_FALSE(window::ParseJournal(text.substr(0, length))) << length;
    }
    std::string unknown_state = text;
    unknown_state.replace(unknown_state.find("written"), 7, "writtex");
    EXPECT_FALSE(window::ParseJournal(unknown_state));
    std::string bad_escape = text;
    bad_escape.replace(bad_escape.find("http://a/1"), 1, "\\q");
    EXPECT_FALSE(window::ParseJournal(bad_escape));
}

TEST(SaveJournal, OffersResumeOnlyForTheSameListLeftUnfinished) {
    const JournalState unfinished =
        with_states({PostState::written, PostState::duplicate, PostState::appending}, false);
    const window::ResumeOffer offer = window::OfferFor(unfinished, list);
    EXPECT_EQ(offer.kind, ResumeKind::resume);
    EXPECT_EQ(offer.written, 2U); // the duplicate counts as written, the one appending does not
    EXPECT_EQ(offer.total, 4U);
    EXPECT_EQ(window::ResumeQuestion(offer),
              u"上次的保存没有完成：已保存2篇，共4篇。只保存其余的文章吗？");

    std::vector<std::u16string> reordered = list;
    std::swap(reordered[0], reordered[1]);
    EXPECT_EQ(window::OfferFor(unfinished, reordered).kind, ResumeKind::none);
    std::vector<std::u16string> longer = list;
    longer.push_back(u"http://a/5");
    EXPECT_EQ(window::OfferFor(unfinished, longer).kind, ResumeKind::none);
    EXPECT_EQ(window::OfferFor(std::nullopt, list).kind, ResumeKind::none);
    EXPECT_EQ(window::OfferFor(with_states({PostState::written, PostState::written,
                                            PostState::written, PostState::written},
                                           true),
                               list)
                  .kind,
              ResumeKind::none);
}

TEST(SaveJournal, OffersRetryWhenAFinishedSaveHadFailuresAndOnlyResumeWhenUnfinished) {
    const JournalState failed = with_states(
        {PostState::written, PostState::failed, PostState::duplicate, PostState::failed}, true);
    const window::ResumeOffer retry = window::OfferFor(failed, list);
    EXPECT_EQ(retry.kind, ResumeKind::retry);
    EXPECT_EQ(window::RetryQuestion(retry), u"上次有2篇文章保存失败。只重试这些文章吗？");
    EXPECT_EQ(window::PostsToSave(failed, ResumeKind::retry),
              (std::vector<bool>{false, true, false, true}));

    // Unfinished with a failure: the resume box alone, and its yes takes the failed post too.
    const JournalState both = with_states(
        {PostState::written, PostState::failed, PostState::unsaved, PostState::appending}, false);
    EXPECT_EQ(window::OfferFor(both, list).kind, ResumeKind::resume);
    EXPECT_EQ(window::PostsToSave(both, ResumeKind::resume),
              (std::vector<bool>{false, true, true, true}));
    EXPECT_EQ(window::PostsToSave(both, ResumeKind::none), std::vector<bool>(4, true));
}

TEST(SaveJournal, TheFailedPostsListGivesNumberAddressAndReason) {
    JournalState journal = with_states(
        {PostState::written, PostState::failed, PostState::written, PostState::failed}, true);
    journal.posts[1].reason = u"HTTP 503";
    journal.posts[3].reason = u"页面中没有文章正文";
    EXPECT_EQ(window::FailedPostsText(journal),
              "2\thttp://a/2\tHTTP 503\n4\thttp://a/4\t页面中没有文章正文\n");
}

TEST(SaveJournal, AFileLongerThanBeforeItsAppendIsCutBackOnlyWhenItIsSavedAgain) {
    const testing_support::TempFolder folder;
    write(folder.path() / "1 a.html", "oldNEW-HALF");
    write(folder.path() / "2 b.html", "keptkept");
    write(folder.path() / "3 c.html", "short");
    JournalState journal = window::NewJournal({u"1", u"2", u"3"});
    journal.posts[0] = {PostState::appending, "1 a.html", 3, {}};
    journal.posts[1] = {PostState::appending, "2 b.html", 4, {}};
    journal.posts[2] = {PostState::failed, "3 c.html", 5, u"x"}; // no longer than recorded
    window::CutBackUnfinishedAppends(folder.path(), journal, {true, false, true});
    EXPECT_EQ(testing_support::read_bytes(folder.path() / "1 a.html"), "old");
    EXPECT_EQ(testing_support::read_bytes(folder.path() / "2 b.html"), "keptkept");
    EXPECT_EQ(testing_support::read_bytes(folder.path() / "3 c.html"), "short");

    // A name that would reach out of the user folder is left alone.
    const testing_support::TempFolder outside;
    write(outside.path() / "x.html", "0123456789");
    journal.posts[0].file = (outside.path() / "x.html").string();
    window::CutBackUnfinishedAppends(folder.path(), journal, {true, true, true});
    EXPECT_EQ(testing_support::read_bytes(outside.path() / "x.html"), "0123456789");
}

TEST(SaveJournal, ARunningJournalRecordsEachAppendAndItsEnd) {
    const testing_support::TempFolder folder;
    write(folder.path() / "2 b.html", "12345");
    window::SaveJournal journal(folder.path(), window::NewJournal({u"a", u"b"}));
    journal.before_append(1, folder.path() / "2 b.html");
    std::optional<JournalState> read = window::ReadJournal(folder.path());
    ASSERT_TRUE(read);
    EXPECT_FALSE(read->finished);
    EXPECT_EQ(read->posts[1].state, PostState::appending);
    EXPECT_EQ(read->posts[1].size_before, 5U);
    EXPECT_EQ(read->posts[1].file, "2 b.html");
    journal.after_append(1, u"HTTP 500");
    journal.skipped_as_duplicate(0);
    journal.finish();
    read = window::ReadJournal(folder.path());
    ASSERT_TRUE(read);
    EXPECT_TRUE(read->finished);
    EXPECT_EQ(read->posts[0].state, PostState::duplicate);
    EXPECT_EQ(read->posts[1].state, PostState::failed);
    EXPECT_EQ(testing_support::read_bytes(window::FailedPostsFile(folder.path())),
              "2\tb\tHTTP 500\n");

    // A later save of the list with no failure takes the failed posts' list away.
    window::SaveJournal again(folder.path(), *read);
    again.after_append(1, u"");
    again.finish();
    EXPECT_FALSE(fs::exists(window::FailedPostsFile(folder.path())));
}
