// A resumable save cut short at each point of an append, in a child process that ends itself as
// abruptly as kill -9, then resumed: every post file holds its body exactly once.

#include "window/save_journal.h"
#include "window/save_pipeline.h"

#include "platform/text.h"
#include "tests/support/file_bytes.h"
#include "tests/support/sample_blog_service.h"
#include "tests/support/temp_folder.h"
#include "tools/sample_blog/blog_model.h"
#include "tools/sample_blog/gbk_encoder.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <optional>

namespace fs = std::filesystem;

using testing_support::read_bytes;
using window::CrashPoint;

namespace {

const std::map<int, std::string> file_names{{1, "1 春游记1.html"},
                                            {2, "2 我的第2篇日记.html"},
                                            {3, "3 a_b日记3.html"},
                                            {4, "4 文档_备份4.html"}};

const sample_blog::SampleBlog sample_posts(u"someone", {.posts = 4});

std::string gbk_body(int number) {
    return sample_blog::encode_gbk(sample_posts.post_body(number));
}

std::string path_of(int number) {
    const std::string address = platform::utf16_to_utf8(sample_posts.post_address(number));
    return address.substr(address.find("/someone/"));
}

class SaveResumeTest : public testing::Test {
protected:
    std::vector<std::u16string> list() const {
        std::vector<std::u16string> posts;
        for (int n = 1; n <= 4; ++n) {
            posts.push_back(sample_posts.post_address(n));
        }
        return posts;
    }

    // A resumable save of the list, its boxes answered `yes`; what the boxes asked is kept.
    window::SaveOutcome save(bool yes) {
        const window::SavePlan plan =
            window::PlanSave(folder(), list(), [&](std::u16string_view question) {
                m_asked.emplace_back(question);
                return yes;
            });
        window::SaveJournal journal(folder(), plan.start);
        const window::ResumableSave resumable{&journal, plan.to_save, plan.kept_spool};
        window::SaveJob job;
        job.posts = list();
        job.downloads = job.posts;
        job.target = {folder(), u""};
        job.user_name = u"someone";
        job.parallel = 1; // the posts are written in list order
        job.resumable = &resumable;
        return window::RunSave(job);
    }

    // The same in a child process that ends itself at `point` of post `number`'s append; its
    // exit status.
    int save_cut_short(CrashPoint point, std::size_t number) {
        const pid_t child = ::fork();
        if (child == 0) {
            window::SaveJournal::set_crash_point(point, number);
            save(true);
            ::_exit(0);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // How many times the service was asked for post `number` since `since` log lines.
    int requests_for(int number, const std::string& log) const {
        int count = 0;
        for (std::size_t at = log.find(path_of(number)); at != std::string::npos;
             at = log.find(path_of(number), at + 1)) {
            ++count;
        }
        return count;
    }

    std::string new_requests(std::size_t& seen) const {
        const std::string log = service->request_log();
        const std::string fresh = log.substr(seen);
        seen = log.size();
        return fresh;
    }

    fs::path folder() const { return m_temp.path(); }

    std::optional<testing_support::SampleBlogService> service{
        std::in_place, std::vector<std::string>{"--posts", "4"}};
    testing_support::TempFolder m_temp;
    std::vector<std::u16string> m_asked;
};

} // namespace

TEST_F(SaveResumeTest, ACrashAtAnyPointOfAnAppendLeavesEveryBodyOnceAfterTheResume) {
    for (const CrashPoint point :
         {CrashPoint::before_append, CrashPoint::during_append, CrashPoint::after_append}) {
        SCOPED_TRACE(static_cast<int>(point));
        fs::remove_all(folder());
        fs::create_directory(folder());
        m_asked.clear();
        // Post 2's file held something before: only what this save appended may be cut.
        std::ofstream(folder() / file_names.at(2), std::ios::binary) << "earlier";
        std::size_t seen = service->request_log().size();

        ASSERT_EQ(save_cut_short(point, 2), 86);
        const std::string cut_short = new_requests(seen);
        EXPECT_EQ(requests_for(3, cut_short), 0); // the crash came before post 3 was asked for
        if (point == CrashPoint::during_append) {
            // Half the body is there: what the resume must not append after.
            const std::string half = read_bytes(folder() / file_names.at(2));
            EXPECT_GT(half.size(), std::string("earlier").size());
            EXPECT_LT(half.size(), std::string("earlier").size() + gbk_body(2).size());
        }

        const window::SaveOutcome outcome = save(true);
        EXPECT_EQ(m_asked, std::vector<std::u16string>{
                               u"上次的保存没有完成：已保存1篇，共4篇。只保存其余的文章吗？"});
        EXPECT_EQ(outcome.failures, 0U);
        EXPECT_EQ(outcome.copy, window::CopyResult::written);
        const std::string resumed = new_requests(seen);
        EXPECT_EQ(requests_for(1, resumed), 0);
        for (int n = 2; n <= 4; ++n) {
            EXPECT_EQ(requests_for(n, resumed), 1) << n;
        }
        for (int n = 1; n <= 4; ++n) {
            const std::string expected = (n == 2 ? "earlier" : "") + gbk_body(n);
            EXPECT_EQ(read_bytes(folder() / file_names.at(n)), expected) << n;
        }
        // The copy holds post 1 too, from the spool the first save kept, which is gone now.
        const std::string all = read_bytes(folder() / "离线浏览" / "index.html");
        EXPECT_NE(all.find("春游记1"), std::string::npos);
        EXPECT_FALSE(fs::exists(folder() / "离线浏览" / ".bodies"));
        const std::optional<window::JournalState> journal = window::ReadJournal(folder());
        ASSERT_TRUE(journal);
        EXPECT_TRUE(journal->finished);
        // A list saved whole asks nothing next time.
        m_asked.clear();
        EXPECT_EQ(window::PlanSave(folder(), list(),
                                   [&](std::u16string_view question) {
                                       m_asked.emplace_back(question);
                                       return true;
                                   })
                      .to_save,
                  std::vector<bool>());
        EXPECT_TRUE(m_asked.empty());
    }
}

TEST_F(SaveResumeTest, NoSavesEveryPostAgainByAppendingButNeverAfterHalfABody) {
    ASSERT_EQ(save_cut_short(CrashPoint::during_append, 2), 86);
    save(false);
    EXPECT_EQ(read_bytes(folder() / file_names.at(1)), gbk_body(1) + gbk_body(1));
    EXPECT_EQ(read_bytes(folder() / file_names.at(2)), gbk_body(2));
    EXPECT_EQ(read_bytes(folder() / file_names.at(3)), gbk_body(3));
}

TEST_F(SaveResumeTest, OnlyTheFailedPostsAreRetriedAndListedWithTheirReason) {
    service.reset();
    service.emplace(std::vector<std::string>{"--posts", "4", "--not-found", "3"});
    EXPECT_EQ(save(true).failures, 1U);
    EXPECT_TRUE(m_asked.empty());
    const std::string failed = read_bytes(window::FailedPostsFile(folder()));
    EXPECT_EQ(failed.substr(0, failed.find('\t', 2) + 1),
              "3\t" + platform::utf16_to_utf8(sample_posts.post_address(3)) + "\t");
    EXPECT_NE(failed.find("404"), std::string::npos);

    service.reset();
    service.emplace(std::vector<std::string>{"--posts", "4"});
    const window::SaveOutcome outcome = save(true);
    EXPECT_EQ(m_asked, std::vector<std::u16string>{u"上次有1篇文章保存失败。只重试这些文章吗？"});
    EXPECT_EQ(outcome.failures, 0U);
    // The copy holds every post, the ones not downloaded again from the spool kept for them.
    EXPECT_EQ(outcome.copy, window::CopyResult::written);
    const std::string log = service->request_log();
    for (int n = 1; n <= 4; ++n) {
        EXPECT_EQ(requests_for(n, log), n == 3 ? 1 : 0) << n;
        EXPECT_EQ(read_bytes(folder() / file_names.at(n)), gbk_body(n)) << n;
    }
    EXPECT_FALSE(fs::exists(window::FailedPostsFile(folder())));
    EXPECT_FALSE(fs::exists(folder() / "离线浏览" / ".bodies"));
}
