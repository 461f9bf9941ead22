#pragma once
// When the stand-in archive captured each page of a sample blog, and what it captured. Every
// blog the service serves has the same shape of history:
//   2010-05 .. 2011-06  each post, oldest first (every third under "http://hi.baidu.com:80/...")
//   2012-02-20 / -21    the home page "/u" and the first list page "/u/blog"
//   2012-03             the list pages "/u/blog/index/K", page 0 under the ":80" address
//   2012-04-10          "blog closed" notices, answering 200, of the closed posts
//   2015-06             "blog closed" notices of every other page
// Gaps (ArchiveOptions) leave captures out, or posts out of the captured pages.
//
// A blog of the newer layout (new_layout_blog.h: users "nl…") was captured only after the move:
//   2013-04             each post "/u/item/ID", every third under the ":80" address
//   2013-05-0K          list page K "/u?page=K", and the home "/u" as list page 1
// and its newest post is missing from every captured list page (it is in the index only).
// A mixed blog (users "mx…") has the older layout's history above and the newer one's besides:
// its home's 2013 capture is of the newer layout.

#include "tools/sample_blog/archive_address.h"
#include "tools/sample_blog/archive_options.h"
#include "tools/sample_blog/blog_model.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sample_blog {

struct Capture {
    std::int64_t time = 0;
    std::string original;    // the address as the crawler saw it
    bool notice = false;     // the "blog closed" page instead of the blog's own
    bool new_layout = false; // the page in the newer layout (sent in UTF-8)
};

// One page of a blog that the archive may hold.
struct ArchivedPage {
    enum class Kind { home, first_list, list, post, new_list, new_post };
    SampleBlog blog;
    Kind kind = Kind::home;
    int number = 0; // list page index or post number
};

class ArchiveSchedule {
public:
    ArchiveSchedule(const ArchiveOptions& archive, const BlogOptions& blog);

    // The blog page at a hi.baidu.com address, whether captured or not.
    std::optional<ArchivedPage> page_at(const WebAddress& address) const;
    // Its captures, earliest first; empty when never captured.
    std::vector<Capture> captures_of(const ArchivedPage& page) const;
    // The page as captured, as the blog served it.
    std::u16string content(const ArchivedPage& page, const Capture& capture) const;
    // Every page of the user's blog that has a capture, in no particular order.
    std::vector<ArchivedPage> pages_of(const std::u16string& user) const;

private:
    std::set<int> missing_list_pages(const SampleBlog& blog) const;
    std::set<int> index_only_posts(const SampleBlog& blog) const;
    bool closed(const SampleBlog& blog, int number) const;

    ArchiveOptions m_archive;
    BlogOptions m_blog;
};

// What the archive shows of a page after the blog closed.
std::u16string blog_closed_page();

} // namespace sample_blog
