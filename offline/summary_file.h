#pragma once
// What the copy and the exports need of a saved post besides its body, kept beside the body in
// the spool, so that a save that resumes builds them for the whole list without downloading the
// posts saved before it was cut short.

#include "offline/body_spool.h"
#include "offline/copy_pages.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace offline {

std::string SummaryBytes(const PostSummary& summary);
// Nothing when the bytes are not a whole summary.
std::optional<PostSummary> ParseSummary(std::string_view bytes);

// False when it could not be written whole.
bool StoreSummary(const BodySpool& spool, const PostSummary& summary);
std::optional<PostSummary> LoadSummary(const BodySpool& spool, std::size_t number);

} // namespace offline
