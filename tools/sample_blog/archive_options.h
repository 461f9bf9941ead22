#pragma once
// What the stand-in archive holds of each sample blog and how it treats its callers.

#include <map>
#include <set>
#include <string>

namespace sample_blog {

// What a request to the archive asks for: a replayed page (/web/TS/...), a raw capture
// (/web/TSid_/...), a raw picture (/web/TSim_/...) or the capture index (/cdx/search/cdx).
enum class ArchiveRequestKind { replay, raw, image, index, other };

struct ArchiveOptions {
    bool enabled = false;
    // The default scenario's gaps on top of the options below: list page 1 never captured, the
    // last post of list page 0 missing from its capture, and the "blog closed" notice of every
    // post n > last list page + 1 with n % 4 == 1 captured soon after the list pages. Also the
    // first index query and the first raw capture answer 429.
    bool gaps = true;
    std::set<int> missing_list_pages;       // /blog/index/K never captured
    std::set<int> index_only_posts;         // left out of every captured page of the blog
    std::set<int> uncaptured_posts;         // never captured, though pages link to them
    std::set<int> closed_posts;             // "blog closed" captured soon after the list pages
    std::set<std::u16string> unknown_users; // blogs the archive never captured at all
    int too_many_every = 0;                 // every Nth archive request answers 429
    std::map<ArchiveRequestKind, int> too_many_first; // the first N of a kind answer 429
    std::map<ArchiveRequestKind, int> busy_first;     // the first N of a kind answer 503
    int retry_after_seconds = 2;                      // 0: no Retry-After header
    bool block_impatient = true; // a request within a 429's Retry-After: refuse everything after
    // Also linked, by a root-relative address, from the capture of the next list page, which was
    // made at another time: one post under two timestamps.
    std::set<int> repeated_posts;
    int silent_after_index = -1; // once N index requests came, every request gets no answer
    int index_fails_after = -1;  // index requests after the first N answer 400
    int index_part_rows = 0;     // an index answer holds at most N rows, whatever the limit
    // The newer layout's home was captured in a theme without a pager: only the index tells of
    // its other list pages.
    bool pagerless_home = false;
};

} // namespace sample_blog
