#pragma once
// The WordPress export of a save: one WXR 1.2 file (RSS 2.0 with WordPress's namespaces), one
// item per saved post, written as the posts come into "<file>.part" and renamed over the file
// by finish(); and the pictures the posts show, in the uploads folder under their copy names.

#include "exports/export_files.h"
#include "exports/export_post.h"
#include "exports/hugo_site.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <set>
#include <string>

namespace exports {

class WordPressFile {
public:
    // `uploads` is the folder that becomes /wp-content/uploads/pellumo/ on the new site;
    // `pictures` the copy's images folder.
    WordPressFile(std::filesystem::path file, std::filesystem::path uploads,
                  std::filesystem::path pictures, SiteFacts site);

    void add_post(const ExportPost& post);
    // The files that could not be written or removed; empty when the export is whole.
    std::vector<std::filesystem::path> finish();

private:
    struct FileCloser {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    void put(std::string_view text);
    // The item of a post whose body is not held rendered.
    void put_long_item(const ExportPost& post);

    std::filesystem::path m_file;
    std::filesystem::path m_part;
    std::filesystem::path m_uploads;
    std::filesystem::path m_pictures;
    SiteFacts m_site;
    ExportFiles m_files;
    std::unique_ptr<std::FILE, FileCloser> m_out;
    bool m_write_failed = false;
    std::set<std::string> m_uploaded;
};

// The channel's head and one item, as the file holds them.
std::string WordPressHead(const SiteFacts& site);
std::string WordPressItem(const ExportPost& post, std::string_view user);
inline constexpr std::string_view wordpress_tail = "</channel>\n</rss>\n";

// "Fri, 01 May 2009 13:00:00 +0000"
std::string Rfc822Date(long long unix_seconds);

} // namespace exports
