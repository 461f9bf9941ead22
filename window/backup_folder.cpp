#include "window/backup_folder.h"

#include "platform/files.h"

#include <glib.h>

#include <algorithm>
#include <system_error>

namespace fs = std::filesystem;

namespace blog {
namespace {

// Compared by path elements, so that /usr2 or /home/u/usr are not taken for /usr.
bool is_under_usr(const fs::path& folder) {
    const fs::path usr = "/usr";
    const fs::path normal = folder.lexically_normal();
    return std::mismatch(usr.begin(), usr.end(), normal.begin(), normal.end()).first == usr.end();
}

} // namespace

fs::path BackupBase(const fs::path& program_folder, const fs::path& documents,
                    const fs::path& home) {
    if (!is_under_usr(program_folder)) {
        return program_folder;
    }
    const fs::path& base = documents.is_absolute() ? documents : home;
    return base / "Pellumo";
}

fs::path BackupFolder(const fs::path& program_folder) {
    // NULL when the user has no user-dirs.dirs (or it names no documents folder).
    const char* documents = g_get_user_special_dir(G_USER_DIRECTORY_DOCUMENTS);
    const fs::path base =
        BackupBase(program_folder, documents != nullptr ? documents : "", platform::home_folder());
    if (base != program_folder) {
        // A failure shows when the user folder cannot be made; the caller then falls back.
        std::error_code ignored;
        fs::create_directories(base, ignored);
    }
    return base;
}

} // namespace blog
