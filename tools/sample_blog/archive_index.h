#pragma once
// The stand-in archive's capture index, /cdx/search/cdx, for the sample blogs:
//   url=hi.baidu.com/u/blog/item/ (a trailing "*" means matchType=prefix)
//   matchType=exact|prefix (host and domain list the user's blog, as no other user is known)
//   output=json (else space-separated lines), fl=urlkey,timestamp,original,mimetype,statuscode,
//   digest,length (any subset, in any order), filter=[!]field:regex (several),
//   collapse=field[:N], limit=N (negative: the last N), showResumeKey=true, resumeKey=KEY,
//   page=N (gives an empty answer, as the real index does for prefix queries with collapse).
// Rows are sorted by urlkey, then timestamp.

#include "tools/sample_blog/archive_schedule.h"
#include "tools/sample_blog/routes.h"

#include <string_view>

namespace sample_blog {

// `query` is the raw query string, still percent-encoded. An answer holds at most `most_rows`
// rows (0: no limit of its own), with a resume key when rows remain.
Reply capture_index_answer(std::string_view query, const ArchiveSchedule& schedule,
                           std::size_t most_rows = 0);

} // namespace sample_blog
