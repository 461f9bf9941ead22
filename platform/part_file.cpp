#include "platform/part_file.h"

#include "platform/files.h"

#include <system_error>
#include <utility>

namespace platform {

PartFile::PartFile(std::filesystem::path file) : m_file(std::move(file)), m_part(m_file) {
    ignore_file_size_signal();
    m_part += part_suffix;
    m_out.reset(std::fopen(m_part.c_str(), "wb"));
    m_good = m_out != nullptr;
}

PartFile::~PartFile() {
    if (!m_committed) {
        m_out.reset();
        std::error_code ignored;
        std::filesystem::remove(m_part, ignored);
    }
}

bool PartFile::write(std::string_view bytes) {
    m_good = m_good && std::fwrite(bytes.data(), 1, bytes.size(), m_out.get()) == bytes.size();
    return m_good;
}

bool PartFile::commit() {
    if (!m_good || std::fclose(m_out.release()) != 0) {
        m_good = false;
        return false;
    }
    std::error_code error;
    std::filesystem::rename(m_part, m_file, error);
    m_committed = !error;
    return m_committed;
}

bool replace_file(const std::filesystem::path& file, std::string_view bytes) {
    PartFile part(file);
    return part.write(bytes) && part.commit();
}

} // namespace platform
