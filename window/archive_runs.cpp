// The harvest's and the save's steps that only a blog read through the archive takes.

#include "window/form1.h"

#include "archive/archive_politeness.h"
#include "archive/archive_request_policy.h"
#include "archive/list_page_index.h"
#include "archive/raw_page_links.h"
#include "archive/wayback_address.h"
#include "platform/message_box.h"
#include "platform/page_downloads.h"
#include "platform/quit_request.h"
#include "platform/text.h"
#include "window/waiting_caption.h"

namespace {

std::u16string index_in_part_text(std::size_t parts) {
    return u"无法完整读取网页时光机的索引：已读取" +
           platform::decimal(static_cast<long long>(parts)) + u"部分，其余部分里的文章可能没有列出";
}

} // namespace

bool Form1::archive_stopped(const archive::ArchiveRequestPolicy* politeness) {
    if (politeness && politeness->blocked()) {
        platform::MsgBox(archive::BlockedMessage);
        return true;
    }
    if (politeness && politeness->unreachable()) {
        platform::MsgBox(archive::UnreachableMessage);
        return true;
    }
    return false;
}

void Form1::show_archived_page(const std::u16string& raw_address,
                               archive::ArchiveRequestPolicy& politeness,
                               window::WaitingCaption& caption) {
    const platform::DownloadResult page =
        window::download_one(platform::utf16_to_utf8(raw_address), &politeness, caption);
    if (page.body && page.status == 200 && !platform::quit_requested()) {
        WebBrowser1.show_downloaded(*page.body, page.content_type,
                                    platform::utf8_to_utf16(page.address));
    }
}

bool Form1::show_raw_capture(const std::u16string& address) {
    const std::optional<archive::ArchivedAddress> archived =
        archive::parse_archived_address(address);
    if (!archived) {
        return false;
    }
    archive::ArchiveRequestPolicy& politeness =
        m_archive_policies.for_run(platform::utf16_to_utf8(archived->archive));
    window::WaitingCaption caption(Command1, &politeness,
                                   platform::utf8_to_utf16(Command1.get_label().raw()));
    show_archived_page(archive::capture_address(archived->archive, archived->timestamp, u"id_",
                                                archived->original),
                       politeness, caption);
    if (m_busy == 0) {
        // A harvest under way says so itself.
        archive_stopped(&politeness);
    }
    return true;
}

void Form1::follow_from_raw_page(const std::u16string& address) {
    const std::vector<std::u16string> mapped =
        archive::links_of_raw_capture({address}, WebBrowser1.current_address());
    if (!mapped.empty()) {
        show_raw_capture(mapped.front());
    }
}

std::optional<std::string> Form1::fetch_from_archive(const std::u16string& address,
                                                     archive::ArchiveRequestPolicy& politeness,
                                                     window::WaitingCaption& caption) {
    platform::DownloadResult result =
        window::download_one(platform::utf16_to_utf8(address), &politeness, caption);
    if (result.body && result.status == 200) {
        return std::move(result.body);
    }
    return std::nullopt;
}

std::vector<archive::CaptureEntry>
Form1::read_capture_index(const archive::WaybackBlog& blog,
                          archive::ArchiveRequestPolicy& politeness,
                          window::WaitingCaption& caption, bool& whole, std::size_t& parts) {
    archive::CaptureIndexReader reader(blog);
    while (const std::optional<std::u16string> query = reader.next_query()) {
        const std::optional<std::string> body = fetch_from_archive(*query, politeness, caption);
        if (platform::quit_requested() || !body || !reader.take(*body)) {
            break;
        }
    }
    whole = reader.complete();
    parts = reader.parts_read();
    return reader.entries();
}

std::vector<long long> Form1::captured_list_pages_after(const archive::WaybackBlog& blog,
                                                        std::u16string_view user, long long walked,
                                                        archive::ArchiveRequestPolicy& politeness,
                                                        window::WaitingCaption& caption) {
    constexpr std::size_t most_pages = 1000;
    const std::optional<std::string> body = fetch_from_archive(
        archive::list_pages_query(blog.archive, user, most_pages), politeness, caption);
    if (!body || platform::quit_requested()) {
        return {};
    }
    return archive::captured_list_pages_after(user, walked,
                                              archive::parse_capture_index(*body).entries);
}

void Form1::add_posts_from_capture_index(const archive::WaybackBlog& blog,
                                         archive::ArchiveRequestPolicy& politeness,
                                         window::WaitingCaption& caption) {
    bool whole = false;
    std::size_t parts = 0;
    const std::vector<archive::CaptureEntry> index =
        read_capture_index(blog, politeness, caption, whole, parts);
    if (platform::quit_requested()) {
        return;
    }
    add_collected_links(archive::posts_missing_from_list(blog, list1_items(), index));
    if (whole) {
        m_captures_blog = blog.blog;
        m_captures.emplace(index);
    }
    if (!archive_stopped(&politeness) && !whole) {
        platform::MsgBox(index_in_part_text(parts));
    }
}

std::optional<std::vector<std::u16string>> Form1::archive_download_addresses(
    const archive::BlogRoute& route, archive::ArchiveRequestPolicy& politeness,
    window::WaitingCaption& caption, const std::vector<std::u16string>& posts) {
    const archive::WaybackBlog& blog = *route.wayback();
    if (!m_captures || m_captures_blog != blog.blog) {
        // A list gathered by hand, or for another blog: each post's own capture is looked up
        // again. Without the index, posts are asked for at their links' timestamps.
        bool whole = false;
        std::size_t parts = 0;
        const std::vector<archive::CaptureEntry> index =
            read_capture_index(blog, politeness, caption, whole, parts);
        if (politeness.blocked() || politeness.unreachable()) {
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
