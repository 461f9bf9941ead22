// GoogleTest's main for tests that need GTK: registering an application initialises GTK on
// the display given by DISPLAY before any test runs.

#include <gtest/gtest.h>
#include <gtkmm/application.h>

int main(int argc, char* argv[]) {
    testing::InitGoogleTest(&argc, argv);
    // WebKit and GLib run threads of their own, so a death test starts a fresh process.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto application =
        Gtk::Application::create("net.pellumo.PellumoTests", Gio::Application::Flags::NON_UNIQUE);
    application->register_application();
    return RUN_ALL_TESTS();
}
