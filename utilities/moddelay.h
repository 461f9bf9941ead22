#pragma once

#include <cstdint>
#include <functional>

namespace moddelay {

// What a wait needs of the platform; tests put a fake clock in here.
struct WaitPlatform {
    std::function<std::uint32_t()> clock_ms;
    std::function<void()> serve_pending_events;
    std::function<void(std::uint32_t timeout_ms)> wait_for_events;
    std::function<bool()> should_stop;
};

const WaitPlatform& real_wait_platform();

// Serves events until `done` holds (checked after each batch) or `limit_ms` has passed on the
// clock. Every pending event is served before the clock is read again, but the thread sleeps
// while nothing is pending. Returns early, with false, once the program is closing.
bool pump_until(const std::function<bool()>& done, std::uint32_t limit_ms,
                const WaitPlatform& platform = real_wait_platform());

// Waits `seconds` while the window stays live. A limit of 0 or less returns at once; the limit
// must fit 16-bit milliseconds (-32..32 s), otherwise std::out_of_range.
void DelaySeconds(int seconds, const WaitPlatform& platform = real_wait_platform());

} // namespace moddelay
