#pragma once
// The list a harvest through the archive found, kept in the user folder so that a closed window
// does not cost the walk: one address a line, in list order, plain UTF-8.

#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace window {

// Where a recovery's own files go inside the user folder, apart from the post files: the kept
// list, the save's journal and the failed posts' list.
std::filesystem::path RecoveryFolder(const std::filesystem::path& user_folder);
// Writes `bytes` to a file there, through a temporary file; false when it could not.
bool WriteRecoveryFile(const std::filesystem::path& file, std::string_view bytes);

std::filesystem::path KeptListFile(const std::filesystem::path& user_folder);

// Written to a temporary file and renamed; false when it could not be.
bool WriteKeptList(const std::filesystem::path& user_folder,
                   const std::vector<std::u16string>& addresses);

struct KeptList {
    std::vector<std::u16string> addresses;
    std::time_t written = 0; // when the file was last written
};

// Nothing when there is no such file or it lists no address; blank lines are skipped.
std::optional<KeptList> ReadKeptList(const std::filesystem::path& user_folder);

std::vector<std::u16string> KeptListAddresses(std::string_view text);
std::string KeptListText(const std::vector<std::u16string>& addresses);

// "YYYY-MM-DD HH:MM" in local time.
std::u16string LocalMinuteText(std::time_t when);

// The box that offers the kept list before a walk.
std::u16string KeptListQuestion(const KeptList& list);

} // namespace window
