#pragma once
// A blog in the layout the service used from 2012 until it closed, for user names that start
// with "nl": its home /u and list pages /u?page=N (from 1), and posts /u/item/<24 hex digits>,
// served in UTF-8. The themes vary from post to post: the order and number of the body's
// classes, white space, a post without a date (every fifth), a post without tags (every
// fourth). Post n's body holds CR LF, nested divs, and "</div>" in a comment and a script.
//
// A user name that starts with "mx" has a mixed blog: the older layout's blog of `posts` posts
// (blog_model.h, with the export trials' dates) moved to this layout in 2012. Here post 1 is
// gone (deleted before the move), posts 2 to `posts` are the old ones under new addresses with
// the same title and date, and posts posts + 1 and posts + 2 were written after the move.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sample_blog {

inline constexpr std::u16string_view k_new_layout_prefix = u"nl";
inline constexpr std::u16string_view k_mixed_prefix = u"mx";

class NewLayoutBlog {
public:
    NewLayoutBlog(std::u16string user, int posts, int per_page);

    static bool is_new_layout_user(std::u16string_view user);
    static bool is_mixed_user(std::u16string_view user);

    const std::u16string& user() const { return m_user; }

    int first_post() const { return m_first; }
    int last_post() const { return m_last; }
    int page_count() const;                      // at least 1
    std::vector<int> posts_on_page(int k) const; // k from 1, newest first

    std::u16string post_id(int number) const; // 24 lower-case hex digits
    std::optional<int> post_number(std::u16string_view id) const;
    std::u16string post_address(int number) const; // http://hi.baidu.com/u/item/ID

    std::u16string title(int number) const;
    // Exactly what stands between the body element's tags.
    std::u16string body(int number) const;
    // "2013-MM-DD HH:MM", or nothing for a post shown without a date.
    std::optional<std::u16string> date(int number) const;
    std::vector<std::u16string> tags(int number) const;

    std::u16string list_page(int k) const;
    std::u16string post_page(int number) const;

private:
    bool migrated(int number) const;

    std::u16string m_user;
    int m_old_posts;
    int m_first;
    int m_last;
    int m_per_page;
};

} // namespace sample_blog
