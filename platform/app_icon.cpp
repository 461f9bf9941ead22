#include "platform/app_icon.h"

#include "resources/icon_resource.h"
#include "resources/version.h"

#include <gdkmm/display.h>
#include <gtkmm/icontheme.h>

namespace platform {

void install_app_icon() {
    pellumo_icons_register_resource();
    // The theme looks in <path>/<size>/apps/, as in an installed hicolor theme.
    Gtk::IconTheme::get_for_display(Gdk::Display::get_default())
        ->add_resource_path(version::icon_resource_path);
}

} // namespace platform
