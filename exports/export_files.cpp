#include "exports/export_files.h"

#include "platform/part_file.h"

#include <system_error>

namespace exports {

void ExportFiles::write(const std::filesystem::path& file, std::string_view bytes) {
    // The exports are flushed to the disk all at once before they are put in place.
    if (!platform::replace_file(file, bytes, platform::Durability::scratch)) {
        m_failed.push_back(file);
    }
}

void ExportFiles::copy_picture(const std::filesystem::path& from, const std::filesystem::path& to) {
    std::error_code error;
    const auto size = std::filesystem::file_size(from, error);
    std::error_code there;
    if (!error && std::filesystem::file_size(to, there) == size && !there) {
        return;
    }
    std::filesystem::path part = to;
    part += ".part";
    // The copy's pictures are only ever replaced by a rename, never written into, so a second
    // name for the same bytes is as good as a copy and costs no room.
    std::filesystem::create_hard_link(from, part, error);
    if (error) {
        std::filesystem::copy_file(from, part, std::filesystem::copy_options::overwrite_existing,
                                   error);
    }
    if (!error) {
        std::filesystem::rename(part, to, error);
    }
    if (error) {
        std::filesystem::remove(part, there);
        m_failed.push_back(to);
    }
}

void ExportFiles::make_folder(const std::filesystem::path& folder) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        m_failed.push_back(folder);
    }
}

void ExportFiles::remove_others(const std::filesystem::path& folder,
                                const std::set<std::string>& kept) {
    std::error_code error;
    std::vector<std::filesystem::path> stale;
    for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error)) {
        if (!kept.count(entry->path().filename().string())) {
            stale.push_back(entry->path());
        }
    }
    for (const std::filesystem::path& path : stale) {
        std::error_code removal;
        std::filesystem::remove_all(path, removal);
        if (removal) {
            m_failed.push_back(path);
        }
    }
}

} // namespace exports
