#include "platform/clock.h"

#include <glib.h>

namespace platform {

std::uint32_t tick_count_ms() {
    return static_cast<std::uint32_t>(g_get_monotonic_time() / 1000);
}

} // namespace platform
