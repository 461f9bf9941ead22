#pragma once
// A file written under "<name>.part" and renamed over its name only once every byte is on disk,
// so a failed or interrupted write never leaves a cut-off file under a name that looks whole,
// and never costs the whole file that was there before.

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string_view>

namespace platform {

inline constexpr std::string_view part_suffix = ".part";

class PartFile {
public:
    // Opens "<file>.part" for writing; every later step fails when it could not.
    explicit PartFile(std::filesystem::path file);
    // Removes the ".part" file unless it was committed.
    ~PartFile();
    PartFile(const PartFile&) = delete;
    PartFile& operator=(const PartFile&) = delete;

    // False once any write failed; nothing is written after that.
    bool write(std::string_view bytes);
    // Closes the file and renames it over its name; false when any step failed.
    bool commit();

private:
    struct FileCloser {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };

    std::filesystem::path m_file;
    std::filesystem::path m_part;
    std::unique_ptr<std::FILE, FileCloser> m_out;
    bool m_good = false;
    bool m_committed = false;
};

// The whole file written that way; false when it could not be.
bool replace_file(const std::filesystem::path& file, std::string_view bytes);

} // namespace platform
