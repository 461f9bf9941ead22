#pragma once
// A downloaded post page read by whichever of the blog's two layouts it is in: the older one's
// markers ("查看文章" … "类别") are sought first, in the page's GBK text, exactly as they always
// were; a page without them is read by the newer layout's markup; a page of neither holds no
// post body.

#include "blog/new_layout.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace blog {

enum class PostLayout { none, old_layout, new_layout };

// Where a post sits in its page's decoded text. Positions are UTF-16 units.
struct PostCut {
    PostLayout layout = PostLayout::none;
    // Old layout (and none): the text between "<title>" and "_", as the page has it (character
    // references not decoded). New layout: the heading's text, references decoded.
    std::u16string title;
    std::u16string file_title; // the title with its blanks removed, for the file name
    std::size_t body_begin = 0;
    std::size_t body_end = 0;
    std::optional<NewLayoutPost::Date> date; // new layout only; the old one's is in its body
    std::vector<std::u16string> tags;        // new layout only

    bool has_body() const { return layout != PostLayout::none; }
    std::u16string_view body_in(std::u16string_view text) const {
        return text.substr(body_begin, body_end - body_begin);
    }
};

// The cut of a page already decoded, by the older layout's markers, else the newer one's markup.
PostCut CutPostText(std::u16string_view text);

struct PostPage {
    std::u16string text; // decoded: GBK, or what a new-layout page declares
    PostCut cut;
    std::u16string_view body() const { return cut.body_in(text); }
};

// A page as downloaded, with its answer's Content-Type (empty when none). A page of the older
// layout or of neither is decoded as GBK, as it always was; one of the newer layout by the
// charset it declares.
PostPage ReadPostPage(std::string_view bytes, std::string_view content_type);

} // namespace blog
