#pragma once

#include <optional>
#include <string_view>

namespace blog {

// The index of the blog's last list page, read from the pager of its first list page:
//
//   <a href="/someone/blog/index/1">[下一页]</a> <a href="/someone/blog/index/12">[尾页]</a>
//
// gives 12. The number is whatever follows "index/" in the text from "[下一页]" up to the two
// characters before "[尾页]" (the closing quote and ">"). Nothing when either link is missing or
// the number cannot be read; the blog then counts as one list page.
std::optional<int> LastPageIndexFrom(std::u16string_view firstPage);

// A first list page of the older layout: it has that pager or a post link ("/blog/item/").
bool IsOldLayoutListPage(std::u16string_view firstPage);

} // namespace blog
