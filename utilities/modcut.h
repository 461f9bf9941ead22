#pragma once

#include <string>
#include <string_view>

namespace modcut {

// The text between the first start marker and the next end marker after it. When the start
// marker is absent the cut starts at the position equal to the marker's length, so a page
// without "<title>" can still yield a title. Never throws; failures give empty text.
std::u16string CutBetween(std::u16string_view text, std::u16string_view startMarker,
                          std::u16string_view endMarker);

// The same cut as a view into `text`, for pages too long to copy lightly.
std::u16string_view CutBetweenView(std::u16string_view text, std::u16string_view startMarker,
                                   std::u16string_view endMarker);

} // namespace modcut
