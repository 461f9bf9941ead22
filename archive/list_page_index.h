#pragma once
// What the archive's index knows of the newer layout's list pages, /<user>?page=K: the walk
// reads the page count from the home's pager, and a capture of the home made before the blog
// grew (or a theme without a pager) would hide pages the archive holds.

#include "archive/capture_index.h"

#include <string>
#include <string_view>
#include <vector>

namespace archive {

// <archive>/cdx/search/cdx?url=hi.baidu.com/<user>%3Fpage%3D&matchType=prefix&output=json
//   &fl=timestamp,original,statuscode,mimetype&filter=statuscode:200&collapse=urlkey
//   &limit=<most>
// One row per captured list page (the first page is the home itself and has no query).
std::u16string list_pages_query(std::u16string_view archive, std::u16string_view user,
                                std::size_t most);

// The numbers above `walked` of the list pages of `user` that the index holds a status-200
// capture of, in ascending order, each once. Rows for other addresses, other users (the prefix
// also matches "?page=2x" or a user whose name goes on) and unreadable numbers are left out.
std::vector<long long> captured_list_pages_after(std::u16string_view user, long long walked,
                                                 const std::vector<CaptureEntry>& index);

} // namespace archive
