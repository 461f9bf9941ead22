#pragma once
// Lets slow and hanging answers give up at once when the service is told to stop; the server
// only finishes stopping when every handler has returned.

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace sample_blog {

class StopFlag {
public:
    void raise();
    bool raised();
    // Sleeps for `duration` unless the flag is raised first; false when it was.
    bool sleep_for(std::chrono::milliseconds duration);
    void wait();

private:
    std::mutex m_mutex;
    std::condition_variable m_raised_changed;
    bool m_raised = false;
};

} // namespace sample_blog
