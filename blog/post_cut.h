#pragma once
// A post's title and body, cut out of its page by the markers the blog service printed around them.

#include <string>
#include <string_view>

namespace blog {

struct PostPieces {
    std::u16string title;     // blanks already removed
    std::u16string_view body; // within the page
    bool has_body = false;    // "查看文章" and, after it, "类别" were found
};

// The title between "<title>" and "_", the body between "查看文章" and "类别". Without those
// markers (a deleted post, a login page) the cut still gives what it gives, but has_body is false.
// The page must outlive the pieces.
PostPieces CutPost(std::u16string_view page);

} // namespace blog
