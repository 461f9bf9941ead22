#pragma once
// The program's one thread serves the GLib main context; these let a long operation keep the
// window live while it waits.

#include <cstdint>

namespace platform {

// Serves every event that is ready now, then returns.
void process_pending_events();

// Sleeps until an event is ready or the timeout passes, and serves what woke it.
void wait_for_events(std::uint32_t timeout_ms);

} // namespace platform
