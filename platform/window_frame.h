#pragma once
// A fixed dialog-like frame for a main window: a title and a close button, but no maximise or
// minimise button.

namespace Gtk {
class Window;
}

namespace platform {

// Asks the window manager for a frame that only moves and closes the window. Takes effect on X11
// each time the window is mapped; elsewhere the window keeps the frame it is given.
void use_fixed_frame(Gtk::Window& window);

} // namespace platform
