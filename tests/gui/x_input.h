#pragma once
// Real pointer and keyboard input through the X server (xdotool), for what only a user's input
// shows: modality, gestures.

#include <string>

namespace Gtk {
class Widget;
}

namespace gui_testing {

// Clicks the primary button on the widget, which must be shown, at the given fractions of its
// width and height.
void click_widget(Gtk::Widget& widget, double across = 0.5, double down = 0.5);

// What xprop prints for a property of the widget's window on the X server.
std::string window_property(Gtk::Widget& widget, const std::string& property);

// Asks the widget's window to close as the window manager does when its close button is
// pressed: a WM_DELETE_WINDOW message to the window.
void ask_window_to_close(Gtk::Widget& widget);

// Sends a key (an xdotool key name such as "Return") to the window that has the focus.
void press_key(const std::string& key);

} // namespace gui_testing
