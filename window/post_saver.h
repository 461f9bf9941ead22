#pragma once
// Saving one downloaded post: the body cut out of its page appended in GBK to a file named after
// the post's number and title, in the folder chosen for the user.

#include "blog/post_cut.h"
#include "blog/post_page.h"

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace blog {

struct SaveTarget {
    std::filesystem::path folder; // where the files go
    std::u16string shown;         // that folder as the user is told about it
    bool writable = true;
};

// The user-name folder beside the program, created when it holds no ordinary files; when that
// cannot be written to (a read-only installation), the same folder under the home folder. When
// neither can be written, the home one, marked not writable.
SaveTarget ChooseSaveFolder(const std::filesystem::path& program_folder,
                            std::u16string_view user_name, const std::filesystem::path& home);

// Appends the post's body to its file in the target folder; false when the write failed or the
// page holds no post body. An empty page (a failed download) still creates the empty-titled
// file, with nothing in it.
bool SavePost(const SaveTarget& target, std::size_t number, std::u16string_view page);
// Who hears of an append: `before` gets the file just before its body is appended to it; a set
// `halfway`, for tests of a crash only, has the body appended in two writes and is called
// between them.
struct AppendWatch {
    std::function<void(const std::filesystem::path& file)> before;
    std::function<void()> halfway;
};
// The same for a page already read by its layout, telling `watch` of the append.
bool SavePost(const SaveTarget& target, std::size_t number, std::u16string_view page,
              const PostCut& cut, const AppendWatch& watch = {});

} // namespace blog
