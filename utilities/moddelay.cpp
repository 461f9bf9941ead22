#include "utilities/moddelay.h"

#include "platform/clock.h"
#include "platform/event_pump.h"
#include "platform/quit_request.h"

#include <algorithm>
#include <stdexcept>

namespace moddelay {

const WaitPlatform& real_wait_platform() {
    static const WaitPlatform platform{platform::tick_count_ms, platform::process_pending_events,
                                       platform::wait_for_events, platform::quit_requested};
    return platform;
}

bool pump_until(const std::function<bool()>& done, std::uint32_t limit_ms,
                const WaitPlatform& platform) {
    if (limit_ms == 0) {
        return done();
    }
    const std::uint32_t start = platform.clock_ms();
    // The clock counts whole milliseconds, so the first one may be almost over when the wait
    // starts: one tick more keeps the wait from ending short.
    auto remaining = [&]() -> std::uint32_t {
        const std::uint32_t elapsed = platform::ticks_between(start, platform.clock_ms());
        return elapsed <= limit_ms ? std::max<std::uint32_t>(limit_ms - elapsed, 1) : 0;
    };
    while (remaining() > 0) {
        if (platform.should_stop()) {
            return false;
        }
        platform.serve_pending_events();
        if (done()) {
            return true;
        }
        if (const std::uint32_t left = remaining(); left > 0) {
            platform.wait_for_events(left);
            if (done()) {
                return true;
            }
        }
    }
    return done();
}

void DelaySeconds(int seconds, const WaitPlatform& platform) {
    // The limit is kept in 16-bit milliseconds, as the callers have always counted it.
    constexpr int max_seconds = 32;
    if (seconds > max_seconds || seconds < -max_seconds) {
        throw std::out_of_range("DelaySeconds: the wait overflows 16-bit milliseconds");
    }
    if (seconds <= 0) {
        return;
    }
    pump_until([] { return false; }, static_cast<std::uint32_t>(seconds) * 1000U, platform);
}

} // namespace moddelay
