#include "window/save_pipeline.h"

#include "offline/body_spool.h"
#include "offline/copy_writer.h"
#include "offline/summary_file.h"
#include "platform/codepage.h"
#include "platform/freed_memory.h"
#include "platform/page_downloads.h"
#include "platform/quit_request.h"
#include "platform/text.h"
#include "platform/worker_thread.h"
#include "utilities/moddelay.h"
#include "window/save_outputs.h"
#include "window/written_posts.h"

#include <cstddef>
#include <cstdint>
#include <exception>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <stdexcept>
#include <utility>

namespace window {
namespace {

constexpr std::uint32_t wait_slice_ms = 60000;
// Pages from this length on leave enough freed memory behind to hand it back at once.
constexpr std::size_t long_page_bytes = std::size_t{1} << 20;

void wait_on_main_context(const std::function<bool()>& done) {
    while (!done() && !platform::quit_requested()) {
        moddelay::pump_until(done, wait_slice_ms);
    }
}

// What preparing one post leaves for the window's thread.
struct Prepared {
    std::size_t index = 0;
    bool failed = false;
    bool repeated = false; // the same post as one already written, in the other layout
    std::optional<offline::PostSummary> summary; // when it was prepared for the copy
    std::exception_ptr fault;                    // a post file that could not be handled
};

class Pipeline {
public:
    Pipeline(const SaveJob& job, const SaveEvents& events)
        : m_job(job), m_events(events), m_summaries(job.posts.size()) {
        if (!m_events.wait) {
            m_events.wait = wait_on_main_context;
        }
    }

    SaveOutcome run() {
        if (m_job.downloads.size() != m_job.posts.size()) {
            throw std::invalid_argument("RunSave: one download address is needed for each post");
        }
        if (!m_job.posts.empty()) {
            try {
                m_spool.emplace(offline::CopyFolder(m_job.target.folder),
                                resumable() && resumable()->kept_spool
                                    ? offline::SpoolStart::kept
                                    : offline::SpoolStart::empty);
                m_spool->keep(resumable() != nullptr);
            } catch (const std::exception&) {
                m_copy_fault = true;
            }
        }
        take_saved_before();
        download_and_prepare();
        if (m_outcome.stopped || m_outcome.blocked || m_job.posts.empty()) {
            return m_outcome;
        }
        if (m_copy_fault) {
            m_outcome.copy = CopyResult::incomplete;
        } else {
            try {
                write_copy();
            } catch (const std::exception&) {
                // The post files are what was asked for, and they are all written by now: a
                // copy that cannot be made is reported, never allowed to end the program.
                m_outcome.copy = CopyResult::incomplete;
            }
        }
        if (m_job.exports && !m_outcome.stopped) {
            write_exports();
        }
        if (!m_outcome.stopped) {
            finish_resumable();
        }
        return m_outcome;
    }

private:
    const ResumableSave* resumable() const { return m_job.resumable; }
    SaveJournal* journal() const { return resumable() ? resumable()->journal : nullptr; }

    bool to_save(std::size_t index) const {
        return !resumable() || resumable()->to_save.empty() || resumable()->to_save.at(index);
    }

    // The posts an earlier save of this list wrote: what the copy needs of them comes from the
    // spool it kept.
    void take_saved_before() {
        for (std::size_t i = 0; i < m_job.posts.size(); ++i) {
            if (to_save(i)) {
                m_download_index.push_back(i);
                continue;
            }
            ++m_saved_or_failed;
            if (journal() && journal()->state().posts.at(i).state == PostState::duplicate) {
                ++m_outcome.repeated;
                m_repeated.insert(i);
                continue;
            }
            std::optional<offline::PostSummary> summary =
                m_spool ? offline::LoadSummary(*m_spool, i + 1) : std::nullopt;
            if (summary) {
                if (summary->saved) {
                    // Written before the interruption: written in this save, for the two layouts.
                    m_written.add(i + 1, platform::utf8_to_utf16(summary->title), summary->facts);
                }
                m_summaries[i] = std::move(*summary);
            } else {
                m_copy_fault = true;
            }
        }
    }

    // The list saved to its end: the journal says so, and the spool goes once no post is left
    // to retry.
    void finish_resumable() {
        if (!journal()) {
            return;
        }
        journal()->finish();
        if (m_spool && FailedCount(journal()->state()) == 0) {
            m_spool->keep(false);
        }
    }

    void download_and_prepare() {
        platform::WorkerThread worker;
        m_worker = &worker;
        const platform::PageDownloads* started = nullptr; // none until its constructor returns
        // New downloads wait while the posts downloading or waiting to be prepared are as many
        // as may download at once, so that pages far larger than preparation can keep up with
        // never pile up in memory.
        const auto backlog_full = [&] {
            const std::size_t downloading = started ? started->unreported_count() : 0;
            return downloading + m_arrived.size() + worker.unfinished() >= m_job.parallel;
        };
        // Before the worker's end, which it feeds.
        std::vector<std::string> wanted;
        for (const std::size_t i : m_download_index) {
            wanted.push_back(platform::utf16_to_utf8(m_job.downloads[i]));
        }
        platform::PageDownloads downloads(
            std::move(wanted), m_job.parallel,
            [&](std::size_t download, platform::DownloadResult result) {
                if (result.failure == platform::FetchFailure::blocked ||
                    result.failure == platform::FetchFailure::unreachable) {
                    // Nothing more is asked of an archive that shuts us out or does not answer;
                    // what is saved stays.
                    m_outcome.blocked = true;
                    downloads.cancel();
                    release_arrived(true);
                    return;
                }
                m_arrived.emplace(download, std::move(result));
                release_arrived(false);
            },
            platform::HttpLimits{}, m_job.policy, backlog_full);
        started = &downloads;
        m_events.wait([&] { return m_fault || (downloads.done() && worker.unfinished() == 0); });
        downloads.cancel();
        downloads.rethrow_failure();
        if (m_fault) {
            std::rethrow_exception(m_fault);
        }
        m_outcome.stopped = platform::quit_requested();
        // Leaving here drops the posts not begun and waits for the one being prepared.
    }

    // Posts go to the worker in list order (that of the downloads), so that of one post saved in
    // both layouts the first in the list is the one kept; those that came early wait here (the
    // backlog counts them).
    void release_arrived(bool all) {
        while (!m_arrived.empty() && (all || m_arrived.begin()->first == m_next_to_prepare)) {
            auto arrived = m_arrived.extract(m_arrived.begin());
            m_next_to_prepare = arrived.key() + 1;
            prepare(m_download_index.at(arrived.key()), std::move(arrived.mapped()));
        }
    }

    // Hands a downloaded post to the worker; the outcomes come back in list order.
    void prepare(std::size_t index, platform::DownloadResult result) {
        auto prepared = std::make_shared<Prepared>();
        prepared->index = index;
        const bool copy = m_spool.has_value();
        m_worker->post({[this, prepared, copy, result = std::move(result)]() mutable {
                            const bool long_page =
                                result.body && result.body->size() >= long_page_bytes;
                            work(*prepared, std::move(result), copy);
                            if (long_page) {
                                // Before the next page comes on top of what this one left.
                                platform::ReturnFreedMemory();
                            }
                        },
                        [this, prepared] { take(*prepared); }});
    }

    // On the worker.
    void work(Prepared& prepared, platform::DownloadResult result, bool copy) {
        if (platform::quit_requested()) {
            return; // the window is closing: the post at hand was the last
        }
        const std::size_t number = prepared.index + 1;
        std::u16string failure;
        std::optional<std::u16string> page;
        blog::PostCut cut;
        try {
            // A failed download still gets its (empty) file, as it always has; it is counted.
            blog::PostPage read = result.body
                                      ? blog::ReadPostPage(*result.body, result.content_type)
                                      : blog::PostPage{u"", blog::CutPostText(u"")};
            page = std::move(read.text);
            cut = std::move(read.cut);
            if (result.body) {
                std::string().swap(*result.body); // let it go, but keep that it came
            }
            if (cut.has_body() && m_written.repeats(number, *page, cut)) {
                prepared.repeated = true;
                if (journal()) {
                    journal()->skipped_as_duplicate(prepared.index);
                }
                return;
            }
            const bool saved =
                blog::SavePost(m_job.target, number, *page, cut,
                               journal() ? journal()->append_watch(number) : blog::AppendWatch{});
            failure = PostFailure(result, *page, saved);
            prepared.failed = !failure.empty();
        } catch (...) {
            prepared.fault = std::current_exception();
            return;
        }
        prepare_for_copy(prepared, std::move(page), cut, failure, copy);
        if (journal()) {
            // Only once what the copy needs of it is kept: a post cut short before that is
            // downloaded again.
            journal()->after_append(prepared.index, failure);
        }
    }

    // On the worker, once the post file is written.
    void prepare_for_copy(Prepared& prepared, std::optional<std::u16string> page,
                          const blog::PostCut& cut, const std::u16string& failure, bool copy) {
        const std::size_t number = prepared.index + 1;
        if (!copy || m_worker_copy_fault) {
            return;
        }
        // The post file is written: a fault from here on costs the copy, never the save.
        try {
            if (!failure.empty()) {
                page.reset();
            }
            const std::size_t i = prepared.index;
            const offline::PreparedPost post = offline::PreparePost(
                number, {m_job.posts[i], std::move(page), failure,
                         i < m_job.captures.size() ? m_job.captures[i] : std::u16string(), cut});
            if (post.saved) {
                m_spool->Store(number, post.body);
            }
            for (PreparedPostSink* sink : m_job.sinks) {
                sink->take(post);
            }
            prepared.summary = offline::SummaryOf(post);
            if (resumable() && !offline::StoreSummary(*m_spool, *prepared.summary)) {
                throw std::runtime_error("cannot keep the facts of a post");
            }
        } catch (...) {
            m_worker_copy_fault = true;
        }
    }

    // On the window's thread, from the main loop, where nothing could catch what is thrown: a
    // fault ends the wait and is thrown from there.
    void take(Prepared& prepared) noexcept {
        try {
            count(prepared);
        } catch (...) {
            if (!m_fault) {
                m_fault = std::current_exception();
            }
        }
    }

    void count(Prepared& prepared) {
        if (prepared.fault) {
            if (!m_fault) {
                m_fault = prepared.fault;
            }
            return;
        }
        m_outcome.failures += prepared.failed ? 1 : 0;
        if (prepared.repeated) {
            ++m_outcome.repeated;
            m_repeated.insert(prepared.index);
        } else if (prepared.summary) {
            m_summaries[prepared.index] = std::move(*prepared.summary);
        } else {
            m_copy_fault = true;
        }
        const std::u16string count = CountOf(++m_saved_or_failed, m_job.posts.size());
        show(std::u16string(SavingCaption) + count, count);
        if (m_events.pace) {
            m_events.pace(++m_downloaded, m_download_index.size());
        }
    }

    void write_copy() {
        // A post kept once has one page; its second copy has none and is not listed.
        for (auto repeated = m_repeated.rbegin(); repeated != m_repeated.rend(); ++repeated) {
            m_summaries.erase(m_summaries.begin() + static_cast<std::ptrdiff_t>(*repeated));
        }
        const CopyStep step = WriteCopyStep(
            m_job, m_events, [this](auto full, auto short_form) { show(full, short_form); },
            std::move(m_summaries), *m_spool, m_pages);
        m_outcome.copy = step.copy;
        m_outcome.stopped = step.stopped;
    }

    // The exports under their own caption, whether or not the copy's pages could all be written;
    // the caption that stood before comes back after, so the boxes come with the caption they
    // always had. Without the prepared posts and their pictures there is nothing whole to
    // export: the earlier exports stay, and the save says that these were not written. A close
    // before or during them leaves the earlier ones too.
    void write_exports() {
        if (platform::quit_requested()) {
            m_outcome.stopped = true;
            return;
        }
        if (!m_pages) {
            m_outcome.exported = false;
            return;
        }
        const std::pair<std::u16string, std::u16string> before = m_shown;
        show(u"导出", u"导出");
        const bool exported = WriteExportsStep(m_job, m_events, *m_pages, *m_spool);
        m_outcome.stopped = platform::quit_requested();
        m_outcome.exported = exported || m_outcome.stopped;
        show(before.first, before.second);
    }

    void show(std::u16string_view full, std::u16string_view short_form) {
        m_shown = {std::u16string(full), std::u16string(short_form)};
        if (m_events.show) {
            m_events.show(full, short_form);
        }
    }

    const SaveJob& m_job;
    SaveEvents m_events;
    SaveOutcome m_outcome;
    std::optional<offline::BodySpool> m_spool;
    std::vector<offline::PostSummary> m_summaries;
    std::optional<offline::CopyPageBuilder> m_pages; // once the pictures are in
    platform::WorkerThread* m_worker = nullptr;
    std::size_t m_saved_or_failed = 0;
    std::vector<std::size_t> m_download_index; // the list index of each post downloaded
    std::size_t m_downloaded = 0;
    // Downloaded, not yet handed over, by their place among the downloads.
    std::map<std::size_t, platform::DownloadResult> m_arrived;
    std::size_t m_next_to_prepare = 0; // that place
    WrittenPosts m_written;            // on the worker
    std::set<std::size_t> m_repeated;  // list indexes
    std::exception_ptr m_fault;
    bool m_copy_fault = false;        // seen on the window's thread
    bool m_worker_copy_fault = false; // seen on the worker: the rest is not prepared
    std::pair<std::u16string, std::u16string> m_shown; // the caption shown last, full and short
};

} // namespace

SaveOutcome RunSave(const SaveJob& job, const SaveEvents& events) {
    return Pipeline(job, events).run();
}

} // namespace window
