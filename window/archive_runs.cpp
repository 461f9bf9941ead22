// The harvest's and the save's steps that only a blog read through the archive takes.

#include "window/form1.h"

#include "archive/archive_politeness.h"
#include "platform/archive_request_policy.h"
#include "platform/message_box.h"
#include "platform/page_downloads.h"
#include "platform/quit_request.h"
#include "platform/text.h"
#include "window/waiting_caption.h"

namespace {

constexpr std::u16string_view index_failed_text =
    u"无法完整读取网页时光机的索引，只在列表页上找到的文章已列出";

} // namespace

std::optional<std::string> Form1::fetch_from_archive(const std::u16string& address,
                                                     platform::ArchiveRequestPolicy& politeness,
                                                     window::WaitingCaption& caption) {
    std::optional<std::string> body;
    platform::PageDownloads download(
        {platform::utf16_to_utf8(address)}, 1,
        [&body](std::size_t, platform::DownloadResult result) {
            if (result.body && result.status == 200) {
                body = std::move(result.body);
            }
        },
        {}, &politeness);
    window::wait_for(download, caption);
    download.rethrow_failure();
    return body;
}

std::vector<archive::CaptureEntry>
Form1::read_capture_index(const archive::WaybackBlog& blog,
                          platform::ArchiveRequestPolicy& politeness,
                          window::WaitingCaption& caption, bool& whole) {
    archive::CaptureIndexReader reader(blog);
    whole = true;
    while (const std::optional<std::u16string> query = reader.next_query()) {
        const std::optional<std::string> body = fetch_from_archive(*query, politeness, caption);
        if (platform::quit_requested() || !body || !reader.take(*body)) {
            whole = false;
            break;
        }
    }
    return reader.entries();
}

void Form1::add_posts_from_capture_index(const archive::WaybackBlog& blog,
                                         platform::ArchiveRequestPolicy& politeness) {
    window::WaitingCaption caption(Command1, &politeness,
                                   platform::utf8_to_utf16(Command1.get_label().raw()));
    bool whole = false;
    const std::vector<archive::CaptureEntry> index =
        read_capture_index(blog, politeness, caption, whole);
    if (platform::quit_requested()) {
        return;
    }
    add_collected_links(archive::posts_missing_from_list(blog, list1_items(), index));
    if (whole) {
        m_captures_blog = blog.blog;
        m_captures.emplace(index);
    }
    if (politeness.blocked()) {
        platform::MsgBox(archive::BlockedMessage);
    } else if (!whole) {
        platform::MsgBox(index_failed_text);
    }
}

std::optional<std::vector<std::u16string>> Form1::archive_download_addresses(
    const archive::BlogRoute& route, platform::ArchiveRequestPolicy& politeness,
    window::WaitingCaption& caption, const std::vector<std::u16string>& posts) {
    const archive::WaybackBlog& blog = *route.wayback();
    if (!m_captures || m_captures_blog != blog.blog) {
        // A list gathered by hand, or for another blog: each post's own capture is looked up
        // again. Without the index, posts are asked for at their links' timestamps.
        bool whole = false;
        const std::vector<archive::CaptureEntry> index =
            read_capture_index(blog, politeness, caption, whole);
        if (politeness.blocked()) {
            return std::nullopt;
        }
        if (whole) {
            m_captures_blog = blog.blog;
            m_captures.emplace(index);
        } else {
            return route.download_addresses(posts, archive::OwnCaptures(index));
        }
    }
    return route.download_addresses(posts, *m_captures);
}
