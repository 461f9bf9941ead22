#include "tools/sample_blog/blog_model.h"
#include "platform/text.h"
#include "tools/sample_blog/export_trials.h"
#include "tools/sample_blog/hostile_post.h"

#include <algorithm>
#include <cstdint>
#include <stdexcept>

namespace sample_blog {
namespace {

// "默认分类" in GBK, percent-encoded, as the service wrote its category addresses.
constexpr std::u16string_view default_category = u"%C4%AC%C8%CF%B7%D6%C0%E0";
constexpr int home_page_posts = 3;

// FNV-1a, then MurmurHash3's finaliser so that neighbouring posts get unlike ids; stable across
// runs and platforms, unlike std::hash.
std::uint64_t id_hash(std::string_view bytes) {
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (const char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ULL;
    }
    hash ^= hash >> 33;
    hash *= 0xff51afd7ed558ccdULL;
    hash ^= hash >> 33;
    hash *= 0xc4ceb9fe1a85ec53ULL;
    hash ^= hash >> 33;
    return hash;
}

std::u16string hex16(std::uint64_t value) {
    constexpr std::u16string_view digits = u"0123456789abcdef";
    std::u16string out(16, u'0');
    for (int i = 15; i >= 0; --i, value >>= 4) {
        out[i] = digits[value & 0xF];
    }
    return out;
}

} // namespace

SampleBlog::SampleBlog(std::u16string user, BlogOptions options)
    : m_user(std::move(user)), m_options(options) {
    if (options.posts < 0 || options.per_page < 1) {
        throw std::invalid_argument(
            "a blog needs a post count of 0 or more and 1 or more per page");
    }
}

int SampleBlog::last_page_index() const {
    if (m_options.posts <= 0) {
        return 0;
    }
    return (m_options.posts - 1) / m_options.per_page;
}

std::vector<int> SampleBlog::posts_on_page(int k) const {
    std::vector<int> numbers;
    if (k < 0) {
        return numbers;
    }
    const long long first = static_cast<long long>(k) * m_options.per_page + 1;
    const long long last = std::min<long long>(first + m_options.per_page - 1, m_options.posts);
    for (long long n = first; n <= last; ++n) {
        numbers.push_back(static_cast<int>(n));
    }
    return numbers;
}

std::u16string SampleBlog::post_id(int number) const {
    return hex16(id_hash(platform::utf16_to_utf8(m_user + u"/" + platform::decimal(number))));
}

std::optional<int> SampleBlog::post_number(std::u16string_view id) const {
    for (int n = 1; n <= m_options.posts; ++n) {
        if (post_id(n) == id) {
            return n;
        }
    }
    return std::nullopt;
}

std::u16string SampleBlog::blog_path() const {
    return u"/" + m_user + u"/blog";
}

std::u16string SampleBlog::post_path(int number) const {
    return blog_path() + u"/item/" + post_id(number) + u".html";
}

std::u16string SampleBlog::post_address(int number) const {
    return absolute_address(post_path(number));
}

std::u16string SampleBlog::list_page_address(int k) const {
    return absolute_address(blog_path() + u"/index/" + platform::decimal(k));
}

std::u16string SampleBlog::page_title(int number) const {
    return m_options.export_trials ? trial_title(number) : post_title(number);
}

// The words of post `number`, as the options make them.
std::u16string SampleBlog::content(int number) const {
    if (m_options.export_trials) {
        return trial_content(number, post_path(number == 1 ? 2 : 1));
    }
    return m_options.hostile ? hostile_content(number) : post_content(number);
}

std::u16string SampleBlog::post_body(int number) const {
    const std::u16string date =
        m_options.export_trials ? u"<div class=\"date\">" + trial_date_line(number) + u"</div>\r\n"
                                : std::u16string();
    return u"</div>\r\n" + date + u"<div id=\"blog_text\" class=\"cnt\">\r\n" + content(number) +
           (m_options.pictures ? picture_content(number) : std::u16string()) +
           u"</div>\r\n<div class=\"opt\">" + (category_in_link(number) ? category_link() : u"");
}

bool SampleBlog::category_in_link(int number) const {
    return !m_options.export_trials || number % 2 == 1;
}

std::u16string SampleBlog::category_link() const {
    return u"<a href=\"" + blog_path() + u"/category/" + std::u16string(default_category) + u"\">";
}

SampleBlog SampleBlog::friend_blog() const {
    return SampleBlog(m_user + u"friend", m_options);
}

void SampleBlog::write_head(PageBuilder& page, std::u16string_view title) const {
    page.html(u"<html>\r\n<head>\r\n<meta http-equiv=\"Content-Type\" content=\"text/html; "
              u"charset=gbk\">\r\n<title>");
    page.html(title);
    page.html(u"_百度空间</title>\r\n</head>\r\n<body>\r\n");
}

void SampleBlog::write_greeting(PageBuilder& page) const {
    if (m_options.greeting) {
        page.html(greeting_script());
    }
}

void SampleBlog::write_nav(PageBuilder& page) const {
    page.html(u"<div id=\"nav\">");
    page.link(u"/", u"百度空间");
    page.html(u" | ");
    page.link(u"/" + m_user, m_user + u"的空间");
    page.html(u" | ");
    page.link(blog_path(), u"博客");
    page.html(u" | ");
    page.link(std::u16string(k_service_base) + u"sys/checkuser/" + m_user + u"/3", u"加为好友");
    page.html(u"</div>\r\n");
}

void SampleBlog::write_post_entry(PageBuilder& page, int number) const {
    const std::u16string path = post_path(number);
    page.html(u"<div class=\"item\"><div class=\"tit\">");
    page.link(path, post_title(number), LinkRole::post);
    page.html(u"</div>\r\n<div class=\"opt\">");
    page.link(path + u"#comment", u"评论(0)");
    page.html(u" | ");
    page.link(path + u"?cmd=send", u"推荐给好友");
    page.html(u" | ");
    page.link(path, u"阅读全文", LinkRole::post);
    page.html(u"</div></div>\r\n");
}

void SampleBlog::write_pager(PageBuilder& page, int k) const {
    const std::u16string index = blog_path() + u"/index/";
    const int last = last_page_index();
    page.html(u"<div class=\"pager\">");
    if (k > 0) {
        page.link(index + u"0", u"[首页]");
        page.html(u" ");
        page.link(index + platform::decimal(k - 1), u"[上一页]");
        page.html(u" ");
    }
    if (k < last) {
        const std::u16string next = index + platform::decimal(k + 1);
        const std::u16string tail = index + platform::decimal(last);
        switch (m_options.pager) {
        case PagerVariant::normal:
            page.link(next, u"[下一页]");
            page.html(u" ");
            page.link(tail, u"[尾页]");
            break;
        case PagerVariant::missing_last:
            page.link(next, u"[下一页]");
            break;
        case PagerVariant::missing_next:
            page.link(next, u"下一页");
            page.html(u" ");
            page.link(tail, u"[尾页]");
            break;
        case PagerVariant::reversed:
            page.link(tail, u"[尾页]");
            page.html(u" ");
            page.link(next, u"[下一页]");
            break;
        case PagerVariant::no_number:
            page.link(next, u"[下一页]");
            page.html(u" ");
            page.link(index, u"[尾页]");
            break;
        }
    }
    page.html(u"</div>\r\n");
}

Page SampleBlog::list_page(int k) const {
    PageBuilder page;
    write_head(page, m_user + u"的空间");
    write_greeting(page);
    write_nav(page);
    // The word "index" turns up before the pager, as on the real pages.
    page.html(u"<div id=\"side\">");
    page.link(blog_path() + u"/index/0", u"全部文章");
    page.html(u"</div>\r\n<div id=\"list\">\r\n");
    for (const int n : posts_on_page(k)) {
        write_post_entry(page, n);
    }
    page.html(u"</div>\r\n");
    const SampleBlog friend_of_user = friend_blog();
    if (k + 1 <= friend_of_user.post_count()) {
        page.html(u"<div id=\"friend\">好友的新文章：");
        page.link(friend_of_user.post_path(k + 1), post_title(k + 1), LinkRole::post);
        page.html(u"</div>\r\n");
    }
    write_pager(page, k);
    page.html(u"</body>\r\n</html>\r\n");
    return std::move(page).finish();
}

Page SampleBlog::post_page(int number) const {
    const std::u16string path = post_path(number);
    PageBuilder page;
    write_head(page, page_title(number));
    write_nav(page);
    page.html(u"<div id=\"main\">\r\n<div class=\"tit\">查看文章");
    page.html(post_body(number));
    page.record_link(blog_path() + u"/category/" + std::u16string(default_category));
    if (m_options.export_trials) {
        // Even trials: the other layout, the label and then the category as a link.
        page.html(u"类别：" + (category_in_link(number) ? u"" : category_link()) +
                  trial_category(number) + u"</a> | ");
        page.html(trial_tags_markup(number));
        page.html(u" | ");
    } else {
        page.html(u"类别：默认分类</a> | ");
    }
    page.link(path + u"#comment", u"评论(0)");
    page.html(u" | ");
    page.link(path + u"?cmd=send", u"推荐给好友");
    page.html(u"</div>\r\n");
    const int neighbour = number < post_count() ? number + 1 : number - 1;
    if (neighbour >= 1) {
        page.html(u"<div class=\"nav\">");
        page.link(post_path(neighbour), u"上一篇：" + post_title(neighbour), LinkRole::post);
        page.html(u"</div>\r\n");
    }
    page.html(u"</div>\r\n</body>\r\n</html>\r\n");
    return std::move(page).finish();
}

Page SampleBlog::home_page() const {
    PageBuilder page;
    write_head(page, m_user + u"的空间");
    write_greeting(page);
    write_nav(page);
    page.html(u"<div id=\"recent\">最新日志：<ul>\r\n");
    for (int n = 1; n <= std::min(home_page_posts, post_count()); ++n) {
        page.html(u"<li>");
        page.link(post_path(n), post_title(n), LinkRole::post);
        page.html(u" ");
        page.link(post_path(n) + u"#comment", u"评论");
        page.html(u"</li>\r\n");
    }
    page.html(u"</ul>");
    page.link(blog_path(), u"更多日志>>");
    page.html(u"</div>\r\n</body>\r\n</html>\r\n");
    return std::move(page).finish();
}

std::u16string utf8_sample_page() {
    return u"<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">"
           u"<title>UTF-8</title></head>\r\n<body><p>" +
           std::u16string(k_utf8_sample_text) + u"</p></body></html>\r\n";
}

std::u16string not_found_page() {
    return u"<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gbk\">"
           u"<title>百度空间 页面不存在</title></head>\r\n<body><h1>404</h1><p>" +
           std::u16string(k_not_found_text) + u"</p></body></html>\r\n";
}

} // namespace sample_blog
