#pragma once
// The program's icon, compiled into it, so that its windows show it wherever it runs from.

namespace platform {

// Registers the icons' GResource and adds it to the default display's icon theme, where
// set_icon_name() with the application id finds it. Call once the display is open.
void install_app_icon();

} // namespace platform
