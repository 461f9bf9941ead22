#pragma once
// The sample blog service's pages, generated from a user name and a few options: what
// tools/sample_blog serves, for tests to know the post ids, titles, bodies and links. Pages are
// UTF-16 here; the service sends them in GBK, except the UTF-8 sample page.
//
// Every user name has a blog. Its list pages are numbered from 0; page k holds posts
// k * per_page + 1 to (k + 1) * per_page, newest first as on the real service. Addresses in
// `Page::links` are exact for user names of ASCII letters and digits; a browser would
// percent-encode anything else. A user name containing "index" upsets the page count and one
// containing "send" hides every post link, as they would have on the real service.

#include "tools/sample_blog/page_builder.h"
#include "tools/sample_blog/post_text.h"

#include <optional>
#include <string>
#include <string_view>

namespace sample_blog {

inline constexpr std::u16string_view k_service_base = u"http://hi.baidu.com/";

// In /_sample/utf8, which is served in UTF-8 and declares charset=utf-8. Its UTF-8 bytes happen
// to be valid GBK too, so read as GBK they give clean mojibake with no U+FFFD in it.
inline constexpr std::u16string_view k_utf8_sample_text = u"欢迎光临我的空间，你好世界！";
// In every 404 page (/_sample/missing, unknown addresses, posts made missing).
inline constexpr std::u16string_view k_not_found_text = u"抱歉，您要访问的页面不存在。";

enum class PagerVariant {
    normal, // <a href="/u/blog/index/K+1">[下一页]</a> <a href="/u/blog/index/LAST">[尾页]</a>
    missing_last, // no "[尾页]" link
    missing_next, // the next link reads "下一页", without the brackets
    reversed,     // "[尾页]" comes before "[下一页]"
    no_number,    // the "[尾页]" link ends in "/blog/index/" with no number
};

struct BlogOptions {
    int posts = 25;
    int per_page = 10;
    PagerVariant pager = PagerVariant::normal;
    bool pictures = false; // bodies show pictures (blog_pictures.h), scripts and post links
    bool hostile = false;  // bodies are an attacker's (hostile_post.h)
    bool greeting = false; // the home and list pages greet with script dialogs (hostile_post.h)
    bool export_trials = false; // posts as export_trials.h makes them: dates, category, tags
};

class SampleBlog {
public:
    // std::invalid_argument for a negative post count or fewer than one post per page.
    explicit SampleBlog(std::u16string user, BlogOptions options = {});

    const std::u16string& user() const { return m_user; }
    int post_count() const { return m_options.posts; }
    int per_page() const { return m_options.per_page; }
    // The blog has list pages 0 to last_page_index(); an empty blog still has page 0.
    int last_page_index() const;
    // Post numbers on list page k, in page order; empty for a page that does not exist.
    std::vector<int> posts_on_page(int k) const;

    // Lower-case hex, 16 digits, fixed for a user name and post number.
    std::u16string post_id(int number) const;
    // The number of this blog's post with that id, if there is one.
    std::optional<int> post_number(std::u16string_view id) const;
    std::u16string post_path(int number) const;    // "/user/blog/item/ID.html"
    std::u16string post_address(int number) const; // k_service_base + "user/blog/item/ID.html"
    std::u16string list_page_address(int k) const; // k_service_base + "user/blog/index/K"

    // Exactly the text between "查看文章" and "类别" on the post's page.
    std::u16string post_body(int number) const;
    // The title as the post's page writes it: post_title(), or trial_title() for export trials.
    std::u16string page_title(int number) const;

    // List page k, with the pager on every page but the last: the post links, their
    // comment and send-to-a-friend noise, and one post of friend_blog(), post k + 1.
    Page list_page(int k) const;
    // Title "<title>" + post_title(n) + "_百度空间</title>"; links back to the blog, to the
    // next older post (or, for the oldest, the one before it) and to comment and send noise.
    Page post_page(int number) const;
    // The blog's home page "/user": links to its first three posts among others.
    Page home_page() const;

    // The blog whose posts the list pages recommend: user name + "friend", same options.
    SampleBlog friend_blog() const;

private:
    std::u16string blog_path() const; // "/user/blog"
    std::u16string content(int number) const;
    // What a body shows after its words when the blog has pictures.
    std::u16string picture_content(int number) const;
    // Whether the post's page carries its category inside the link after "类别：" (the old
    // layout: odd trial posts and every other post) or as a link after the label (even trials).
    bool category_in_link(int number) const;
    std::u16string category_link() const; // the start tag of the category's link
    void write_head(PageBuilder& page, std::u16string_view title) const;
    void write_nav(PageBuilder& page) const;
    void write_greeting(PageBuilder& page) const;
    void write_post_entry(PageBuilder& page, int number) const;
    void write_pager(PageBuilder& page, int k) const;

    std::u16string m_user;
    BlogOptions m_options;
};

// The page of /_sample/utf8 (sent as UTF-8) and the 404 page.
std::u16string utf8_sample_page();
std::u16string not_found_page();

} // namespace sample_blog
