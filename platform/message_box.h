#pragma once
// A modal box with one OK button, or with 是 and 否, that blocks its caller until answered. While
// it waits, the program's events are still served (browser loads, timer ticks), but the parent
// window takes no input.

#include <functional>
#include <string_view>

namespace Gtk {
class Window;
}

namespace platform {

using MessageBoxHandler = std::function<void(std::u16string_view text, std::u16string_view title)>;
using QuestionBoxHandler = std::function<bool(std::u16string_view text, std::u16string_view title)>;

// Returns when the user presses OK or closes the box, or at once when the program is closing.
void MsgBox(std::u16string_view text, std::u16string_view title = u"Pellumo");

// The question box: 是 is the default button (Enter); 否, Escape and closing the box say no.
// True for 是; false for 否, and at once when the program is closing.
bool MsgBoxYesNo(std::u16string_view text, std::u16string_view title = u"Pellumo");

// The window the box is modal over; nullptr for none.
void set_message_box_parent(Gtk::Window* parent);

// Replaces the box, for tests; an empty handler brings the real box back.
void set_message_box_handler(MessageBoxHandler handler);
void set_question_box_handler(QuestionBoxHandler handler);

} // namespace platform
