#include "window/post_saver.h"

#include "blog/post_file.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/text.h"

#include <exception>

namespace fs = std::filesystem;

namespace blog {
namespace {

// The user folder under `base`, created when a listing finds no ordinary files in it (an
// existing empty folder then merely fails to be created again).
fs::path prepare_user_folder(const fs::path& base, std::u16string_view user_name) {
    const fs::path folder = user_name.empty() ? base : base / UserFolderName(user_name);
    if (!platform::has_ordinary_files(folder)) {
        platform::create_folder(folder);
    }
    return folder;
}

SaveTarget target_under(const fs::path& base, std::u16string_view user_name) {
    // The user is told the folder the files really went to, with the name as it was made safe.
    // Appending an empty element gives the base with exactly one trailing "/", even at the root.
    const std::u16string shown =
        platform::utf8_to_utf16((base / "").string() + UserFolderName(user_name));
    const fs::path folder = prepare_user_folder(base, user_name);
    return {folder, shown, platform::can_write_in(folder)};
}

} // namespace

SaveTarget ChooseSaveFolder(const fs::path& program_folder, std::u16string_view user_name,
                            const fs::path& home) {
    SaveTarget tried{{}, {}, false};
    for (const fs::path& base : {program_folder, home}) {
        // An unknown folder would otherwise mean the working directory.
        if (!base.empty()) {
            tried = target_under(base, user_name);
            if (tried.writable) {
                break;
            }
        }
    }
    return tried;
}

bool SavePost(const SaveTarget& target, std::size_t number, std::u16string_view page) {
    // One post's failure is counted by the caller; it must not end the run.
    try {
        return SavePost(target, number, page, CutPostText(page), {});
    } catch (const std::exception&) {
        return false;
    }
}

bool SavePost(const SaveTarget& target, std::size_t number, std::u16string_view page,
              const PostCut& cut, const AppendWatch& watch) {
    try {
        const fs::path file = target.folder / PostFileName(number, cut.file_title);
        const std::string bytes = platform::encode_gbk(cut.body_in(page));
        if (watch.before) {
            watch.before(file);
        }
        if (watch.halfway) {
            const std::string_view whole = bytes;
            const bool first = platform::append_bytes(file, whole.substr(0, whole.size() / 2));
            watch.halfway();
            return first && platform::append_bytes(file, whole.substr(whole.size() / 2)) &&
                   cut.has_body();
        }
        return platform::append_bytes(file, bytes) && cut.has_body();
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace blog
