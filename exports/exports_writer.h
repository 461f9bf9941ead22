#pragma once
// Both exports of a save, in "导出" inside the user folder: the Hugo site (hugo/), the WordPress
// export (wordpress.xml, with the pictures in wp-content/uploads/pellumo/) and "说明.txt", which
// lists the posts left out and why. Feed it the posts in list order; each is written at once.

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

    void add_post(const ExportPost& post);
    // A listed post that was not saved, with the reason.
    void add_failure(std::size_t number, const std::string& address, const std::string& reason);
    // Whether everything was written.
    bool finish();

private:
    std::filesystem::path m_folder;
    HugoSite m_hugo;
    WordPressFile m_wordpress;
    std::string m_failures;
    std::size_t m_exported = 0;
};

} // namespace exports
