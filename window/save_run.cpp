#include "window/form1.h"

#include "archive/archive_politeness.h"
#include "archive/blog_route.h"
#include "platform/archive_request_policy.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/message_box.h"
#include "platform/page_downloads.h"
#include "platform/quit_request.h"
#include "platform/shell.h"
#include "platform/text.h"
#include "window/backup_folder.h"
#include "window/blog_address.h"
#include "window/post_saver.h"
#include "window/waiting_caption.h"

#include <cstdint>

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

bool is_error_status(long status) {
    return status >= 400;
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

    // Every request of this save to the archive goes through one politeness.
    std::optional<platform::ArchiveRequestPolicy> politeness;
    std::optional<std::vector<std::u16string>> addresses = posts;
    if (route.wayback()) {
        politeness.emplace(platform::utf16_to_utf8(route.wayback()->archive));
    }
    window::WaitingCaption caption(Command2, politeness ? &*politeness : nullptr, saving_caption);
    if (route.wayback()) {
        addresses = archive_download_addresses(route, *politeness, caption, posts);
    }
    bool blocked = !addresses;
    std::size_t saved_or_failed = 0;
    std::size_t failures = 0;
    platform::PageDownloads downloads(
        addresses_of(addresses.value_or(std::vector<std::u16string>())), save_parallel_downloads,
        [&](std::size_t index, platform::DownloadResult result) {
            if (result.failure == platform::FetchFailure::blocked) {
                // Nothing more is asked of an archive that shuts us out; what is saved stays.
                blocked = true;
                downloads.cancel();
                return;
            }
            const std::optional<std::string>& body = result.body;
            const long status = result.status;
            // A failed download still gets its (empty) file, as it always has; it is counted.
            const std::u16string page = body ? platform::decode_gbk(*body) : std::u16string();
            const bool saved = blog::SavePost(target, index + 1, page);
            if (!body || is_error_status(status) || !saved) {
                ++failures;
            }
            ++saved_or_failed;
            const std::u16string count =
                platform::decimal(static_cast<long long>(saved_or_failed)) + u"/" +
                platform::decimal(static_cast<long long>(posts.size()));
            caption.show(std::u16string(saving_caption) + count, count);
        },
        {}, politeness ? &*politeness : nullptr);
    window::wait_for(downloads, caption);
    m_saving = false;
    downloads.rethrow_failure();
    if (platform::quit_requested()) {
        return;
    }
    if (blocked) {
        platform::MsgBox(archive::BlockedMessage);
        restore_caption();
        return;
    }

    platform::MsgBox(u"保存完毕");
    if (failures > 0) {
        platform::MsgBox(u"有" + platform::decimal(static_cast<long long>(failures)) +
                         u"篇文章保存失败");
    }
    platform::MsgBox(u"文章已保存于 " + target.shown);
    platform::MsgBox(u"欢迎再次使用");
    platform::open_in_background(blog::HomeAddress);
    restore_caption();
}
