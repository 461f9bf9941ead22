#include "blog/post_cut.h"

#include "blog/post_file.h"
#include "utilities/modcut.h"

namespace blog {

PostPieces CutPost(std::u16string_view page) {
    constexpr std::u16string_view body_start = u"查看文章";
    constexpr std::u16string_view body_end = u"类别";
    const std::size_t start = page.find(body_start);
    return {RemoveBlanks(modcut::CutBetween(page, u"<title>", u"_")),
            modcut::CutBetweenView(page, body_start, body_end),
            start != std::u16string_view::npos &&
                page.find(body_end, start + body_start.size()) != std::u16string_view::npos};
}

} // namespace blog
