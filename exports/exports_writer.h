#pragma once
// Both exports of a save, in "导出" inside the user folder: the Hugo site (hugo/), the WordPress
// export (wordpress.xml, with the pictures in wp-content/uploads/pellumo/) and "说明.txt", which
// lists the posts left out and why. Feed it the posts in list order; each is written at once,
// into a folder beside "导出" that takes its place only when every file is whole, so a save that
// fails or stops part-way leaves the last good exports as they were.

#include "exports/hugo_site.h"
#include "exports/wordpress_file.h"

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

namespace exports {

// The exports' folder inside the user folder.
std::filesystem::path ExportsFolder(const std::filesystem::path& user_folder);

class ExportsWriter {
public:
    // `pictures` is the copy's images folder.
    ExportsWriter(const std::filesystem::path& user_folder, const std::filesystem::path& pictures,
                  SiteFacts site);
    // Without finish(), what was written goes and the exports stay as they were.
    ~ExportsWriter();
    ExportsWriter(const ExportsWriter&) = delete;
    ExportsWriter& operator=(const ExportsWriter&) = delete;

    void add_post(const ExportPost& post);
    // A listed post that was not saved, with the reason.
    void add_failure(std::size_t number, const std::string& address, const std::string& reason);
    // Puts the new exports in place when everything was written; whether it was.
    bool finish();

private:
    std::filesystem::path m_final;
    std::filesystem::path m_aside;
    std::filesystem::path m_folder; // where the new exports are written until they are whole
    HugoSite m_hugo;
    WordPressFile m_wordpress;
    std::string m_failures;
    std::size_t m_exported = 0;
    bool m_finished = false;
};

} // namespace exports
