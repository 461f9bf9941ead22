// Titles and user names come from web pages, so any text must give a name that stays inside its
// folder and that the file system takes.

#include "blog/post_file.h"
#include "fuzz/fuzz_input.h"
#include "platform/text.h"

#include <fuzzer/FuzzedDataProvider.h>
#include <glib.h>

#include <algorithm>
#include <climits>
#include <string_view>

namespace {

constexpr std::size_t max_name_bytes = 255;

// What every name on disk needs, whatever it was made from.
void check_safe_name(const std::string& name) {
    fuzz::require(name.size() <= max_name_bytes, "a name fits 255 bytes");
    fuzz::require(name.find('/') == std::string::npos, "a name holds no slash");
    fuzz::require(name != "." && name != "..", "a name cannot climb");
    // Refuses NUL, overlong forms, surrogates and cut sequences.
    fuzz::require(g_utf8_validate(name.data(), static_cast<gssize>(name.size()), nullptr),
                  "a name is valid UTF-8 without NUL");
}

void check_post_file_name(std::size_t number, std::u16string_view title) {
    const std::string name = blog::PostFileName(number, title);
    check_safe_name(name);
    const std::string prefix = std::to_string(number) + " ";
    fuzz::require(name.size() >= prefix.size() + 5 && name.starts_with(prefix) &&
                      name.ends_with(".html"),
                  "a name is the post's number, a blank, the title and .html");
    // The title part is the sanitised title, shortened only as far as the limit needs; being
    // valid UTF-8 before ".html", it ends between characters.
    const std::size_t kept = name.size() - prefix.size() - 5;
    const std::string full = platform::utf16_to_utf8(blog::SanitizeFileNamePart(title));
    fuzz::require(full.starts_with(name.substr(prefix.size(), kept)),
                  "the title is kept from its start");
    if (kept < full.size()) {
        const auto lead = static_cast<unsigned char>(full[kept]);
        const std::size_t next = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        fuzz::require(name.size() + next > max_name_bytes, "a title is cut only when too long");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider provider(data, size);
    // List positions, which never reach the sign bit of the number that shows them.
    const auto number =
        static_cast<std::size_t>(provider.ConsumeIntegralInRange<long long>(0, LLONG_MAX));
    const std::u16string title = fuzz::utf16_from(provider.ConsumeRemainingBytes<std::uint8_t>());

    const std::u16string clean = blog::SanitizeFileNamePart(title);
    fuzz::require(clean.size() == title.size(), "sanitising keeps the length");
    for (std::size_t i = 0; i < clean.size(); ++i) {
        fuzz::require(clean[i] == title[i] || clean[i] == u'_', "only replaced units change");
        fuzz::require(clean[i] >= 0x20 && clean[i] != u'/' && clean[i] != u'\\',
                      "no control character or slash is left");
    }
    check_post_file_name(number, title);

    const std::string folder = blog::UserFolderName(title);
    check_safe_name(folder);
    fuzz::require(folder.empty() == (title.find_first_not_of(u"/\\") == std::u16string::npos),
                  "only a user name of nothing but trailing slashes gives no folder");

    const std::u16string unblanked = blog::RemoveBlanks(title);
    fuzz::require(unblanked.find(u' ') == std::u16string::npos, "no blank is left");
    const auto blanks = static_cast<std::size_t>(std::count(title.begin(), title.end(), u' '));
    fuzz::require(unblanked.size() + blanks == title.size(), "only blanks are removed");
    return 0;
}
