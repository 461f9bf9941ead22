#include "blog/post_page.h"

#include "blog/post_cut.h"
#include "blog/post_file.h"
#include "platform/codepage.h"
#include "utilities/modcut.h"

namespace blog {
namespace {

PostCut old_cut(std::u16string_view text) {
    const PostPieces pieces = CutPost(text);
    PostCut cut;
    cut.layout = pieces.has_body ? PostLayout::old_layout : PostLayout::none;
    cut.file_title = pieces.title;
    cut.title = modcut::CutBetween(text, u"<title>", u"_");
    // The body is a view into the text, or an empty view that may point anywhere.
    if (!pieces.body.empty()) {
        cut.body_begin = static_cast<std::size_t>(pieces.body.data() - text.data());
        cut.body_end = cut.body_begin + pieces.body.size();
    }
    return cut;
}

PostCut new_cut(NewLayoutPost post) {
    PostCut cut;
    cut.layout = PostLayout::new_layout;
    cut.file_title = RemoveBlanks(post.title);
    cut.title = std::move(post.title);
    cut.body_begin = post.body_begin;
    cut.body_end = post.body_end;
    cut.date = post.date;
    cut.tags = std::move(post.tags);
    return cut;
}

} // namespace

PostCut CutPostText(std::u16string_view text) {
    PostCut cut = old_cut(text);
    if (!cut.has_body()) {
        if (std::optional<NewLayoutPost> post = CutNewLayoutPost(text)) {
            cut = new_cut(std::move(*post));
        }
    }
    return cut;
}

PostPage ReadPostPage(std::string_view bytes, std::string_view content_type) {
    PostPage page{platform::decode_gbk(bytes), {}};
    page.cut = old_cut(page.text);
    if (page.cut.has_body()) {
        return page;
    }
    std::u16string declared = DecodeNewLayoutPage(bytes, content_type);
    if (std::optional<NewLayoutPost> post = CutNewLayoutPost(declared)) {
        return {std::move(declared), new_cut(std::move(*post))};
    }
    return page;
}

} // namespace blog
