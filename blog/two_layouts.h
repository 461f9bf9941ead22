#pragma once
// A blog captured both before and after the service changed its layout lists many posts twice:
// at the old address and at the new one. One post is recognised by its title and its date to
// the minute; bodies are not compared (the old layout's body holds its date line).

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace blog {

struct WrittenPost {
    std::size_t number = 0; // its place in the list, from 1
    std::u16string title;   // as shown; compared without its white space
    // Year, month, day, hour and minute; nothing when the post's date has no time (such a post
    // is never taken for another).
    std::optional<std::vector<int>> minute;
};

// The number of the post among `written` (the posts already written in this save, in the order
// they were written) that `candidate` repeats; nothing when it repeats none and is to be written.
std::optional<std::size_t> WrittenCopyOf(const std::vector<WrittenPost>& written,
                                         const WrittenPost& candidate);

// "有" + N + "篇文章在新旧两种版式里都有存档，只保存了一份"
std::u16string TwoLayoutsText(std::size_t repeated);

} // namespace blog
