#pragma once
// A modal box with one OK button that blocks its caller until answered. While it waits, the
// program's events are still served (browser loads, timer ticks), but the parent window takes
// no input.

#include <functional>
#include <string_view>

namespace Gtk {
class Window;
}

namespace platform {

using MessageBoxHandler = std::function<void(std::u16string_view text, std::u16string_view title)>;

// Returns when the user presses OK or closes the box, or at once when the program is closing.
void MsgBox(std::u16string_view text, std::u16string_view title = u"Pellumo");

// The window the box is modal over; nullptr for none.
void set_message_box_parent(Gtk::Window* parent);

// Replaces the box, for tests; an empty handler brings the real box back.
void set_message_box_handler(MessageBoxHandler handler);

} // namespace platform
