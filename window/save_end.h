#pragma once
// Where a save leads the user when it ends: the browsable copy it left, not a page of a service
// that closed long ago.

#include <filesystem>
#include <string>

namespace window {

// The copy's index page in `copy_folder` as a percent-encoded file:// address when the save
// left it (`copy_left`) and it is there; `home` otherwise.
std::u16string SaveEndAddress(const std::filesystem::path& copy_folder, bool copy_left,
                              std::u16string_view home);

} // namespace window
