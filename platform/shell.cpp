#include "platform/shell.h"

#include "platform/text.h"

#include <gio/gio.h>

#include <string>

namespace platform {
namespace {

std::function<void(std::u16string_view)> g_handler;

void launch_finished(GObject*, GAsyncResult* result, gpointer) {
    // Nobody waits for the browser; a failure (no handler, no display) is dropped here.
    GError* error = nullptr;
    g_app_info_launch_default_for_uri_finish(result, &error);
    g_clear_error(&error);
}

} // namespace

void open_in_background(std::u16string_view address) {
    if (g_handler) {
        g_handler(address);
        return;
    }
    const std::string uri = utf16_to_utf8(address);
    g_app_info_launch_default_for_uri_async(uri.c_str(), nullptr, nullptr, launch_finished,
                                            nullptr);
}

void set_shell_handler(std::function<void(std::u16string_view)> handler) {
    g_handler = std::move(handler);
}

} // namespace platform
