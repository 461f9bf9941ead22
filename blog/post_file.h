#pragma once
// How a post's title and the blog's user name become names on disk. A title is text from a web
// page, so it is made harmless here: it can neither leave the user folder nor be refused.

#include <cstddef>
#include <string>
#include <string_view>

namespace blog {

// Removes every blank (U+0020) and nothing else.
std::u16string RemoveBlanks(std::u16string_view title);

// "/" and "\", control characters (U+0000-U+001F, U+007F) and ? * : | < > " each become "_".
std::u16string SanitizeFileNamePart(std::u16string_view part);

// UTF-8 name decimal(number) + " " + title + ".html", at most 255 bytes: a long title is
// shortened at a character boundary, the number, the blank and ".html" always stay.
std::string PostFileName(std::size_t number, std::u16string_view title);

// UTF-8 folder name for the user name without its trailing "/" and "\", sanitized like a title;
// "." and ".." become underscores so the name cannot climb. Empty stays empty: the posts then go
// into the base folder itself.
std::string UserFolderName(std::u16string_view user_name);

} // namespace blog
