#include "tools/sample_blog/archive_schedule.h"
#include "platform/text.h"
#include "tools/sample_blog/new_layout_blog.h"

#include <algorithm>
#include <charconv>

namespace sample_blog {
namespace {

constexpr std::int64_t day_seconds = 86400;
const std::int64_t posts_from = seconds_at(2010, 5, 1);
constexpr std::int64_t posts_span = 400 * day_seconds;
const std::int64_t home_time = seconds_at(2012, 2, 20, 8, 30);
const std::int64_t first_list_time = seconds_at(2012, 2, 21, 10, 15);
const std::int64_t list_from = seconds_at(2012, 3, 1, 7, 2, 11);
constexpr std::int64_t list_span = 30 * day_seconds;
const std::int64_t early_notice = seconds_at(2012, 4, 10);
const std::int64_t late_notice = seconds_at(2015, 6, 1);
const std::int64_t new_posts_from = seconds_at(2013, 4, 1, 9, 0, 7);
const std::int64_t new_list_from = seconds_at(2013, 5, 1, 11, 20, 3);

NewLayoutBlog new_layout_of(const SampleBlog& blog) {
    return NewLayoutBlog(blog.user(), blog.post_count(), blog.per_page());
}

bool has_new_layout(const SampleBlog& blog) {
    return NewLayoutBlog::is_new_layout_user(blog.user()) ||
           NewLayoutBlog::is_mixed_user(blog.user());
}

std::vector<std::string> segments_of(std::string_view path) {
    std::vector<std::string> segments;
    while (path.starts_with('/')) {
        path.remove_prefix(1);
        const auto end = path.find('/');
        segments.push_back(percent_decode(path.substr(0, end)));
        path = end == std::string_view::npos ? std::string_view() : path.substr(end);
    }
    if (!segments.empty() && segments.back().empty()) {
        segments.pop_back();
    }
    return segments;
}

std::optional<int> list_index(std::string_view text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < 0) {
        return std::nullopt;
    }
    return value;
}

// "page=K" of a list page's query; nothing for any other query.
std::optional<int> page_query(std::string_view query) {
    constexpr std::string_view name = "page=";
    if (!query.starts_with(name)) {
        return std::nullopt;
    }
    const auto k = list_index(query.substr(name.size()));
    if (!k || *k < 1) {
        return std::nullopt;
    }
    return k;
}

std::string path_of(const ArchivedPage& page) {
    const std::string user = platform::utf16_to_utf8(page.blog.user());
    switch (page.kind) {
    case ArchivedPage::Kind::home:
        return "/" + user;
    case ArchivedPage::Kind::first_list:
        return "/" + user + "/blog";
    case ArchivedPage::Kind::list:
        return "/" + user + "/blog/index/" + std::to_string(page.number);
    case ArchivedPage::Kind::new_list:
        return "/" + user + (page.number == 1 ? "" : "?page=" + std::to_string(page.number));
    case ArchivedPage::Kind::new_post:
        return "/" + user + "/item/" +
               platform::utf16_to_utf8(new_layout_of(page.blog).post_id(page.number));
    case ArchivedPage::Kind::post:
        break;
    }
    return platform::utf16_to_utf8(page.blog.post_path(page.number));
}

// Drops every link to the post, as a capture made before the post was written would lack it.
void remove_links_to(std::u16string& html, const std::u16string& path) {
    const std::u16string start = u"<a href=\"" + path;
    for (auto at = html.find(start); at != std::u16string::npos; at = html.find(start, at)) {
        const auto end = html.find(u"</a>", at);
        if (end == std::u16string::npos) {
            return;
        }
        html.erase(at, end + 4 - at);
    }
}

// Drops the newer layout's pager, <div id="pagerBar">…</div></div>, as a theme without one.
void remove_pager(std::u16string& html) {
    constexpr std::u16string_view start = u"<div id=\"pagerBar\">";
    constexpr std::u16string_view end = u"</script></div></div>";
    const std::size_t at = html.find(start);
    const std::size_t last = html.find(end, at);
    if (at != std::u16string::npos && last != std::u16string::npos) {
        html.erase(at, last + end.size() - at);
    }
}

} // namespace

ArchiveSchedule::ArchiveSchedule(const ArchiveOptions& archive, const BlogOptions& blog)
    : m_archive(archive), m_blog(blog) {}

std::set<int> ArchiveSchedule::missing_list_pages(const SampleBlog& blog) const {
    std::set<int> pages = m_archive.missing_list_pages;
    if (m_archive.gaps && blog.last_page_index() >= 1) {
        pages.insert(1);
    }
    return pages;
}

std::set<int> ArchiveSchedule::index_only_posts(const SampleBlog& blog) const {
    std::set<int> posts = m_archive.index_only_posts;
    if (m_archive.gaps && !blog.posts_on_page(0).empty()) {
        posts.insert(blog.posts_on_page(0).back());
    }
    return posts;
}

bool ArchiveSchedule::closed(const SampleBlog& blog, int number) const {
    // Posts above last + 1 are never the friend post that list page `last` recommends, so a
    // blog's recommendations are not closed by default.
    return m_archive.closed_posts.contains(number) ||
           (m_archive.gaps && number > blog.last_page_index() + 1 && number % 4 == 1);
}

std::optional<ArchivedPage> ArchiveSchedule::page_at(const WebAddress& address) const {
    if (address.host != "hi.baidu.com" || address.port != 80) {
        return std::nullopt;
    }
    const auto segments = segments_of(address.path);
    if (segments.empty() || segments[0].empty()) {
        return std::nullopt;
    }
    ArchivedPage page{.blog = SampleBlog(platform::utf8_to_utf16(segments[0]), m_blog)};
    if (!address.query.empty()) {
        const auto k = segments.size() == 1 ? page_query(address.query) : std::nullopt;
        if (!k || !has_new_layout(page.blog) || *k > new_layout_of(page.blog).page_count()) {
            return std::nullopt;
        }
        page.kind = ArchivedPage::Kind::new_list;
        page.number = *k;
        return page;
    }
    if (segments.size() == 1) {
        return page;
    }
    if (segments.size() == 3 && segments[1] == "item" && has_new_layout(page.blog)) {
        const auto number =
            new_layout_of(page.blog).post_number(platform::utf8_to_utf16(segments[2]));
        if (!number) {
            return std::nullopt;
        }
        page.kind = ArchivedPage::Kind::new_post;
        page.number = *number;
        return page;
    }
    if (segments[1] != "blog" || segments.size() == 3 || segments.size() > 4) {
        return std::nullopt;
    }
    if (segments.size() == 2) {
        page.kind = ArchivedPage::Kind::first_list;
        return page;
    }
    if (segments[2] == "index") {
        const auto k = list_index(segments[3]);
        if (!k || *k > page.blog.last_page_index()) {
            return std::nullopt;
        }
        page.kind = ArchivedPage::Kind::list;
        page.number = *k;
        return page;
    }
    if (segments[2] == "item" && segments[3].ends_with(".html")) {
        const std::string id = segments[3].substr(0, segments[3].size() - 5);
        const auto number = page.blog.post_number(platform::utf8_to_utf16(id));
        if (!number) {
            return std::nullopt;
        }
        page.kind = ArchivedPage::Kind::post;
        page.number = *number;
        return page;
    }
    return std::nullopt;
}

std::vector<Capture> ArchiveSchedule::captures_of(const ArchivedPage& page) const {
    const std::string path = path_of(page);
    const std::string plain = "http://hi.baidu.com" + path;
    const std::string with_port = "http://hi.baidu.com:80" + path;
    const SampleBlog& blog = page.blog;
    std::vector<Capture> captures;
    if (m_archive.unknown_users.contains(blog.user())) {
        return captures;
    }
    const bool only_new = NewLayoutBlog::is_new_layout_user(blog.user());
    if (only_new && page.kind != ArchivedPage::Kind::home &&
        page.kind != ArchivedPage::Kind::new_list && page.kind != ArchivedPage::Kind::new_post) {
        return captures; // never captured in the older layout
    }
    switch (page.kind) {
    case ArchivedPage::Kind::home:
        if (only_new) {
            captures = {{new_list_from, plain, false, true}, {late_notice, plain, true}};
        } else if (has_new_layout(blog)) {
            captures = {{home_time, plain},
                        {new_list_from, plain, false, true},
                        {late_notice, plain, true}};
        } else {
            captures = {{home_time, plain}, {late_notice, plain, true}};
        }
        break;
    case ArchivedPage::Kind::new_list:
        captures = {{new_list_from + (page.number - 1) * day_seconds, plain, false, true},
                    {late_notice + 180 + page.number, plain, true}};
        break;
    case ArchivedPage::Kind::new_post: {
        const int n = page.number;
        captures = {{new_posts_from + n * 3600, n % 3 == 0 ? with_port : plain, false, true},
                    {late_notice + 2 * day_seconds + n * 60, plain, true}};
        break;
    }
    case ArchivedPage::Kind::first_list:
        captures = {{first_list_time, plain}, {late_notice + 60, plain, true}};
        break;
    case ArchivedPage::Kind::list:
        if (missing_list_pages(blog).contains(page.number)) {
            break;
        }
        captures = {{list_from + page.number * (list_span / (blog.last_page_index() + 1)),
                     page.number == 0 ? with_port : plain},
                    {late_notice + 120 + page.number, plain, true}};
        break;
    case ArchivedPage::Kind::post: {
        const int n = page.number;
        if (m_archive.uncaptured_posts.contains(n)) {
            break;
        }
        const int count = std::max(blog.post_count(), 1);
        const std::int64_t written = posts_from + (count - n) * (posts_span / count) + 1234 + n;
        const std::int64_t notice =
            (closed(blog, n) ? early_notice : late_notice + day_seconds) + n * 60;
        captures = {{written, n % 3 == 0 ? with_port : plain}, {notice, plain, true}};
        break;
    }
    }
    return captures;
}

std::u16string ArchiveSchedule::content(const ArchivedPage& page, const Capture& capture) const {
    if (capture.notice) {
        return blog_closed_page();
    }
    if (capture.new_layout) {
        const NewLayoutBlog blog = new_layout_of(page.blog);
        if (page.kind == ArchivedPage::Kind::new_post) {
            return blog.post_page(page.number);
        }
        // The newest post was written after the list pages were captured.
        std::u16string html =
            blog.list_page(page.kind == ArchivedPage::Kind::home ? 1 : page.number);
        remove_links_to(html, u"/" + blog.user() + u"/item/" + blog.post_id(blog.last_post()));
        if (page.kind == ArchivedPage::Kind::home && m_archive.pagerless_home) {
            remove_pager(html);
        }
        return html;
    }
    std::u16string html;
    switch (page.kind) {
    case ArchivedPage::Kind::home:
        html = page.blog.home_page().html;
        break;
    case ArchivedPage::Kind::new_list:
    case ArchivedPage::Kind::new_post:
        break;
    case ArchivedPage::Kind::first_list:
        html = page.blog.list_page(0).html;
        break;
    case ArchivedPage::Kind::list:
        html = page.blog.list_page(page.number).html;
        if (page.number > 0) {
            for (const int n : page.blog.posts_on_page(page.number - 1)) {
                if (m_archive.repeated_posts.contains(n)) {
                    const std::size_t end = html.rfind(u"</body>");
                    html.insert(end == std::u16string::npos ? html.size() : end,
                                u"<a href=\"" + page.blog.post_path(n) + u"\">又见</a>\r\n");
                }
            }
        }
        break;
    case ArchivedPage::Kind::post:
        return page.blog.post_page(page.number).html;
    }
    for (const int n : index_only_posts(page.blog)) {
        if (n >= 1 && n <= page.blog.post_count()) {
            remove_links_to(html, page.blog.post_path(n));
        }
    }
    return html;
}

std::vector<ArchivedPage> ArchiveSchedule::pages_of(const std::u16string& user) const {
    const SampleBlog blog(user, m_blog);
    std::vector<ArchivedPage> pages = {{blog, ArchivedPage::Kind::home},
                                       {blog, ArchivedPage::Kind::first_list}};
    for (int k = 0; k <= blog.last_page_index(); ++k) {
        pages.push_back({blog, ArchivedPage::Kind::list, k});
    }
    for (int n = 1; n <= blog.post_count(); ++n) {
        pages.push_back({blog, ArchivedPage::Kind::post, n});
    }
    if (has_new_layout(blog)) {
        const NewLayoutBlog new_blog = new_layout_of(blog);
        for (int k = 2; k <= new_blog.page_count(); ++k) {
            pages.push_back({blog, ArchivedPage::Kind::new_list, k});
        }
        for (int n = new_blog.first_post(); n <= new_blog.last_post(); ++n) {
            pages.push_back({blog, ArchivedPage::Kind::new_post, n});
        }
    }
    std::erase_if(pages, [this](const ArchivedPage& page) { return captures_of(page).empty(); });
    return pages;
}

std::u16string blog_closed_page() {
    return u"<html>\r\n<head>\r\n<meta http-equiv=\"Content-Type\" content=\"text/html; "
           u"charset=gbk\">\r\n<title>百度空间</title>\r\n</head>\r\n<body>\r\n<p>百度空间已停止"
           u"服务，感谢您多年来的支持。</p>\r\n</body>\r\n</html>\r\n";
}

} // namespace sample_blog
