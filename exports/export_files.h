#pragma once
// Files of the exports: written whole or not at all, pictures taken in from the copy, and what
// an earlier save left that this one did not write taken away.

#include <filesystem>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace exports {

// Collects the files that could not be written or removed.
class ExportFiles {
public:
    void write(const std::filesystem::path& file, std::string_view bytes);
    // Copies a picture unless a file of the same size is already there.
    void copy_picture(const std::filesystem::path& from, const std::filesystem::path& to);
    void make_folder(const std::filesystem::path& folder);
    // Removes the entries of `folder` whose names are not in `kept`.
    void remove_others(const std::filesystem::path& folder, const std::set<std::string>& kept);
    void failed(const std::filesystem::path& file) { m_failed.push_back(file); }

    const std::vector<std::filesystem::path>& failures() const { return m_failed; }

private:
    std::vector<std::filesystem::path> m_failed;
};

} // namespace exports
