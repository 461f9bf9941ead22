#include "window/button_caption.h"

#include "platform/text.h"

#include <gtkmm/button.h>
#include <pangomm/layout.h>

namespace window {

void ShowFittingCaption(Gtk::Button& button, std::u16string_view full,
                        std::u16string_view short_form) {
    const std::string full_text = platform::utf16_to_utf8(full);
    // The label the button made for its caption spans the button's inside, padding excluded,
    // and draws in the button's font.
    Gtk::Widget* caption = button.get_child();
    const int room = caption != nullptr ? caption->get_width() : 0;
    int width = 0;
    int height = 0;
    if (room > 0) {
        caption->create_pango_layout(full_text)->get_pixel_size(width, height);
    }
    button.set_label(width <= room ? full_text : platform::utf16_to_utf8(short_form));
}

} // namespace window
