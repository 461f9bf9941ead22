#include "tools/sample_blog/stop_flag.h"

namespace sample_blog {

void StopFlag::raise() {
    {
        const std::lock_guard lock(m_mutex);
        m_raised = true;
    }
    m_raised_changed.notify_all();
}

bool StopFlag::raised() {
    const std::lock_guard lock(m_mutex);
    return m_raised;
}

bool StopFlag::sleep_for(std::chrono::milliseconds duration) {
    std::unique_lock lock(m_mutex);
    return !m_raised_changed.wait_for(lock, duration, [this] { return m_raised; });
}

void StopFlag::wait() {
    std::unique_lock lock(m_mutex);
    m_raised_changed.wait(lock, [this] { return m_raised; });
}

} // namespace sample_blog
