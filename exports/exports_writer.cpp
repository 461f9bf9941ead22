#include "exports/exports_writer.h"

namespace exports {

std::filesystem::path ExportsFolder(const std::filesystem::path& user_folder) {
    return user_folder / std::filesystem::path(u8"导出");
}

ExportsWriter::ExportsWriter(const std::filesystem::path& user_folder,
                             const std::filesystem::path& pictures, SiteFacts site)
    : m_folder(ExportsFolder(user_folder)), m_hugo(m_folder / "hugo", pictures, site),
      m_wordpress(m_folder / "wordpress.xml", m_folder / "wp-content" / "uploads" / "pellumo",
                  pictures, site) {}

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
    return failed.empty() && files.failures().empty();
}

} // namespace exports
