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
    if (text.empty()) {
        return {};
    }
    const std::size_t found = text.find(start_marker);
    // An empty marker is always found, so an absent one has at least one unit.
    const std::size_t begin = found == npos ? start_marker.size() - 1 : found + start_marker.size();
    if (begin >= text.size()) {
        return {};
    }
    const std::size_t end = text.find(end_marker, begin);
    if (end == npos) {
        return {};
    }
    return std::u16string(text.substr(begin, end - begin));
}

// A marker is either units of its own or a slice of the text, so that it is often found.
struct MarkerChoice {
    std::size_t length;
    bool from_text;
    std::uint16_t offset;
};

MarkerChoice choose_marker(FuzzedDataProvider& provider) {
    return {provider.ConsumeIntegralInRange<std::size_t>(0, 8), provider.ConsumeBool(),
            provider.ConsumeIntegral<std::uint16_t>()};
}

std::u16string take_units(FuzzedDataProvider& provider, const MarkerChoice& choice) {
    return choice.from_text
               ? std::u16string()
               : fuzz::utf16_from(provider.ConsumeBytes<std::uint8_t>(2 * choice.length));
}

std::u16string slice_of(std::u16string_view text, const MarkerChoice& choice) {
    return std::u16string(text.substr(choice.offset % (text.size() + 1), choice.length));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider provider(data, size);
    const MarkerChoice start_choice = choose_marker(provider);
    const MarkerChoice end_choice = choose_marker(provider);
    std::u16string start_marker = take_units(provider, start_choice);
    std::u16string end_marker = take_units(provider, end_choice);
    const std::u16string text = fuzz::utf16_from(provider.ConsumeRemainingBytes<std::uint8_t>());
    if (start_choice.from_text) {
        start_marker = slice_of(text, start_choice);
    }
    if (end_choice.from_text) {
        end_marker = slice_of(text, end_choice);
    }

    const std::u16string cut = modcut::CutBetween(text, start_marker, end_marker);
    fuzz::require(cut == expected_cut(text, start_marker, end_marker),
                  "the cut is the text from after the start marker to the end marker");
    fuzz::require(end_marker.empty() || cut.find(end_marker) == npos,
                  "the cut never holds the end marker");
    return 0;
}
