#include "window/form1.h"

#include "archive/archive_politeness.h"
#include "archive/archive_request_policy.h"
#include "archive/blog_route.h"
#include "blog/blog_address.h"
#include "blog/two_layouts.h"
#include "offline/copy_writer.h"
#include "platform/files.h"
#include "platform/message_box.h"
#include "platform/quit_request.h"
#include "platform/shell.h"
#include "platform/text.h"
#include "window/backup_folder.h"
#include "window/save_end.h"
#include "window/save_journal.h"
#include "window/save_pipeline.h"
#include "window/time_left.h"
#include "window/waiting_caption.h"

#include <functional>
#include <optional>

namespace {

// Through the archive, each picture comes from its raw capture at the time of the capture of
// the post that shows it (the archive answers with the nearest one), under the save's
// politeness, with the caption counting its pauses down.
window::PictureSource picture_source(const archive::BlogRoute& route,
                                     platform::RequestPolicy* politeness,
                                     window::WaitingCaption& caption) {
    if (!route.wayback()) {
        return {};
    }
    const archive::WaybackBlog wayback = *route.wayback();
    return {
        [wayback](const std::string& picture, const std::string& capture) {
            const std::u16string address = platform::utf8_to_utf16(picture);
            return platform::utf16_to_utf8(
                archive::picture_capture(platform::utf8_to_utf16(capture), address)
                    .value_or(archive::capture_address(wayback.archive, wayback.timestamp, u"im_",
                                                       address)));
        },
        politeness,
        [&caption](platform::PageDownloads& downloads) { window::wait_for(downloads, caption); }};
}

// What the copy is told of each post: one downloaded from a capture is the blog's own post, at
// its original address, with the capture beside it.
void describe_for_copy(window::SaveJob& job) {
    job.captures.assign(job.posts.size(), std::u16string());
    for (std::size_t i = 0; i < job.posts.size(); ++i) {
        if (const auto saved = archive::saved_capture_of(job.downloads[i])) {
            job.posts[i] = saved->original;
            job.captures[i] = saved->capture;
        }
    }
}

// What the exports say of the blog as a whole.
window::ExportsSource exports_source(const archive::BlogRoute& route) {
    window::ExportsSource source;
    source.user_name = route.user_name();
    source.blog_address = route.wayback() ? route.wayback()->blog
                                          : std::u16string(blog::ServiceBase) + source.user_name;
    source.backup_unix = g_get_real_time() / G_USEC_PER_SEC;
    return source;
}

// The window's title says how long the save still takes, at most once a second, from the pace of
// the work at hand (the posts, then the pictures).
class TimeLeftTitle {
public:
    explicit TimeLeftTitle(Gtk::Window& window) : m_window(window) {}
    ~TimeLeftTitle() { m_window.set_title(platform::utf16_to_utf8(window::TitleWithTimeLeft({}))); }
    TimeLeftTitle(const TimeLeftTitle&) = delete;
    TimeLeftTitle& operator=(const TimeLeftTitle&) = delete;

    void pace(std::size_t done, std::size_t total) {
        const std::int64_t now = g_get_monotonic_time();
        if (total != m_total || done < m_done) {
            // A new stage, which began when the last one ended: its pace is measured afresh.
            m_total = total;
            m_started = m_last;
            m_shown = 0;
        }
        m_done = done;
        m_last = now;
        if (m_shown != 0 && now - m_shown < G_USEC_PER_SEC) {
            return;
        }
        m_shown = now;
        const double elapsed = static_cast<double>(now - m_started) / G_USEC_PER_SEC;
        m_window.set_title(platform::utf16_to_utf8(
            window::TitleWithTimeLeft(window::MinutesLeft(elapsed, done, total))));
    }

private:
    Gtk::Window& m_window;
    std::int64_t m_started = g_get_monotonic_time();
    std::int64_t m_last = m_started;
    std::int64_t m_shown = 0;
    std::size_t m_total = 0;
    std::size_t m_done = 0;
};

} // namespace

void Form1::SaveRun() {
    // The window stays live while saving; a second save or a harvest must wait for this one.
    if (m_saving) {
        return;
    }
    const BusyScope busy(*this);
    m_saving = true;
    Command2.set_label(platform::utf16_to_utf8(window::SavingCaption));
    Command2.add_css_class("progress");
    const auto restore_caption = [this] {
        Command2.remove_css_class("progress");
        Command2.set_label(platform::utf16_to_utf8(u"保存文章"));
    };

    const archive::BlogRoute route(platform::utf8_to_utf16(txtblog.get_text().raw()));
    const std::u16string user_name = route.user_name();
    if (!route.wayback() && blog::NamesNoBlog(user_name)) {
        // The posts would land in the program's own folder, mixed with any other blog's.
        platform::MsgBox(blog::BadAddressText, blog::BadAddressTitle);
        m_saving = false;
        restore_caption();
        return;
    }
    const blog::SaveTarget target = blog::ChooseSaveFolder(
        blog::BackupFolder(platform::program_folder()), user_name, platform::home_folder());
    if (!target.writable) {
        // Nothing is downloaded that could not be kept, and no success is claimed.
        platform::MsgBox(u"无法保存文章：文件夹无法写入 " + target.shown);
        m_saving = false;
        restore_caption();
        return;
    }
    // What the collector adds from now on belongs to the next save.
    const std::vector<std::u16string> posts = list1_items();
    // Through the archive, a save of the same list that did not finish, or had failures, may be
    // taken up where it stopped.
    std::optional<window::SavePlan> plan;
    if (route.wayback() && !posts.empty()) {
        plan = window::PlanSave(target.folder, posts, [](std::u16string_view question) {
            return platform::MsgBoxYesNo(question);
        });
        if (platform::quit_requested()) {
            m_saving = false;
            return;
        }
    }

    // Every request of this save to the archive goes through what it has told us so far.
    archive::ArchiveRequestPolicy* politeness =
        route.wayback()
            ? &m_archive_policies.for_run(platform::utf16_to_utf8(route.wayback()->archive))
            : nullptr;
    std::optional<std::vector<std::u16string>> addresses = posts;
    window::WaitingCaption caption(Command2, politeness, window::SavingCaption);
    if (politeness && !posts.empty()) {
        addresses = archive_download_addresses(route, *politeness, caption, posts);
    }
    window::SaveOutcome outcome;
    // The archive shut us out or did not answer: nothing more is asked of it.
    outcome.blocked = !addresses;
    try {
        if (addresses) {
            window::SaveJob job{posts,      *addresses,
                                {},         target,
                                user_name,  save_parallel_downloads,
                                politeness, picture_source(route, politeness, caption),
                                {},         nullptr};
            describe_for_copy(job);
            const window::ExportsSource exports = exports_source(route);
            job.exports = &exports;
            std::optional<window::SaveJournal> journal;
            std::optional<window::ResumableSave> resumable;
            std::optional<TimeLeftTitle> title;
            if (plan) {
                journal.emplace(target.folder, std::move(plan->start));
                resumable = {&*journal, std::move(plan->to_save), plan->kept_spool};
                job.resumable = &*resumable;
                title.emplace(*this);
            }
            outcome = window::RunSave(
                job, {[&caption](std::u16string_view full, std::u16string_view short_form) {
                          caption.show(full, short_form);
                      },
                      [&caption](const std::function<bool()>& done) {
                          window::wait_until(done, caption);
                      },
                      [&title](std::size_t done, std::size_t total) {
                          if (title) {
                              title->pace(done, total);
                          }
                      }});
        }
    } catch (...) {
        m_saving = false;
        throw;
    }
    m_saving = false;
    if (platform::quit_requested()) {
        return;
    }
    if (outcome.blocked) {
        archive_stopped(politeness);
        restore_caption();
        return;
    }
    // Shut out while the copy's pictures came: every post file is written, and so is the copy
    // with the pictures it has; the save ends as usual after saying so.
    if (!posts.empty()) {
        archive_stopped(politeness);
    }

    platform::MsgBox(u"保存完毕");
    if (outcome.failures > 0) {
        platform::MsgBox(u"有" + platform::decimal(static_cast<long long>(outcome.failures)) +
                         u"篇文章保存失败");
    }
    if (outcome.copy == window::CopyResult::incomplete) {
        platform::MsgBox(u"离线浏览副本未能完整写入");
    }
    if (!outcome.exported) {
        platform::MsgBox(u"导出文件未能完整写入");
    }
    if (outcome.repeated > 0) {
        platform::MsgBox(blog::TwoLayoutsText(outcome.repeated));
    }
    platform::MsgBox(u"文章已保存于 " + target.shown);
    platform::MsgBox(u"欢迎再次使用");
    const bool copy_left = outcome.copy != window::CopyResult::stopped && !posts.empty();
    platform::open_in_background(
        window::SaveEndAddress(offline::CopyFolder(target.folder), copy_left, blog::HomeAddress));
    restore_caption();
}
