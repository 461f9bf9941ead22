#include "platform/interval_timer.h"

#include "platform/unhandled_error.h"

#include <glibmm/main.h>

namespace platform {

IntervalTimer::IntervalTimer(unsigned interval_ms, std::function<void()> tick)
    : m_interval_ms(interval_ms), m_tick(std::move(tick)) {}

IntervalTimer::~IntervalTimer() {
    m_connection.disconnect();
}

void IntervalTimer::set_enabled(bool enabled) {
    if (!enabled) {
        m_connection.disconnect();
        return;
    }
    if (m_connection.connected()) {
        return;
    }
    m_connection = Glib::signal_timeout().connect(
        [this] {
            guarded(m_tick);
            return true;
        },
        m_interval_ms);
}

} // namespace platform
