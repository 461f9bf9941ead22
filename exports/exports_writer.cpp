#include "exports/exports_writer.h"

#include "platform/folder_swap.h"

#include <system_error>

namespace exports {
namespace {

// The folder named "导出" with something in front, beside it.
std::filesystem::path beside(const std::filesystem::path& user_folder, const char8_t* name) {
    return user_folder / std::filesystem::path(name);
}

// The empty folder the new exports are written into, after whatever an earlier save that did
// not end left behind.
std::filesystem::path fresh_staging(const std::filesystem::path& user_folder) {
    platform::restore_swapped_folder(ExportsFolder(user_folder),
                                     beside(user_folder, u8".导出.old"));
    const std::filesystem::path staging = beside(user_folder, u8".导出.new");
    std::error_code ignored;
    std::filesystem::remove_all(staging, ignored);
    return staging;
}

} // namespace

std::filesystem::path ExportsFolder(const std::filesystem::path& user_folder) {
    return user_folder / std::filesystem::path(u8"导出");
}

ExportsWriter::ExportsWriter(const std::filesystem::path& user_folder,
                             const std::filesystem::path& pictures, SiteFacts site)
    : m_final(ExportsFolder(user_folder)), m_aside(beside(user_folder, u8".导出.old")),
      m_folder(fresh_staging(user_folder)), m_hugo(m_folder / "hugo", pictures, site),
      m_wordpress(m_folder / "wordpress.xml", m_folder / "wp-content" / "uploads" / "pellumo",
                  pictures, site) {}

ExportsWriter::~ExportsWriter() {
    if (!m_finished) {
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
    }
}

void ExportsWriter::add_post(const ExportPost& post) {
    m_hugo.add_post(post);
    m_wordpress.add_post(post);
    ++m_exported;
}

void ExportsWriter::add_failure(std::size_t number, const std::string& address,
                                const std::string& reason) {
    m_failures += "第 " + std::to_string(number) + " 篇：" + address + "（" +
                  (reason.empty() ? "原因不明" : reason) + "）\n";
}

bool ExportsWriter::finish() {
    std::string notes = "导出了 " + std::to_string(m_exported) +
                        " 篇文章：hugo/ 是 Hugo 网站，wordpress.xml 是 WordPress 导出文件"
                        "（图片在 wp-content/uploads/pellumo/）。\n";
    notes += m_failures.empty() ? "没有未能导出的文章。\n"
                                : "\n以下文章未能保存，没有导出：\n" + m_failures;
    std::vector<std::filesystem::path> failed = m_hugo.finish();
    const std::vector<std::filesystem::path> wordpress = m_wordpress.finish();
    failed.insert(failed.end(), wordpress.begin(), wordpress.end());
    ExportFiles files;
    files.write(m_folder / u8"说明.txt", notes);
    // Every file of the new exports on the disk at once, before they take the old ones' place.
    m_finished = failed.empty() && files.failures().empty() &&
                 platform::sync_file_system(m_folder) &&
                 platform::swap_in_folder(m_folder, m_final, m_aside);
    return m_finished;
}

} // namespace exports
