#pragma once

#include <cstdint>

namespace platform {

// Milliseconds on a monotonic clock, cut to 32 bits like the system tick counter: it wraps
// after 49.7 days, so readings are only ever compared through their difference.
std::uint32_t tick_count_ms();

// Milliseconds from one reading to a later one, right across a wrap-around.
constexpr std::uint32_t ticks_between(std::uint32_t earlier, std::uint32_t later) {
    return later - earlier;
}

} // namespace platform
