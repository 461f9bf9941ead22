#include "platform/files.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace platform {
namespace {

// Owns a file descriptor; close() reports the result that matters for written data.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor() { close(); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }

    bool close() {
        if (m_fd < 0) {
            return false;
        }
        const int result = ::close(m_fd);
        m_fd = -1;
        return result == 0;
    }

private:
    int m_fd;
};

fs::path password_home() {
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
        found == nullptr || found->pw_dir == nullptr) {
        return {};
    }
    return found->pw_dir;
}

} // namespace

bool write_all(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

fs::path program_folder() {
    std::error_code error;
    const fs::path executable = fs::read_symlink("/proc/self/exe", error);
    return error ? fs::path() : executable.parent_path();
}

fs::path home_folder() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && *home != '\0') {
        return home;
    }
    return password_home();
}

bool has_ordinary_files(const fs::path& folder) {
    std::error_code error;
    fs::directory_iterator entry(folder, error);
    for (; !error && entry != fs::directory_iterator(); entry.increment(error)) {
        std::error_code type_error;
        const bool hidden = entry->path().filename().native().starts_with('.');
        if (!hidden && entry->is_regular_file(type_error)) {
            return true;
        }
    }
    return false;
}

bool create_folder(const fs::path& folder) {
    std::error_code error;
    fs::create_directory(folder, error);
    return fs::is_directory(folder, error);
}

void ignore_file_size_signal() {
    [[maybe_unused]] static const auto previous_handler = std::signal(SIGXFSZ, SIG_IGN);
}

bool append_bytes(const fs::path& file, std::string_view bytes) {
    ignore_file_size_signal();

    FileDescriptor fd(::open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666));
    struct stat before {};
    if (!fd.valid() || ::fstat(fd.get(), &before) != 0) {
        return false;
    }
    // A half-written body must not stay: the next save would append a whole copy after it.
    if (!write_all(fd.get(), bytes)) {
        [[maybe_unused]] const int ignored = ::ftruncate(fd.get(), before.st_size);
        return false;
    }
    if (!fd.close()) {
        [[maybe_unused]] const int ignored = ::truncate(file.c_str(), before.st_size);
        return false;
    }
    return true;
}

bool can_write_in(const fs::path& folder) {
    std::error_code error;
    return fs::is_directory(folder, error) && ::access(folder.c_str(), W_OK | X_OK) == 0;
}

} // namespace platform
