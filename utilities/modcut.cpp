#include "utilities/modcut.h"

#include <cstddef>

namespace modcut {
namespace {

// 1-based position of `needle` in `text` searching from position `from`, 0 when absent, as the
// cutting rule counts. An empty needle is found at `from` itself.
std::size_t position_of(std::u16string_view text, std::u16string_view needle, std::size_t from) {
    if (text.empty() || from < 1 || from > text.size()) {
        return 0;
    }
    const std::size_t found = text.find(needle, from - 1);
    return found == std::u16string_view::npos ? 0 : found + 1;
}

} // namespace

std::u16string_view CutBetweenView(std::u16string_view text, std::u16string_view startMarker,
                                   std::u16string_view endMarker) {
    // An absent start marker adds its length to 0: the cut then starts at that position.
    const std::size_t start = position_of(text, startMarker, 1) + startMarker.size();
    const std::size_t end = position_of(text, endMarker, start);
    if (start < 1 || start > text.size() || end < start) {
        return {};
    }
    return text.substr(start - 1, end - start);
}

std::u16string CutBetween(std::u16string_view text, std::u16string_view startMarker,
                          std::u16string_view endMarker) {
    return std::u16string(CutBetweenView(text, startMarker, endMarker));
}

} // namespace modcut
