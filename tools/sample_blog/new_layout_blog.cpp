#include "tools/sample_blog/new_layout_blog.h"

#include "platform/text.h"
#include "tools/sample_blog/blog_model.h"

#include <algorithm>

namespace sample_blog {
namespace {

std::u16string number_text(long long n) {
    return platform::decimal(n);
}

std::u16string two_digits(int n) {
    return (n < 10 ? u"0" : u"") + number_text(n);
}

} // namespace

NewLayoutBlog::NewLayoutBlog(std::u16string user, int posts, int per_page)
    : m_user(std::move(user)), m_old_posts(std::max(posts, 0)),
      m_first(is_mixed_user(m_user) ? 2 : 1),
      m_last(is_mixed_user(m_user) ? m_old_posts + 2 : m_old_posts),
      m_per_page(std::max(per_page, 1)) {}

bool NewLayoutBlog::is_new_layout_user(std::u16string_view user) {
    return user.starts_with(k_new_layout_prefix);
}

bool NewLayoutBlog::is_mixed_user(std::u16string_view user) {
    return user.starts_with(k_mixed_prefix);
}

bool NewLayoutBlog::migrated(int number) const {
    return is_mixed_user(m_user) && number <= m_old_posts;
}

int NewLayoutBlog::page_count() const {
    const int shown = std::max(m_last - m_first + 1, 0);
    return std::max(1, (shown + m_per_page - 1) / m_per_page);
}

std::vector<int> NewLayoutBlog::posts_on_page(int k) const {
    std::vector<int> posts;
    for (int n = m_last - (k - 1) * m_per_page;
         n > m_last - k * m_per_page && n >= m_first && k >= 1; --n) {
        posts.push_back(n);
    }
    return posts;
}

std::u16string NewLayoutBlog::post_id(int number) const {
    // Fixed for the user and number: the user's length and the number, spread over 24 digits.
    static constexpr char16_t digits[] = u"0123456789abcdef";
    std::u16string id = u"5a0c";
    unsigned value = static_cast<unsigned>(number) * 2654435761u + m_user.size();
    while (id.size() < 18) {
        id += digits[value & 0xF];
        value = value * 1103515245u + 12345u;
    }
    for (int shift = 20; shift >= 0; shift -= 4) {
        id += digits[(number >> shift) & 0xF];
    }
    return id;
}

std::optional<int> NewLayoutBlog::post_number(std::u16string_view id) const {
    for (int n = m_first; n <= m_last; ++n) {
        if (post_id(n) == id) {
            return n;
        }
    }
    return std::nullopt;
}

std::u16string NewLayoutBlog::post_address(int number) const {
    return u"http://hi.baidu.com/" + m_user + u"/item/" + post_id(number);
}

std::u16string NewLayoutBlog::title(int number) const {
    if (migrated(number)) {
        return SampleBlog(m_user, {.posts = m_old_posts, .export_trials = true}).page_title(number);
    }
    return u"新版 文章" + number_text(number);
}

std::u16string NewLayoutBlog::body(int number) const {
    return u"\r\n<p>新版正文" + number_text(number) +
           u"，“引号” 与 &amp; 。</p>\r\n<div class=\"quote\"><div>嵌套</div></div>\r\n"
           u"<!-- </div> 注释 --><script>var s = '</div>';</script><p>完</p>\r\n";
}

std::optional<std::u16string> NewLayoutBlog::date(int number) const {
    if (migrated(number)) {
        // The old post's date: with its time where the old page showed one (export_trials.h),
        // at noon where it showed only the day.
        const int day = number % 28 + 1;
        switch (number % 6) {
        case 5:
            return u"2009-06-" + two_digits(day) + u" 08:30";
        case 1:
        case 4:
            return u"2009-05-" + two_digits(day) + u" 12:00";
        default:
            return u"2009-05-" + two_digits(day) + u" 21:00";
        }
    }
    if (number % 5 == 0) {
        return std::nullopt;
    }
    return u"2013-" + two_digits(1 + number % 12) + u"-" + two_digits(1 + number % 28) + u" " +
           two_digits(number % 24) + u":" + two_digits((number * 7) % 60);
}

std::vector<std::u16string> NewLayoutBlog::tags(int number) const {
    if (number % 4 == 0) {
        return {};
    }
    return {u"标签" + number_text(number % 3), u"新版"};
}

std::u16string NewLayoutBlog::list_page(int k) const {
    std::u16string page = u"<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + m_user +
                          u"的空间_百度空间</title></head>\n<body><div class=\"mod-page-body\">\n";
    for (const int n : posts_on_page(k)) {
        // Two themes of entry.
        page += n % 2 == 0 ? u"<article class=\"mod-blogitem mod-item-text\">"
                           : u"<div class=\"mod-cs-contentblock mod-realcontent\">";
        page += u"<a href=\"/" + m_user + u"/item/" + post_id(n) +
                u"\" class=\"a-incontent a-title\">" + title(n) + u"</a>";
        page += n % 2 == 0 ? u"</article>\n" : u"</div>\n";
    }
    if (!posts_on_page(k).empty()) {
        page += u"<a href=\"/" + m_user + u"/item/" + post_id(posts_on_page(k).back()) +
                u"#comment\">评论</a>\n";
    }
    if (page_count() > 1) {
        page += u"<div id=\"pagerBar\"><div class=\"pager\">";
        if (k < page_count()) {
            page += u"<a class=\"next\" href=\"/" + m_user + u"?page=" + number_text(k + 1) +
                    u"\">下一页</a>";
        }
        page += u"<script>var curPage = " + number_text(k) + u", pageSize = " +
                number_text(page_count()) + u";</script></div></div>\n";
    }
    return page + u"</div></body></html>\n";
}

std::u16string NewLayoutBlog::post_page(int number) const {
    static constexpr std::u16string_view themes[] = {
        u"content mod-cs-content text-content clearfix",
        u"clearfix text-content  content\tmod-cs-content",
        u"content mod-cs-content",
    };
    std::u16string page = u"<!DOCTYPE html>\r\n<html><head><meta charset=\"utf-8\">\r\n<title>" +
                          title(number) + u"_" + m_user +
                          u"的空间_百度空间</title></head>\r\n"
                          u"<body><div class=\"mod-blogpage-wraper\">\r\n";
    page += u"<div class=\"content-other-info\">";
    if (const auto shown = date(number)) {
        page += u"\r\n  <span>" + *shown + u"</span>";
    }
    page += u" <span class=\"pv\">浏览(3)</span></div>\r\n";
    page +=
        number % 2 ? u"<h2 class=\"title content-title\">" : u"<h2 class=\"content-title title\">";
    page += title(number) + u"</h2>\r\n";
    page += u"<div id=\"content\" class=\"" + std::u16string(themes[number % 3]) + u"\">" +
            body(number) + u"</div>\r\n<div class=\"mod-tagbox\">";
    for (const std::u16string& tag : tags(number)) {
        page += u"<a class=\"tag\" href=\"http://hi.baidu.com/tag/" + tag + u"/feeds\">#" + tag +
                u"</a> ";
    }
    page += u"</div>\r\n";
    if (number > m_first) {
        page += u"<a href=\"/" + m_user + u"/item/" + post_id(number - 1) +
                u"\" title=\"上一篇\">上一篇</a>";
    }
    return page + u"<div id=\"comments\"></div></div></body></html>\r\n";
}

} // namespace sample_blog
