#pragma once
// The save's steps after the post files, each on a worker thread while the window stays live:
// the browsable copy's pictures and pages, then the exports, both a body at a time from the
// bodies the spool kept.

#include "offline/body_spool.h"
#include "offline/copy_pages.h"
#include "window/save_pipeline.h"

#include <functional>
#include <optional>
#include <string_view>
#include <vector>

namespace window {

// The progress caption's count: "3/10".
std::u16string CountOf(std::size_t done, std::size_t total);

using ShowCaption = std::function<void(std::u16string_view full, std::u16string_view short_form)>;

struct CopyStep {
    CopyResult copy = CopyResult::written;
    bool stopped = false; // a close came during the pictures, or stopped the pages
};

// Fetches the pictures `summaries` show, then writes the copy's pages and hands every post to
// the job's sinks. `pages` is set once the pictures are in: the exports build on it. `events`
// must have its wait set.
CopyStep WriteCopyStep(const SaveJob& job, const SaveEvents& events, const ShowCaption& show,
                       std::vector<offline::PostSummary> summaries, offline::BodySpool& spool,
                       std::optional<offline::CopyPageBuilder>& pages);

// Writes the job's exports from `pages` and the spool; true when they were written whole.
bool WriteExportsStep(const SaveJob& job, const SaveEvents& events,
                      const offline::CopyPageBuilder& pages, offline::BodySpool& spool);

} // namespace window
