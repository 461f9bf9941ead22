// CutBetween against the plain reading of its rule, with 0-based positions: the cut starts right
// after the first start marker, or, when there is none, one before the marker's length; it ends
// at the first end marker found from there. Anything else gives empty text.

#include "fuzz/fuzz_input.h"
#include "utilities/modcut.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <string_view>

namespace {

constexpr auto npos = std::u16string_view::npos;

std::u16string expected_cut(std::u16string_view text, std::u16string_view start_marker,
                            std::u16string_view end_marker) {
    const std::size_t found = text.find(start_marker);
    // An empty marker is always found, so an absent one has at least one unit.
    const std::size_t begin = found == npos ? start_marker.size() - 1 : found + start_marker.size();
    const std::size_t end = begin < text.size() ? text.find(end_marker, begin) : npos;
    return end == npos ? std::u16string() : std::u16string(text.substr(begin, end - begin));
}

// A marker is either units of its own or a slice of the text, so that it is often found.
struct MarkerChoice {
    std::size_t length;
    bool from_text;
    std::uint16_t offset;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider provider(data, size);
    MarkerChoice choices[2];
    for (MarkerChoice& choice : choices) {
        choice = {provider.ConsumeIntegralInRange<std::size_t>(0, 8), provider.ConsumeBool(),
                  provider.ConsumeIntegral<std::uint16_t>()};
    }
    std::u16string markers[2]; // start, end
    for (int k = 0; k < 2; ++k) {
        if (!choices[k].from_text) {
            markers[k] =
                fuzz::utf16_from(provider.ConsumeBytes<std::uint8_t>(2 * choices[k].length));
        }
    }
    const std::u16string text = fuzz::utf16_from(provider.ConsumeRemainingBytes<std::uint8_t>());
    for (int k = 0; k < 2; ++k) {
        if (choices[k].from_text) {
            markers[k] = text.substr(choices[k].offset % (text.size() + 1), choices[k].length);
        }
    }

    const std::u16string cut = modcut::CutBetween(text, markers[0], markers[1]);
    fuzz::require(cut == expected_cut(text, markers[0], markers[1]),
                  "the cut is the text from after the start marker to the end marker");
    fuzz::require(markers[1].empty() || cut.find(markers[1]) == npos,
                  "the cut never holds the end marker");
    return 0;
}
