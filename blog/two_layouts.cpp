#include "blog/two_layouts.h"

#include "platform/text.h"

namespace blog {
namespace {

std::u16string without_white_space(std::u16string_view title) {
    std::u16string out;
    for (const char16_t c : title) {
        if (c != u' ' && c != u'\t' && c != u'\n' && c != u'\r' && c != u'\f' && c != u'\u3000' &&
            c != u'\u00A0') {
            out += c;
        }
    }
    return out;
}

} // namespace

std::optional<std::size_t> WrittenCopyOf(const std::vector<WrittenPost>& written,
                                         const WrittenPost& candidate) {
    if (!candidate.minute) {
        return std::nullopt;
    }
    const std::u16string title = without_white_space(candidate.title);
    for (const WrittenPost& post : written) {
        if (post.minute && *post.minute == *candidate.minute &&
            without_white_space(post.title) == title) {
            return post.number;
        }
    }
    return std::nullopt;
}

std::u16string TwoLayoutsText(std::size_t repeated) {
    return u"有" + platform::decimal(static_cast<long long>(repeated)) +
           u"篇文章在新旧两种版式里都有存档，只保存了一份";
}

} // namespace blog
