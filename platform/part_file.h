#pragma once
// A file written under "<name>.part" and renamed over its name only once every byte is written:
// a failed or interrupted write never leaves a cut-off file under a name that looks whole, and
// never costs the whole file that was there before. A durable file is also flushed to the disk
// before the rename, so a power cut cannot leave an empty or cut-off file under the name either
// (scratch files skip that cost); until its folder is flushed too (sync_folder), a power cut may
// still undo the rename and leave the old file.

#include <filesystem>
#include <string>
#include <string_view>

namespace platform {

inline constexpr std::string_view part_suffix = ".part";

enum class Durability { durable, scratch };

class PartFile {
public:
    // Opens "<file>.part" for writing; every later step fails when it could not.
    explicit PartFile(std::filesystem::path file, Durability durability = Durability::durable);
    // Removes the ".part" file unless it was committed.
    ~PartFile();
    PartFile(const PartFile&) = delete;
    PartFile& operator=(const PartFile&) = delete;

    // False once any write failed; nothing is written after that.
    bool write(std::string_view bytes);
    // Writes what is held, closes the file and renames it over its name; false when any step
    // failed, and then the name keeps what it had.
    bool commit();

private:
    bool flush();

    std::filesystem::path m_file;
    std::filesystem::path m_part;
    Durability m_durability;
    int m_fd = -1;
    std::string m_held; // small writes gather here before they go to the file
    bool m_good = false;
    bool m_committed = false;
};

// The whole file written that way; false when it could not be.
bool replace_file(const std::filesystem::path& file, std::string_view bytes,
                  Durability durability = Durability::durable);

// Flushes a folder's entries (names made or renamed in it) to the disk; false when it could not.
bool sync_folder(const std::filesystem::path& folder);

} // namespace platform
