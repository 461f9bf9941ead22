#include "platform/part_file.h"

#include "platform/files.h"

#include <fcntl.h>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace platform {
namespace {

constexpr std::size_t held_bytes = std::size_t{64} << 10;

} // namespace

PartFile::PartFile(std::filesystem::path file, Durability durability)
    : m_file(std::move(file)), m_part(m_file), m_durability(durability) {
    ignore_file_size_signal();
    m_part += part_suffix;
    m_fd = ::open(m_part.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    m_good = m_fd >= 0;
}

PartFile::~PartFile() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
    if (!m_committed) {
        std::error_code ignored;
        std::filesystem::remove(m_part, ignored);
    }
}

bool PartFile::flush() {
    m_good = m_good && write_all(m_fd, m_held);
    m_held.clear();
    return m_good;
}

bool PartFile::write(std::string_view bytes) {
    if (!m_good) {
        return false;
    }
    if (m_held.size() + bytes.size() < held_bytes) {
        m_held += bytes;
        return true;
    }
    return flush() && (m_good = write_all(m_fd, bytes));
}

bool PartFile::commit() {
    flush();
    if (m_good && m_durability == Durability::durable) {
        m_good = ::fsync(m_fd) == 0;
    }
    if (m_fd >= 0) {
        m_good = ::close(m_fd) == 0 && m_good;
        m_fd = -1;
    }
    if (!m_good) {
        return false;
    }
    std::error_code error;
    std::filesystem::rename(m_part, m_file, error);
    m_committed = !error;
    return m_committed;
}

bool replace_file(const std::filesystem::path& file, std::string_view bytes,
                  Durability durability) {
    PartFile part(file, durability);
    return part.write(bytes) && part.commit();
}

bool sync_folder(const std::filesystem::path& folder) {
    const int fd =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool synced = ::fsync(fd) == 0;
    return ::close(fd) == 0 && synced;
}

} // namespace platform
