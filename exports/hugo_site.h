#pragma once
// The Hugo site of a save: <folder>/hugo.toml, layouts of its own, and one page bundle per post,
// content/posts/<N>/index.md with the post's pictures beside it, and content/<taxonomy>/<term>/
// _index.md for a category or tag that could not be its own term. Posts are written as they
// come; finish() writes the rest and removes the bundles of posts no longer listed.

#include "exports/export_files.h"
#include "exports/export_post.h"

#include <filesystem>
#include <map>
#include <set>
#include <string>

namespace exports {

struct SiteFacts {
    std::string user;       // the blog's user name
    std::string blog_title; // "<user> 的博客"
    std::string blog_address;
    std::string backup_time; // "2026-12-07T19:00:00+08:00"
    long long backup_unix = 0;
};

class HugoSite {
public:
    // `pictures` is the copy's images folder.
    HugoSite(std::filesystem::path folder, std::filesystem::path pictures, SiteFacts site);

    void add_post(const ExportPost& post);
    // The files that could not be written or removed; empty when the site is whole.
    std::vector<std::filesystem::path> finish();

private:
    void write_page(const std::filesystem::path& file, const ExportPost& post);

    std::filesystem::path m_folder;
    std::filesystem::path m_pictures;
    SiteFacts m_site;
    ExportFiles m_files;
    std::set<std::string> m_bundles;
    // By taxonomy, the terms made for texts that could not be terms, with those texts.
    std::map<std::string, std::map<std::string, std::string>> m_term_titles;
};

// The page of one post: YAML front matter, then the body in Markdown (of a post whose body is
// held rendered).
std::string HugoPage(const ExportPost& post);

} // namespace exports
