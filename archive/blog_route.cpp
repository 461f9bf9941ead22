#include "archive/blog_route.h"

#include "blog/blog_address.h"

namespace archive {

BlogRoute::BlogRoute(std::u16string_view typed)
    : m_typed(typed), m_wayback(recognise_wayback_blog(typed)) {}

std::u16string BlogRoute::user_name() const {
    return m_wayback ? m_wayback->user : blog::UserName(m_typed);
}

bool BlogRoute::has_user_name_part() const {
    return m_wayback || blog::HasUserNamePart(m_typed);
}

std::u16string BlogRoute::first_list_page() const {
    return m_wayback ? archived_first_list_page(*m_wayback)
                     : blog::FirstListPageAddress(user_name());
}

std::u16string BlogRoute::list_page(long long k) const {
    return m_wayback ? archived_list_page(*m_wayback, k) : blog::ListPageAddress(user_name(), k);
}

std::vector<std::u16string> BlogRoute::download_addresses(const std::vector<std::u16string>& items,
                                                          const OwnCaptures& captures) const {
    std::vector<std::u16string> addresses;
    addresses.reserve(items.size());
    for (const std::u16string& item : items) {
        if (!m_wayback) {
            addresses.push_back(item);
            continue;
        }
        const std::optional<ArchivedAddress> parts = parse_archived_address(item);
        std::optional<std::u16string> timestamp = captures.timestamp_of(item);
        if (!timestamp && parts) {
            timestamp = parts->timestamp;
        }
        if (!timestamp) {
            addresses.push_back(item);
            continue;
        }
        addresses.push_back(capture_address(m_wayback->archive, *timestamp, u"id_",
                                            parts ? std::u16string_view(parts->original)
                                                  : std::u16string_view(item)));
    }
    return addresses;
}

std::u16string user_name_of(std::u16string_view typed) {
    return BlogRoute(typed).user_name();
}

} // namespace archive
