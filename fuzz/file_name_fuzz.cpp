// Titles and user names come from web pages, so any text must give a name that stays inside its
// folder and that the file system takes.

#include "fuzz/fuzz_input.h"
#include "platform/text.h"
#include "window/post_file.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <climits>
#include <string_view>

namespace {

constexpr std::size_t max_name_bytes = 255;

// The length of the UTF-8 sequence at `i`, or 0 when it is malformed, overlong, a surrogate or
// past U+10FFFF.
std::size_t sequence_length(std::string_view s, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char lead = byte(i);
    std::size_t length = 0;
    char32_t minimum = 0;
    char32_t code_point = 0;
    if (lead < 0x80) {
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, minimum = 0x80, code_point = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, minimum = 0x800, code_point = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, minimum = 0x10000, code_point = lead & 0x07;
    } else {
        return 0;
    }
    if (i + length > s.size()) {
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            return 0;
        }
        code_point = code_point << 6 | (byte(i + k) & 0x3F);
    }
    const bool surrogate = code_point >= 0xD800 && code_point <= 0xDFFF;
    return code_point < minimum || code_point > 0x10FFFF || surrogate ? 0 : length;
}

bool is_valid_utf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const std::size_t length = sequence_length(s, i);
        if (length == 0) {
            return false;
        }
        i += length;
    }
    return true;
}

// What every name on disk needs, whatever it was made from.
void check_safe_name(const std::string& name) {
    fuzz::require(name.size() <= max_name_bytes, "a name fits 255 bytes");
    fuzz::require(name.find('/') == std::string::npos, "a name holds no slash");
    fuzz::require(name.find('\0') == std::string::npos, "a name holds no NUL");
    fuzz::require(name != "." && name != "..", "a name cannot climb");
    fuzz::require(is_valid_utf8(name), "a name is valid UTF-8");
}

void check_sanitized(std::u16string_view part) {
    const std::u16string clean = blog::SanitizeFileNamePart(part);
    fuzz::require(clean.size() == part.size(), "sanitising keeps the length");
    for (std::size_t i = 0; i < clean.size(); ++i) {
        fuzz::require(clean[i] == part[i] || clean[i] == u'_', "only replaced units change");
        fuzz::require(clean[i] >= 0x20 && clean[i] != u'/' && clean[i] != u'\\',
                      "no control character or slash is left");
    }
}

void check_post_file_name(std::size_t number, std::u16string_view title) {
    const std::string name = blog::PostFileName(number, title);
    check_safe_name(name);
    const std::string prefix = std::to_string(number) + " ";
    constexpr std::string_view suffix = ".html";
    fuzz::require(name.starts_with(prefix), "a name starts with the post's number and a blank");
    fuzz::require(name.ends_with(suffix), "a name ends with .html");
    fuzz::require(name.size() >= prefix.size() + suffix.size(), "number and suffix do not overlap");

    // The title part is the sanitised title, shortened only as far as the limit needs.
    const std::string title_part =
        name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
    const std::string full = platform::utf16_to_utf8(blog::SanitizeFileNamePart(title));
    fuzz::require(full.starts_with(title_part), "the title is kept from its start");
    if (title_part.size() < full.size()) {
        const std::size_t next = sequence_length(full, title_part.size());
        fuzz::require(next != 0, "a title is cut between characters");
        fuzz::require(name.size() + next > max_name_bytes, "a title is cut only when too long");
    }
}

void check_user_folder_name(std::u16string_view user_name) {
    const std::string name = blog::UserFolderName(user_name);
    check_safe_name(name);
    fuzz::require(name.empty() == user_name.empty(), "only an empty user name gives no folder");
}

void check_blanks_removed(std::u16string_view title) {
    const std::u16string result = blog::RemoveBlanks(title);
    fuzz::require(result.find(u' ') == std::u16string::npos, "no blank is left");
    const auto blanks = static_cast<std::size_t>(std::count(title.begin(), title.end(), u' '));
    fuzz::require(result.size() + blanks == title.size(), "only blanks are removed");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider provider(data, size);
    // List positions, which never reach the sign bit of the number that shows them.
    const auto number =
        static_cast<std::size_t>(provider.ConsumeIntegralInRange<long long>(0, LLONG_MAX));
    const std::u16string title = fuzz::utf16_from(provider.ConsumeRemainingBytes<std::uint8_t>());
    check_sanitized(title);
    check_post_file_name(number, title);
    check_user_folder_name(title);
    check_blanks_removed(title);
    return 0;
}
