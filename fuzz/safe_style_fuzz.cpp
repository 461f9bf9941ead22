// A style attribute through the copy's cleaning, judged by a reader of its own: whatever the
// attribute holds, what is kept names only allowed properties, holds no negative length and no
// length past its bounds, and reads back as itself when cleaned again.

#include "fuzz/fuzz_input.h"
#include "offline/safe_style.h"
#include "platform/text.h"
#include "tests/support/style_reader.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Any bytes, as the UTF-8 the parser hands an attribute's value over in.
    const std::string style = platform::utf16_to_utf8(
        platform::utf8_to_utf16(std::string_view(reinterpret_cast<const char*>(data), size)));
    const std::string kept = offline::SafeStyle(style);
    fuzz::require(kept.empty() || check::StyleFaults(kept).empty(),
                  "only allowed declarations, with lengths within bounds");
    fuzz::require(offline::SafeStyle(kept) == kept, "what is kept is kept again as it is");
    return 0;
}
