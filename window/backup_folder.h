#pragma once
// Where backups go: beside a copy that runs from its own folder, in the user's documents for a
// copy installed in the system's folders.

#include <filesystem>

namespace blog {

// The folder in which the user-name folders are made. A program folder under /usr/ gives
// documents/"Pellumo", or home/"Pellumo" when there is no documents folder: that depends on
// where the program is installed, not on whether its folder can be written (root can write to
// /usr/bin). Any other program folder is used as it is.
std::filesystem::path BackupBase(const std::filesystem::path& program_folder,
                                 const std::filesystem::path& documents,
                                 const std::filesystem::path& home);

// BackupBase with the user's documents folder from the XDG user-dirs settings and the home
// folder; the "Pellumo" folder is created so that the user folder can be made inside it.
std::filesystem::path BackupFolder(const std::filesystem::path& program_folder);

} // namespace blog
