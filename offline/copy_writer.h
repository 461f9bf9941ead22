#pragma once
// The offline copy on disk: "离线浏览" in the user folder, with index.html, all.html,
// posts/<N>.html and images/. Every file is written under a temporary name and renamed when
// whole and on the disk, so an interrupted save or a power cut never leaves a broken file under a
// name that looks done; the folders are flushed once the pages are written.

#include "offline/copy_pages.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace offline {

// The copy's folder inside the user folder.
std::filesystem::path CopyFolder(const std::filesystem::path& user_folder);

// The pictures of the copy, in its images/ folder, named by PictureFileName.
class PictureStore {
public:
    explicit PictureStore(std::filesystem::path copy_folder);

    // The file name of this address's picture when it is already whole on disk.
    std::optional<std::string> Existing(std::string_view address) const;
    // Stores the bytes; the file name, or nothing when it could not be written.
    std::optional<std::string> Store(std::string_view address, std::string_view extension,
                                     std::string_view bytes) const;

private:
    std::filesystem::path m_folder;
};

struct CopyWriteResult {
    std::vector<std::filesystem::path> failed; // files that could not be written or removed
    bool stopped = false; // asked to stop: the rest, all.html and the index were not written
};

// A saved post's cleaned body, by its number; it may throw when the body cannot be had, and
// gives nothing when the writing is to stop.
using BodyLoader = std::function<std::optional<CleanBody>(std::size_t number)>;

// Writes the pages into the copy's folder, a body at a time, replacing what an earlier save
// wrote, and removes the pages of posts that are no longer in the list, the pictures that no
// page shows and files left half written. A page whose body cannot be had is counted as
// failed, and so is all.html then.
CopyWriteResult WriteCopy(const std::filesystem::path& user_folder, const CopyPageBuilder& pages,
                          const BodyLoader& body_of);

// "2026-12-07 08:09:10" in local time.
std::u16string BackupTimeText(std::int64_t unix_seconds);

} // namespace offline
