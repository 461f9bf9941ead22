#pragma once
// Recovering a blog that the service no longer serves: from the address the user typed, the
// capture of the blog that a harvest through the archive starts from. Pure rules; the caller
// asks the index and hands its rows here.

#include "archive/capture_index.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace archive {

// The archive a recovery goes to, over https as the archive itself answers.
inline constexpr std::u16string_view RecoveryArchive = u"https://web.archive.org";

// The user name of a typed address on the service itself ("http://hi.baidu.com/someone", in
// any case, maybe with more path after the name); nothing for any other address, archived
// ones included.
std::optional<std::u16string> live_blog_user(std::u16string_view typed);

// The addresses whose captures a recovery may start from, the preferred first: the blog's
// first list page "http://hi.baidu.com/<user>/blog", then its own address.
std::vector<std::u16string> recovery_candidates(std::u16string_view user);

// The timestamp a recovery starts from: the newest status-200 capture of the first candidate
// that has one among `rows` (which may hold rows of any address); nothing when none has.
std::optional<std::u16string> recovery_timestamp(std::u16string_view user,
                                                 const std::vector<CaptureEntry>& rows);

// The archived blog's address for the address box: <archive>/web/<timestamp>/<blog's own>.
std::u16string recovery_address(std::u16string_view archive, std::u16string_view timestamp,
                                std::u16string_view user);

} // namespace archive
