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
