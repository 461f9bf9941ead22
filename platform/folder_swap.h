#pragma once
// A folder written whole under a name of its own ("staged") and put in place of another in one
// step, so that whoever looks finds either the old folder whole or the new one whole. Where the
// file system can exchange two names at once, it does; elsewhere the old folder is first moved
// aside, and a crash between the two renames leaves it there whole, where
// restore_swapped_folder() finds it again.

#include <filesystem>

namespace platform {

// Puts `staged` where `target` is and removes what was there; `aside` is where the old folder
// waits when the names cannot be exchanged at once. False, with `target` as it was, when the
// swap could not be made (`target` is a file, or a rename failed); `staged` is left then.
bool swap_in_folder(const std::filesystem::path& staged, const std::filesystem::path& target,
                    const std::filesystem::path& aside);

// After a swap that did not end: puts the old folder back from `aside` when `target` is
// missing, and removes what is left at `aside` otherwise.
void restore_swapped_folder(const std::filesystem::path& target,
                            const std::filesystem::path& aside);

// Flushes every file of the file system that holds `path` to the disk; false when it could not.
bool sync_file_system(const std::filesystem::path& path);

} // namespace platform
