#include "window/form1.h"

#include "archive/archive_politeness.h"
#include "archive/archive_request_policy.h"
#include "archive/blog_route.h"
#include "blog/blog_address.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/message_box.h"
#include "platform/page_downloads.h"
#include "platform/quit_request.h"
#include "platform/shell.h"
#include "platform/text.h"
#include "utilities/moddelay.h"
#include "window/backup_folder.h"
#include "window/exports_run.h"
#include "window/offline_copy_run.h"
#include "window/post_saver.h"
#include "window/waiting_caption.h"

#include <cstdint>
#include <utility>

namespace {

constexpr std::u16string_view saving_caption = u"正在保存";

std::vector<std::string> addresses_of(const std::vector<std::u16string>& posts) {
    std::vector<std::string> addresses;
    addresses.reserve(posts.size());
    for (const std::u16string& post : posts) {
        addresses.push_back(platform::utf16_to_utf8(post));
    }
    return addresses;
}

// "3/10"
std::u16string count_of(std::size_t done, std::size_t total) {
    return platform::decimal(static_cast<long long>(done)) + u"/" +
           platform::decimal(static_cast<long long>(total));
}

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

// The exports, under the caption "导出" while they are written; the caption that stood before
// comes back after, so the boxes come with the caption they always had.
bool write_exports(const std::filesystem::path& folder, const offline::CopyPlan& plan,
                   const archive::BlogRoute& route, Gtk::Button& button,
                   window::WaitingCaption& caption) {
    const std::u16string before = platform::utf8_to_utf16(button.get_label().raw());
    caption.show(u"导出", u"导出");
    moddelay::pump_until([] { return false; }, 0);
    window::ExportsSource source;
    source.user_name = route.user_name();
    source.blog_address = route.wayback() ? route.wayback()->blog
                                          : std::u16string(blog::ServiceBase) + source.user_name;
    source.backup_unix = g_get_real_time() / G_USEC_PER_SEC;
    const bool written = window::WriteExports(folder, plan.posts, source);
    caption.show(before, before);
    return written;
}

// What the copy is told of a post: a post downloaded from a capture is the blog's own post,
// at its original address, with the capture beside it.
offline::CopyPost copy_post(const std::u16string& item, const std::u16string& download,
                            std::optional<std::u16string> page, std::u16string failure) {
    offline::CopyPost post{item, std::move(page), std::move(failure)};
    if (const auto saved = archive::saved_capture_of(download)) {
        post.address = saved->original;
        post.capture = saved->capture;
    }
    return post;
}

} // namespace

void Form1::SaveRun() {
    // The window stays live while saving; a second save or a harvest must wait for this one.
    if (m_saving) {
        return;
    }
    const BusyScope busy(*this);
    m_saving = true;
    Command2.set_label(platform::utf16_to_utf8(saving_caption));
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

    // Every request of this save to the archive goes through what it has told us so far.
    archive::ArchiveRequestPolicy* politeness =
        route.wayback()
            ? &m_archive_policies.for_run(platform::utf16_to_utf8(route.wayback()->archive))
            : nullptr;
    std::optional<std::vector<std::u16string>> addresses = posts;
    window::WaitingCaption caption(Command2, politeness, saving_caption);
    if (politeness && !posts.empty()) {
        addresses = archive_download_addresses(route, *politeness, caption, posts);
    }
    // The archive shut us out or did not answer: nothing more is asked of it.
    bool stopped = !addresses;
    std::size_t saved_or_failed = 0;
    std::size_t failures = 0;
    // Each post's cut and cleaned text, not its whole page, waits for the copy.
    std::vector<offline::PreparedPost> copy_posts(posts.size());
    platform::PageDownloads downloads(
        addresses_of(addresses.value_or(std::vector<std::u16string>())), save_parallel_downloads,
        [&](std::size_t index, platform::DownloadResult result) {
            if (result.failure == platform::FetchFailure::blocked ||
                result.failure == platform::FetchFailure::unreachable) {
                // Nothing more is asked of an archive that shuts us out or does not answer;
                // what is saved stays.
                stopped = true;
                downloads.cancel();
                return;
            }
            // A failed download still gets its (empty) file, as it always has; it is counted.
            const std::u16string page =
                result.body ? platform::decode_gbk(*result.body) : std::u16string();
            const bool saved = blog::SavePost(target, index + 1, page);
            const std::u16string failure = window::PostFailure(result, page, saved);
            if (!failure.empty()) {
                ++failures;
            }
            copy_posts[index] = offline::PreparePost(
                index + 1,
                copy_post(posts[index], (*addresses)[index],
                          failure.empty() ? std::optional(page) : std::nullopt, failure));
            const std::u16string count = count_of(++saved_or_failed, posts.size());
            caption.show(std::u16string(saving_caption) + count, count);
        },
        {}, politeness);
    window::wait_for(downloads, caption);
    window::CopyResult copy = window::CopyResult::written;
    bool exported = true;
    try {
        downloads.rethrow_failure();
        // The browsable copy comes after every post file, and only when there is something in it;
        // the exports after the copy, from the same posts and pictures.
        if (!posts.empty() && !stopped && !platform::quit_requested()) {
            const offline::CopyPlan plan = offline::PlanCopy(std::move(copy_posts));
            copy = window::WriteOfflineCopy(
                target.folder, plan, user_name, save_parallel_downloads,
                [&caption](std::size_t done, std::size_t total) {
                    const std::u16string count = count_of(done, total);
                    caption.show(u"图片" + count, count);
                },
                picture_source(route, politeness, caption));
            if (copy != window::CopyResult::stopped) {
                exported = write_exports(target.folder, plan, route, Command2, caption);
            }
        }
    } catch (...) {
        m_saving = false;
        throw;
    }
    m_saving = false;
    if (platform::quit_requested()) {
        return;
    }
    if (stopped) {
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
    if (failures > 0) {
        platform::MsgBox(u"有" + platform::decimal(static_cast<long long>(failures)) +
                         u"篇文章保存失败");
    }
    if (copy == window::CopyResult::incomplete) {
        platform::MsgBox(u"离线浏览副本未能完整写入");
    }
    if (!exported) {
        platform::MsgBox(u"导出文件未能完整写入");
    }
    platform::MsgBox(u"文章已保存于 " + target.shown);
    platform::MsgBox(u"欢迎再次使用");
    platform::open_in_background(blog::HomeAddress);
    restore_caption();
}
