#include "window/save_pipeline.h"

#include "platform/quit_request.h"
#include "platform/text.h"
#include "tests/support/file_bytes.h"
#include "tests/support/loopback_server.h"
#include "tests/support/sample_blog_service.h"
#include "tests/support/temp_folder.h"
#include "tools/sample_blog/blog_model.h"
#include "tools/sample_blog/gbk_encoder.h"

#include <gtest/gtest.h>

#include <glib.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>

namespace fs = std::filesystem;

using testing_support::read_bytes;

namespace {

const sample_blog::BlogOptions blog_options{.posts = 4};

// Posts 1 to 4 as their files are named: the place in the list, then the title without blanks.
const std::map<int, std::string> file_names{{1, "1 春游记1.html"},
                                            {2, "2 我的第2篇日记.html"},
                                            {3, "3 a_b日记3.html"},
                                            {4, "4 文档_备份4.html"}};

sample_blog::SampleBlog sample() {
    return sample_blog::SampleBlog(u"someone", blog_options);
}

std::map<std::string, std::string> post_files(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.is_regular_file()) {
            files[entry.path().filename().string()] = read_bytes(entry.path());
        }
    }
    return files;
}

std::string gbk_body(int number) {
    return sample_blog::encode_gbk(sample().post_body(number));
}

// Hands each prepared post on only when the test lets it: the preparation thread waits in
// take() until allowed. Nothing but a main-loop callback allows it, and a watchdog thread, far
// later, which marks the test failed.
class HeldSink : public window::PreparedPostSink {
public:
    void take(const offline::PreparedPost& post) override {
        std::unique_lock lock(m_mutex);
        const std::size_t turn = ++m_arrived;
        m_changed.notify_all();
        m_changed.wait(lock, [&] { return m_allowed >= turn || m_gave_up; });
        m_numbers.insert(post.number);
    }
    void finish(const std::vector<offline::PostSummary>& posts, const offline::PictureOutcomes&,
                const offline::BodyLoader& body_of) override {
        for (const offline::PostSummary& post : posts) {
            m_finished.push_back(post.number);
            m_bodies[post.number] = body_of(post.number)->markup;
        }
    }
    // From the main loop: lets every post that arrived go on. True when one was waiting.
    bool allow_waiting() {
        const std::lock_guard lock(m_mutex);
        const bool waiting = m_allowed < m_arrived;
        m_allowed = m_arrived;
        m_changed.notify_all();
        return waiting;
    }
    void give_up() {
        const std::lock_guard lock(m_mutex);
        m_gave_up = true;
        m_changed.notify_all();
    }
    std::size_t arrived() {
        const std::lock_guard lock(m_mutex);
        return m_arrived;
    }
    bool gave_up() {
        const std::lock_guard lock(m_mutex);
        return m_gave_up;
    }
    std::set<std::size_t> numbers() {
        const std::lock_guard lock(m_mutex);
        return m_numbers;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::size_t m_arrived = 0;
    std::size_t m_allowed = 0;
    bool m_gave_up = false;
    std::set<std::size_t> m_numbers;

public: // after the save, read on the same thread
    std::vector<std::size_t> m_finished;
    std::map<std::size_t, std::vector<std::string>> m_bodies;
};

class SavePipelineTest : public testing::Test {
protected:
    void TearDown() override { platform::reset_quit_request(); }

    window::SaveJob job(std::vector<window::PreparedPostSink*> sinks = {}) const {
        window::SaveJob job;
        for (int n = 1; n <= 4; ++n) {
            job.posts.push_back(sample().post_address(n));
        }
        job.downloads = job.posts;
        job.target = {m_temp.path(), u""};
        job.user_name = u"someone";
        job.sinks = std::move(sinks);
        return job;
    }
    fs::path copy_folder() const { return m_temp.path() / "离线浏览"; }

    testing_support::SampleBlogService m_service{{"--posts", "4"}};
    testing_support::TempFolder m_temp;
};

// Calls `tick` from the main loop every 10 ms while the object lives.
class MainLoopTicks {
public:
    explicit MainLoopTicks(std::function<void()> tick) : m_tick(std::move(tick)) {
        m_source = g_timeout_add(10, &MainLoopTicks::on_tick, this);
    }
    ~MainLoopTicks() { g_source_remove(m_source); }
    MainLoopTicks(const MainLoopTicks&) = delete;
    MainLoopTicks& operator=(const MainLoopTicks&) = delete;

private:
    static gboolean on_tick(gpointer self) {
        static_cast<MainLoopTicks*>(self)->m_tick();
        return G_SOURCE_CONTINUE;
    }
    std::function<void()> m_tick;
    guint m_source = 0;
};

// Gives up on the held sink once `limit` has passed, so that a deadlock ends as a failure.
class Watchdog {
public:
    Watchdog(HeldSink& sink, std::chrono::seconds limit)
        : m_thread([this, &sink, limit] {
              std::unique_lock lock(m_mutex);
              if (!m_done.wait_for(lock, limit, [this] { return m_finished; })) {
                  sink.give_up();
              }
          }) {}
    ~Watchdog() {
        {
            const std::lock_guard lock(m_mutex);
            m_finished = true;
        }
        m_done.notify_all();
        m_thread.join();
    }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

private:
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_finished = false;
    std::thread m_thread; // last: started once the rest exists
};

} // namespace

TEST_F(SavePipelineTest, PreparationWaitsOnTheMainLoopWithoutStoppingIt) {
    HeldSink held;
    window::SaveOutcome outcome;
    std::size_t let_go = 0;
    {
        const MainLoopTicks ticks([&] { let_go += held.allow_waiting() ? 1 : 0; });
        // Preparing on the main loop's own thread would wait here for ever.
        const Watchdog watchdog(held, std::chrono::seconds(60));
        outcome = window::RunSave(job({&held}));
    }
    EXPECT_FALSE(held.gave_up());
    EXPECT_GE(let_go, 1u);
    EXPECT_EQ(held.numbers(), (std::set<std::size_t>{1, 2, 3, 4}));
    // Once the copy is written, every post again in list order, with its body from the spool.
    EXPECT_EQ(held.m_finished, (std::vector<std::size_t>{1, 2, 3, 4}));
    for (std::size_t number = 1; number <= 4; ++number) {
        // Each piece of the spooled body is in the post's page as written.
        const std::string page =
            read_bytes(copy_folder() / "posts" / (std::to_string(number) + ".html"));
        ASSERT_FALSE(held.m_bodies[number].empty()) << number;
        for (const std::string& piece : held.m_bodies[number]) {
            EXPECT_NE(page.find(piece), std::string::npos) << number << ": " << piece;
        }
    }
    EXPECT_EQ(outcome.failures, 0u);
    EXPECT_EQ(outcome.copy, window::CopyResult::written);
    std::map<std::string, std::string> expected;
    for (const auto& [number, name] : file_names) {
        expected[name] = gbk_body(number);
    }
    EXPECT_EQ(post_files(m_temp.path()), expected);
    EXPECT_TRUE(fs::exists(copy_folder() / "posts/4.html"));
    // The spooled bodies are the save's scratch, gone with it.
    EXPECT_EQ(fs::exists(copy_folder() / ".bodies"), false);
}

TEST_F(SavePipelineTest, ClosingDuringPreparationEndsAfterThePostAtHandAndKeepsItsFile) {
    HeldSink held;
    window::SaveOutcome outcome;
    {
        // The first post to be prepared waits until the program is asked to quit.
        const MainLoopTicks ticks([&] {
            if (held.arrived() > 0) {
                platform::request_quit();
                held.allow_waiting();
            }
        });
        const Watchdog watchdog(held, std::chrono::seconds(60));
        outcome = window::RunSave(job({&held}));
    }
    EXPECT_FALSE(held.gave_up());
    EXPECT_TRUE(outcome.stopped);
    ASSERT_EQ(held.numbers().size(), 1u);
    const int number = static_cast<int>(*held.numbers().begin());
    EXPECT_EQ(post_files(m_temp.path()),
              (std::map<std::string, std::string>{{file_names.at(number), gbk_body(number)}}));
    // Nothing of the copy was begun, and its scratch is gone.
    EXPECT_FALSE(fs::exists(copy_folder() / "index.html"));
    EXPECT_FALSE(fs::exists(copy_folder() / "all.html.part"));
    EXPECT_FALSE(fs::exists(copy_folder() / ".bodies"));
}

TEST_F(SavePipelineTest, DownloadsWaitWhilePreparationFallsBehind) {
    // Two at a time; the first post's preparation is held for a while: the post downloading or
    // waiting beside it is all that may come, so long pages never pile up.
    HeldSink held;
    window::SaveJob two_at_a_time = job({&held});
    two_at_a_time.parallel = 2;
    const auto posts_asked = [&] {
        const std::string log = m_service.request_log();
        std::size_t count = 0;
        for (std::size_t at = log.find("/item/"); at != std::string::npos;
             at = log.find("/item/", at + 1)) {
            ++count;
        }
        return count;
    };
    int ticks_held = 0;
    std::size_t asked_while_held = 0;
    window::SaveOutcome outcome;
    {
        const MainLoopTicks ticks([&] {
            if (held.arrived() == 0) {
                return;
            }
            if (++ticks_held == 40) {
                asked_while_held = posts_asked();
            }
            if (ticks_held >= 40) {
                held.allow_waiting();
            }
        });
        const Watchdog watchdog(held, std::chrono::seconds(60));
        outcome = window::RunSave(two_at_a_time);
    }
    EXPECT_FALSE(held.gave_up());
    EXPECT_LE(asked_while_held, 2u);
    EXPECT_EQ(posts_asked(), 4u);
    EXPECT_EQ(outcome.failures, 0u);
    EXPECT_EQ(post_files(m_temp.path()).size(), 4u);
}

namespace {

class FailingSink : public window::PreparedPostSink {
public:
    void take(const offline::PreparedPost& post) override {
        if (post.number == 2) {
            throw std::runtime_error("planted");
        }
    }
};

} // namespace

TEST_F(SavePipelineTest, AFaultWhilePreparingACopyPostCostsTheCopyButNoPostFile) {
    FailingSink failing;
    const window::SaveOutcome outcome = window::RunSave(job({&failing}));
    EXPECT_EQ(outcome.copy, window::CopyResult::incomplete);
    EXPECT_EQ(outcome.failures, 0u);
    EXPECT_FALSE(outcome.stopped);
    EXPECT_EQ(post_files(m_temp.path()).size(), 4u);
    EXPECT_FALSE(fs::exists(copy_folder() / "index.html"));
}

TEST_F(SavePipelineTest, ACopyThatCannotBeWrittenIsReportedAndEndsNothing) {
    // A file where the copy's folder should be: nothing of the copy can be written.
    std::ofstream(copy_folder()) << "in the way";
    const window::SaveOutcome outcome = window::RunSave(job());
    EXPECT_EQ(outcome.copy, window::CopyResult::incomplete);
    EXPECT_EQ(post_files(m_temp.path()).size(), 5u); // the four posts and the file in the way
    EXPECT_EQ(read_bytes(copy_folder()), "in the way");
}

namespace {

// One post saved in both layouts, and a third post: the first in the list arrives last.
class TwoLayoutsPosts {
public:
    TwoLayoutsPosts()
        : m_server([](httplib::Server& server) {
              server.Get(".*", [](const httplib::Request& request, httplib::Response& reply) {
                  if (request.path == "/u/blog/item/1.html") {
                      std::this_thread::sleep_for(std::chrono::milliseconds(1500));
                      reply.set_content(sample_blog::encode_gbk(
                                            u"<title>春 游_x_百度空间</title>查看文章2011-03-04 "
                                            u"05:06<p>旧</p>类别：默认"),
                                        "text/html");
                      return;
                  }
                  const bool other = request.path.ends_with("ccc");
                  reply.set_content(
                      platform::utf16_to_utf8(
                          u"<div class=\"content-other-info\"><span>2011-03-04 05:06</span>"
                          u"</div><h2 class=\"content-title\">" +
                          std::u16string(other ? u"别的" : u"春游") +
                          u"</h2><div id=\"content\" class=\"content\"><p>新</p></div>"),
                      "text/html; charset=utf-8");
              });
          }) {}

    std::u16string address(std::string_view path) const {
        return platform::utf8_to_utf16(m_server.base_url() + std::string(path));
    }

private:
    testing_support::LoopbackServer m_server;
};

} // namespace

TEST(TwoLayoutsSave, APostOfBothLayoutsIsWrittenOnceTheFirstInTheListWhicheverArrivesFirst) {
    setenv("no_proxy", "127.0.0.1", 1);
    const TwoLayoutsPosts served;
    const testing_support::TempFolder temp;
    window::SaveJob job;
    job.posts = {served.address("/u/blog/item/1.html"),
                 served.address("/u/item/aaaaaaaaaaaaaaaaaaaaaaaa"),
                 served.address("/u/item/cccccccccccccccccccccccc")};
    job.downloads = job.posts;
    job.target = {temp.path(), u""};
    job.user_name = u"u";
    const window::SaveOutcome outcome = window::RunSave(job);
    unsetenv("no_proxy");
    EXPECT_EQ(outcome.repeated, 1u);
    EXPECT_EQ(outcome.failures, 0u);
    EXPECT_EQ(post_files(temp.path()),
              (std::map<std::string, std::string>{
                  {"1 春游.html", sample_blog::encode_gbk(u"2011-03-04 05:06<p>旧</p>")},
                  {"3 别的.html", "<p>\xd0\xc2</p>"}}));
    // The copy holds the post once.
    const std::string index = read_bytes(temp.path() / "离线浏览" / "index.html");
    EXPECT_EQ(index.find("2.html"), std::string::npos);
    EXPECT_NE(index.find("1.html"), std::string::npos);
}

namespace {

// Asks the program to quit once the copy's pages are written.
class QuitAfterTheCopy : public window::PreparedPostSink {
public:
    void take(const offline::PreparedPost&) override {}
    void finish(const std::vector<offline::PostSummary>&, const offline::PictureOutcomes&,
                const offline::BodyLoader&) override {
        platform::request_quit();
    }
};

} // namespace

TEST_F(SavePipelineTest, TheExportsAreWrittenWhenACopyPageIsNotAndNeverSkippedSilently) {
    const window::ExportsSource exports{u"someone", u"http://hi.baidu.com/someone", 1700000000};
    window::SaveJob with_exports = job();
    with_exports.exports = &exports;
    // A folder where one copy page goes: that page fails, the rest of the save does not.
    fs::create_directories(copy_folder() / "posts/2.html");
    const window::SaveOutcome one_page = window::RunSave(with_exports);
    EXPECT_EQ(one_page.copy, window::CopyResult::incomplete);
    EXPECT_TRUE(one_page.exported);
    EXPECT_TRUE(fs::is_regular_file(m_temp.path() / "导出/hugo/content/posts/2/index.md"));

    // No post can be prepared for the copy: there is nothing whole to export, and it says so.
    FailingSink failing;
    with_exports.sinks = {&failing};
    const window::SaveOutcome none = window::RunSave(with_exports);
    EXPECT_EQ(none.copy, window::CopyResult::incomplete);
    EXPECT_FALSE(none.exported);
    EXPECT_FALSE(none.stopped);
}

TEST_F(SavePipelineTest, ClosingAfterTheCopyOrDuringTheExportsLeavesTheEarlierExports) {
    const window::ExportsSource first{u"someone", u"http://hi.baidu.com/someone", 1700000000};
    window::SaveJob with_exports = job();
    with_exports.exports = &first;
    ASSERT_TRUE(window::RunSave(with_exports).exported);
    const fs::path exports = m_temp.path() / "导出";
    const auto before = testing_support::files_under(exports);
    ASSERT_FALSE(before.empty());

    // A later save, whose exports would differ, closed once the copy is written: they never
    // start.
    const window::ExportsSource later{u"someone", u"http://hi.baidu.com/someone", 1800000000};
    with_exports.exports = &later;
    QuitAfterTheCopy quit;
    window::SaveJob quitting = with_exports;
    quitting.sinks = {&quit};
    std::vector<std::u16string> captions;
    const auto note = [&captions](std::u16string_view full, std::u16string_view) {
        captions.emplace_back(full);
    };
    const window::SaveOutcome after_copy = window::RunSave(quitting, {note, {}, {}});
    EXPECT_TRUE(after_copy.stopped);
    EXPECT_EQ(std::ranges::count(captions, u"导出"), 0);
    EXPECT_EQ(testing_support::files_under(exports), before);

    // Closed as the exports begin, and waited for all the same: they stop before the next post.
    platform::reset_quit_request();
    const window::SaveOutcome during =
        window::RunSave(with_exports, {[](std::u16string_view full, std::u16string_view) {
                                           if (full == u"导出") {
                                               platform::request_quit();
                                           }
                                       },
                                       [](const std::function<bool()>& done) {
                                           while (!done()) {
                                               g_main_context_iteration(nullptr, TRUE);
                                           }
                                       },
                                       {}});
    EXPECT_TRUE(during.stopped);
    EXPECT_EQ(testing_support::files_under(exports), before);
    EXPECT_EQ(std::ranges::count_if(fs::directory_iterator(m_temp.path()),
                                    [](const fs::directory_entry& entry) {
                                        return entry.path().filename().string().starts_with(".");
                                    }),
              0);
}
