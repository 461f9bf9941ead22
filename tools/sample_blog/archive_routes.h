#pragma once
// The stand-in for the Internet Archive's Wayback Machine, in archive mode, for requests whose
// target names the host web.archive.org (proxy form: "http://web.archive.org/web/2012/..."):
//   /web/TS/URL      the capture of URL nearest to TS: a 302 to its 14-digit timestamp unless
//                    TS is exactly that, else the page with a toolbar and script injected and
//                    its links rewritten to /web/TS/..., pictures to /web/TSim_/...
//   /web/TSid_/URL   the capture as the blog served it; im_, js_ and cs_ likewise
//   /cdx/search/cdx  the capture index (archive_index.h)
// An address never captured answers 404.

#include "tools/sample_blog/archive_schedule.h"
#include "tools/sample_blog/archive_traffic.h"
#include "tools/sample_blog/routes.h"

#include <optional>
#include <string_view>

namespace sample_blog {

// The kind of an archive request; nothing when the target is not for the archive's host.
std::optional<ArchiveRequestKind> archive_request_kind(std::string_view target);

// `target` is the raw request target, still percent-encoded.
Reply archive_answer(std::string_view target, ArchiveTraffic::Verdict verdict,
                     const ServiceOptions& options, const ArchiveSchedule& schedule);

} // namespace sample_blog
