#include "platform/quit_request.h"

#include <atomic>

namespace platform {
namespace {
// Read by work running off the window's thread too.
std::atomic<bool> g_quit_requested = false;
} // namespace

void request_quit() {
    g_quit_requested = true;
}
bool quit_requested() {
    return g_quit_requested;
}
void reset_quit_request() {
    g_quit_requested = false;
}

} // namespace platform
