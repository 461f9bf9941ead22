#include "window/written_posts.h"

#include "platform/text.h"

#include <optional>
#include <utility>

namespace window {
namespace {

blog::WrittenPost written_post(std::size_t number, std::u16string title,
                               const offline::PostFacts& facts) {
    std::optional<std::vector<int>> minute;
    if (facts.date && facts.date->has_time) {
        const offline::PostDate& date = *facts.date;
        minute = std::vector<int>{date.year, date.month, date.day, date.hour, date.minute};
    }
    return {number, std::move(title), std::move(minute)};
}

} // namespace

void WrittenPosts::add(std::size_t number, std::u16string title, const offline::PostFacts& facts) {
    m_posts.push_back(written_post(number, std::move(title), facts));
}

bool WrittenPosts::repeats(std::size_t number, std::u16string_view page, const blog::PostCut& cut) {
    const offline::PostFacts facts = offline::ReadPostFacts(page, cut);
    blog::WrittenPost post = written_post(number, platform::utf8_to_utf16(facts.title), facts);
    if (blog::WrittenCopyOf(m_posts, post)) {
        return true;
    }
    m_posts.push_back(std::move(post));
    return false;
}

} // namespace window
