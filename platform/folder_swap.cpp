#include "platform/folder_swap.h"

#include "platform/part_file.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

namespace platform {
namespace {

// 0, or the error of an exchange of the two names in one step.
int exchange(const fs::path& one, const fs::path& other) {
    const int result = ::renameat2(AT_FDCWD, one.c_str(), AT_FDCWD, other.c_str(), RENAME_EXCHANGE);
    return result == 0 ? 0 : errno;
}

bool swap_by_moving_aside(const fs::path& staged, const fs::path& target, const fs::path& aside) {
    std::error_code error;
    fs::remove_all(aside, error);
    fs::rename(target, aside, error);
    if (error) {
        return false;
    }
    fs::rename(staged, target, error);
    if (error) {
        std::error_code ignored;
        fs::rename(aside, target, ignored);
        return false;
    }
    sync_folder(target.parent_path());
    fs::remove_all(aside, error);
    return true;
}

} // namespace

bool swap_in_folder(const fs::path& staged, const fs::path& target, const fs::path& aside) {
    std::error_code error;
    const fs::file_status there = fs::symlink_status(target, error);
    if (!fs::exists(there)) {
        fs::rename(staged, target, error);
        return !error && sync_folder(target.parent_path());
    }
    if (!fs::is_directory(there)) {
        return false; // someone's file, never ours to replace
    }
    const int exchanged = exchange(staged, target);
    if (exchanged == EINVAL || exchanged == ENOSYS || exchanged == ENOTSUP) {
        return swap_by_moving_aside(staged, target, aside);
    }
    if (exchanged != 0) {
        return false;
    }
    sync_folder(target.parent_path());
    fs::remove_all(staged, error); // the old folder, under the staged name now
    return true;
}

void restore_swapped_folder(const fs::path& target, const fs::path& aside) {
    std::error_code error;
    if (!fs::exists(aside, error)) {
        return;
    }
    if (!fs::exists(fs::symlink_status(target, error))) {
        fs::rename(aside, target, error);
        return;
    }
    fs::remove_all(aside, error);
}

bool sync_file_system(const fs::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool synced = ::syncfs(fd) == 0;
    return ::close(fd) == 0 && synced;
}

} // namespace platform
