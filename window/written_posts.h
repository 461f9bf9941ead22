#pragma once
// The posts a save has written so far, for the rule of one post in two layouts: a post already
// written in the other layout is not written again. A resumed save starts from the summaries the
// interrupted one kept.

#include "blog/post_cut.h"
#include "blog/two_layouts.h"
#include "offline/post_facts.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace window {

class WrittenPosts {
public:
    // A post written before the save was interrupted, by the title and facts its summary kept.
    void add(std::size_t number, std::u16string title, const offline::PostFacts& facts);
    // Whether the post on `page` repeats one written; when it does not, it counts as written.
    bool repeats(std::size_t number, std::u16string_view page, const blog::PostCut& cut);

private:
    std::vector<blog::WrittenPost> m_posts;
};

} // namespace window
