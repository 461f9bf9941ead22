#pragma once
// A timer control: while enabled, calls its tick handler every interval on the main loop.

#include <sigc++/connection.h>

#include <functional>

namespace platform {

class IntervalTimer {
public:
    IntervalTimer(unsigned interval_ms, std::function<void()> tick);
    ~IntervalTimer();
    IntervalTimer(const IntervalTimer&) = delete;
    IntervalTimer& operator=(const IntervalTimer&) = delete;

    // Enabling restarts the interval; enabling an enabled timer leaves it running as it is.
    void set_enabled(bool enabled);
    bool enabled() const { return m_connection.connected(); }
    unsigned interval_ms() const { return m_interval_ms; }

private:
    unsigned m_interval_ms;
    std::function<void()> m_tick;
    sigc::connection m_connection;
};

} // namespace platform
