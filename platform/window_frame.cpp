#include "platform/window_frame.h"

#include <gdkmm/surface.h>
#include <gtkmm/window.h>

// Xlib's macros clash with gtkmm's names, so it comes last.
#include <gdk/x11/gdkx.h>

namespace platform {
namespace {

// The Motif window manager hints, which X11 window managers read for the frame's buttons.
struct MotifHints {
    unsigned long flags;
    unsigned long functions;
    unsigned long decorations;
    long input_mode;
    unsigned long status;
};
constexpr unsigned long hint_functions = 1UL << 0;
constexpr unsigned long hint_decorations = 1UL << 1;
constexpr unsigned long function_move = 1UL << 2;
constexpr unsigned long function_close = 1UL << 5;
constexpr unsigned long decoration_border = 1UL << 1;
constexpr unsigned long decoration_title = 1UL << 3;
constexpr unsigned long decoration_menu = 1UL << 4;

void set_motif_hints(Gtk::Window& window) {
    const auto surface = window.get_surface();
    if (!surface || !GDK_IS_X11_SURFACE(surface->gobj())) {
        return;
    }
    GdkDisplay* display = gdk_surface_get_display(surface->gobj());
    const MotifHints hints{hint_functions | hint_decorations, function_move | function_close,
                           decoration_border | decoration_title | decoration_menu, 0, 0};
    const Atom property = gdk_x11_get_xatom_by_name_for_display(display, "_MOTIF_WM_HINTS");
    XChangeProperty(gdk_x11_display_get_xdisplay(display), gdk_x11_surface_get_xid(surface->gobj()),
                    property, property, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&hints), sizeof(hints) / sizeof(long));
}

} // namespace

void use_fixed_frame(Gtk::Window& window) {
    window.signal_realize().connect([&window] { set_motif_hints(window); });
}

} // namespace platform
