// The page count of the harvest run reads any text without fault, and reads the number in a
// well-formed pager wherever the pager sits in the page.

#include "blog/page_count.h"
#include "fuzz/fuzz_input.h"
#include "platform/text.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <string_view>

namespace {

constexpr std::u16string_view next_link = u"[下一页]";
constexpr std::u16string_view last_link = u"[尾页]";
constexpr int largest_index = 32767;

bool contains(std::u16string_view text, std::u16string_view part) {
    return text.find(part) != std::u16string_view::npos;
}

void check_any_text(std::u16string_view page) {
    const std::optional<int> count = blog::LastPageIndexFrom(page);
    if (count) {
        fuzz::require(*count >= 0 && *count <= largest_index, "the count fits 16 bits");
        fuzz::require(contains(page, next_link) && contains(page, last_link),
                      "a count comes only from a page with both pager links");
    }
}

// The first page's pager as the service writes it, padded with fuzzed text on both sides.
void check_pager_in_page(FuzzedDataProvider& provider) {
    const int number = provider.ConsumeIntegralInRange<int>(0, 99999);
    const std::size_t zeros = provider.ConsumeIntegralInRange<std::size_t>(0, 3);
    const std::size_t before_units = provider.ConsumeIntegralInRange<std::size_t>(0, 2048);
    const std::u16string before =
        fuzz::utf16_from(provider.ConsumeBytes<std::uint8_t>(2 * before_units));
    const std::u16string after = fuzz::utf16_from(provider.ConsumeRemainingBytes<std::uint8_t>());
    // Pager links earlier in the page would be the ones read.
    if (contains(before, next_link) || contains(before, last_link)) {
        return;
    }
    const std::u16string page = before + u"<a href=\"/someone/blog/index/1\">" +
                                std::u16string(next_link) + u"</a> <a href=\"/someone/blog/index/" +
                                std::u16string(zeros, u'0') + platform::decimal(number) + u"\">" +
                                std::u16string(last_link) + u"</a>" + after;
    const std::optional<int> count = blog::LastPageIndexFrom(page);
    if (number <= largest_index) {
        fuzz::require(count == number, "the pager's last index is read");
    } else {
        fuzz::require(!count, "an index past 16 bits is refused");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    check_any_text(fuzz::utf16_from(data, size));
    FuzzedDataProvider provider(data, size);
    check_pager_in_page(provider);
    return 0;
}
