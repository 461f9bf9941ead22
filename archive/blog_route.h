#pragma once
// Where a harvest and a save go for the address the user typed: the blog service itself, or the
// Wayback Machine when the address is an archived blog's. Live addresses follow the program's
// own rules unchanged.

#include "archive/capture_index.h"
#include "archive/wayback_address.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace archive {

class BlogRoute {
public:
    explicit BlogRoute(std::u16string_view typed);

    // Set when the typed address is an archived blog's.
    const std::optional<WaybackBlog>& wayback() const { return m_wayback; }

    // The blog's own user name for an archived blog, so its posts land where a live save puts
    // them; otherwise the typed address minus its first 20 characters.
    std::u16string user_name() const;
    // False when a live address is too short to carry a user name.
    bool has_user_name_part() const;
    std::u16string first_list_page() const;
    std::u16string list_page(long long k) const;

    // The address each list item is downloaded from. Through the archive: the post's raw
    // capture at its own status-200 timestamp (the link's own timestamp when the index lacks
    // the post), asked of the archive as typed; an item that names no post of the archive is
    // fetched as it is. Live: the items themselves.
    std::vector<std::u16string> download_addresses(const std::vector<std::u16string>& items,
                                                   const OwnCaptures& captures) const;

private:
    std::u16string m_typed;
    std::optional<WaybackBlog> m_wayback;
};

// BlogRoute(typed).user_name().
std::u16string user_name_of(std::u16string_view typed);

} // namespace archive
