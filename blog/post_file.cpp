#include "blog/post_file.h"

#include "platform/text.h"

#include <algorithm>

namespace blog {
namespace {

// The longest name most Linux file systems take (NAME_MAX).
constexpr std::size_t max_name_bytes = 255;

bool is_forbidden(char16_t c) {
    constexpr std::u16string_view refused = u"/\\?*:|<>\"";
    return c < 0x20 || c == 0x7F || refused.find(c) != std::u16string_view::npos;
}

bool is_continuation_byte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Cuts valid UTF-8 to at most `limit` bytes without splitting a sequence; a surrogate pair is
// one four-byte sequence by now, so it is never split either.
void shorten_utf8(std::string& text, std::size_t limit) {
    if (text.size() <= limit) {
        return;
    }
    std::size_t end = limit;
    while (end > 0 && is_continuation_byte(text[end])) {
        --end;
    }
    text.resize(end);
}

} // namespace

std::u16string RemoveBlanks(std::u16string_view title) {
    std::u16string result(title);
    std::erase(result, u' ');
    return result;
}

std::u16string SanitizeFileNamePart(std::u16string_view part) {
    std::u16string result(part);
    std::replace_if(result.begin(), result.end(), is_forbidden, u'_');
    return result;
}

std::string PostFileName(std::size_t number, std::u16string_view title) {
    const std::string prefix =
        platform::utf16_to_utf8(platform::decimal(static_cast<long long>(number))) + " ";
    constexpr std::string_view suffix = ".html";
    std::string name = platform::utf16_to_utf8(SanitizeFileNamePart(title));
    shorten_utf8(name, max_name_bytes - prefix.size() - suffix.size());
    return prefix + name + std::string(suffix);
}

std::string UserFolderName(std::u16string_view user_name) {
    // "http://hi.baidu.com/someone/" names the same blog as without the slash.
    while (user_name.ends_with(u'/') || user_name.ends_with(u'\\')) {
        user_name.remove_suffix(1);
    }
    std::string name = platform::utf16_to_utf8(SanitizeFileNamePart(user_name));
    if (name == "." || name == "..") {
        return std::string(name.size(), '_');
    }
    shorten_utf8(name, max_name_bytes);
    return name;
}

} // namespace blog
