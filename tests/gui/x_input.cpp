#include "tests/gui/x_input.h"

#include <gdkmm/display.h>
#include <gdkmm/surface.h>
#include <glibmm/spawn.h>
#include <gtkmm/native.h>
#include <gtkmm/widget.h>

// Xlib's macros clash with gtkmm's names, so it comes last.
#include <gdk/x11/gdkx.h>

#include <regex>
#include <stdexcept>

namespace gui_testing {
namespace {

std::string run(const std::string& command) {
    std::string output;
    std::string errors;
    int status = 0;
    Glib::spawn_command_line_sync(command, &output, &errors, &status);
    if (status != 0) {
        throw std::runtime_error(command + " failed: " + errors);
    }
    return output;
}

int field(const std::string& text, const char* name) {
    std::smatch match;
    if (!std::regex_search(text, match, std::regex(std::string(name) + R"(:\s*(-?\d+))"))) {
        throw std::runtime_error(std::string("xwininfo printed no ") + name);
    }
    return std::stoi(match[1]);
}

unsigned long window_id(Gtk::Widget& widget) {
    Gtk::Native* native = widget.get_native();
    if (native == nullptr) {
        throw std::logic_error("the widget is not in a window");
    }
    GdkSurface* surface = native->get_surface()->gobj();
    if (!GDK_IS_X11_SURFACE(surface)) {
        throw std::logic_error("not an X11 display");
    }
    return gdk_x11_surface_get_xid(surface);
}

} // namespace

std::string window_property(Gtk::Widget& widget, const std::string& property) {
    return run("xprop -id " + std::to_string(window_id(widget)) + " " + property);
}

void click_widget(Gtk::Widget& widget, double across, double down) {
    Gtk::Native* native = widget.get_native();
    // Under openbox only xwininfo reports the client area's true corner.
    const std::string info = run("xwininfo -id " + std::to_string(window_id(widget)));
    double x_in_native = 0;
    double y_in_native = 0;
    if (!widget.translate_coordinates(dynamic_cast<Gtk::Widget&>(*native),
                                      widget.get_width() * across, widget.get_height() * down,
                                      x_in_native, y_in_native)) {
        throw std::logic_error("click_widget: the widget has no place in its window");
    }
    double surface_x = 0;
    double surface_y = 0;
    native->get_surface_transform(surface_x, surface_y);
    const int x = field(info, "Absolute upper-left X") + static_cast<int>(x_in_native + surface_x);
    const int y = field(info, "Absolute upper-left Y") + static_cast<int>(y_in_native + surface_y);
    run("xdotool mousemove " + std::to_string(x) + " " + std::to_string(y) + " click 1");
}

void ask_window_to_close(Gtk::Widget& widget) {
    Display* display =
        gdk_x11_display_get_xdisplay(widget.get_native()->get_surface()->get_display()->gobj());
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window_id(widget);
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, event.xclient.window, False, NoEventMask, &event);
    XFlush(display);
}

void press_key(const std::string& key) {
    run("xdotool key " + key);
}

} // namespace gui_testing
