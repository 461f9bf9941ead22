#pragma once
// While one lives, this process's writes past `bytes` fail with EFBIG, as on a full disk. The
// program ignores SIGXFSZ itself; the test dies of that signal if it ever stops doing so.

#include <sys/resource.h>

#include <stdexcept>

namespace testing_support {

class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        rlimit limited{};
        if (::getrlimit(RLIMIT_FSIZE, &m_saved) != 0) {
            throw std::runtime_error("getrlimit(RLIMIT_FSIZE) failed");
        }
        limited = m_saved;
        limited.rlim_cur = bytes;
        if (::setrlimit(RLIMIT_FSIZE, &limited) != 0) {
            throw std::runtime_error("setrlimit(RLIMIT_FSIZE) failed");
        }
    }
    ~FileSizeLimit() { ::setrlimit(RLIMIT_FSIZE, &m_saved); }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_saved{};
};

} // namespace testing_support
