#include "window/save_outputs.h"

#include "offline/copy_writer.h"
#include "platform/quit_request.h"
#include "platform/text.h"
#include "platform/worker_thread.h"

#include <glib.h>

#include <atomic>
#include <cstdint>
#include <exception>

namespace window {

std::u16string CountOf(std::size_t done, std::size_t total) {
    return platform::decimal(static_cast<long long>(done)) + u"/" +
           platform::decimal(static_cast<long long>(total));
}

CopyStep WriteCopyStep(const SaveJob& job, const SaveEvents& events, const ShowCaption& show,
                       std::vector<offline::PostSummary> summaries, offline::BodySpool& spool,
                       std::optional<offline::CopyPageBuilder>& pages) {
    const offline::CopyPlan wanted = offline::PlanPictures(summaries);
    const offline::PictureStore store(offline::CopyFolder(job.target.folder));
    const std::optional<offline::PictureOutcomes> pictures = FetchPictures(
        wanted, store, job.parallel,
        [&](std::size_t done, std::size_t total) {
            const std::u16string count = CountOf(done, total);
            show(u"图片" + count, count);
            if (events.pace) {
                events.pace(done, total);
            }
        },
        job.pictures);
    if (!pictures) {
        return {CopyResult::stopped, true};
    }
    const std::int64_t now = g_get_real_time() / G_USEC_PER_SEC;
    const offline::CopyPageBuilder& built =
        pages.emplace(std::move(summaries), *pictures, job.user_name, offline::BackupTimeText(now));
    // The pages are built where the posts were prepared, a body at a time.
    std::atomic<bool> stop = false;
    std::optional<offline::CopyWriteResult> written;
    std::exception_ptr fault;
    {
        const offline::BodyLoader body_of =
            [&](std::size_t number) -> std::optional<offline::CleanBody> {
            if (stop) {
                return std::nullopt;
            }
            return spool.Load(number);
        };
        platform::WorkerThread worker; // after what its job uses, so it ends first
        worker.post({[&] {
                         try {
                             written = offline::WriteCopy(job.target.folder, built, body_of);
                             for (PreparedPostSink* sink : job.sinks) {
                                 if (!written->stopped) {
                                     sink->finish(built.posts(), *pictures, body_of);
                                 }
                             }
                         } catch (...) {
                             fault = std::current_exception();
                         }
                     },
                     {}});
        events.wait([&] { return worker.unfinished() == 0; });
        stop = true;
    }
    if (platform::quit_requested() && (!written || written->stopped)) {
        return {CopyResult::stopped, true};
    }
    return {fault || !written || !written->failed.empty() ? CopyResult::incomplete
                                                          : CopyResult::written,
            false};
}

bool WriteExportsStep(const SaveJob& job, const SaveEvents& events,
                      const offline::CopyPageBuilder& pages, offline::BodySpool& spool) {
    bool exported = false;
    platform::WorkerThread worker;
    worker.post({[&] {
                     exported = WriteExports(
                         job.target.folder, pages.posts(),
                         [&spool](std::size_t number) { return spool.Load(number); }, *job.exports,
                         platform::quit_requested);
                 },
                 {}});
    events.wait([&] { return worker.unfinished() == 0; });
    return exported;
}

} // namespace window
