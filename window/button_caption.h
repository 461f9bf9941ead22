#pragma once
// Running captions (a count, a countdown) on a button of fixed width.

#include <string_view>

namespace Gtk {
class Button;
}

namespace window {

// Shows `full` when it fits the button's width, otherwise `short_form` (the count alone, say):
// the button never widens for its caption. Before the button has a width, `full` is shown.
void ShowFittingCaption(Gtk::Button& button, std::u16string_view full,
                        std::u16string_view short_form);

} // namespace window
