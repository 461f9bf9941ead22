#include "platform/app_icon.h"
#include "platform/unhandled_error.h"
#include "resources/version.h"
#include "window/form1.h"

#include <glib.h>
#include <gtkmm/application.h>

#include <memory>

int main(int argc, char* argv[]) {
    // The window's class must match the desktop entry whatever name started the program.
    g_set_prgname("pellumo");
    auto application =
        Gtk::Application::create(version::application_id, Gio::Application::Flags::NON_UNIQUE);
    // The window outlives the main loop, so handlers still on the stack when it closes unwind
    // into a live object.
    std::unique_ptr<Form1> form;
    application->signal_activate().connect([&] {
        platform::guarded([&] {
            platform::install_app_icon();
            form = std::make_unique<Form1>();
            application->add_window(*form);
            form->set_visible(true);
        });
    });
    // The program takes no arguments. Left to GApplication, an unknown option or an address
    // (taken for a file to open) would end the program before its window opens.
    return application->run(argc > 0 ? 1 : 0, argv);
}
