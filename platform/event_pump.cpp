#include "platform/event_pump.h"

#include <glib.h>

#include <memory>

namespace platform {
namespace {

struct SourceRemover {
    void operator()(GSource* source) const {
        g_source_destroy(source);
        g_source_unref(source);
    }
};

} // namespace

void process_pending_events() {
    GMainContext* context = g_main_context_default();
    while (g_main_context_pending(context)) {
        g_main_context_iteration(context, FALSE);
    }
}

void wait_for_events(std::uint32_t timeout_ms) {
    // A timeout source bounds the blocking iteration; it wakes the context and does nothing.
    const std::unique_ptr<GSource, SourceRemover> wake(g_timeout_source_new(timeout_ms));
    g_source_set_callback(
        wake.get(), [](gpointer) -> gboolean { return G_SOURCE_REMOVE; }, nullptr, nullptr);
    g_source_attach(wake.get(), g_main_context_default());
    g_main_context_iteration(g_main_context_default(), TRUE);
}

} // namespace platform
