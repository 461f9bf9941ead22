#include "platform/message_box.h"

#include "platform/quit_request.h"
#include "platform/text.h"

#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/eventcontrollerkey.h>
#include <gtkmm/label.h>
#include <gtkmm/window.h>

#include <gdkmm/surface.h>

#include <glibmm/main.h>

namespace platform {
namespace {

Gtk::Window* g_parent = nullptr;
MessageBoxHandler g_handler;

class MessageBoxWindow : public Gtk::Window {
public:
    MessageBoxWindow(std::u16string_view text, std::u16string_view title) {
        set_title(utf16_to_utf8(title));
        set_modal(true);
        set_resizable(false);
        set_deletable(true);
        if (g_parent != nullptr) {
            set_transient_for(*g_parent);
        }
        add_css_class("message-box");

        m_text.set_text(utf16_to_utf8(text));
        m_text.set_wrap(true);
        m_text.set_max_width_chars(60);
        m_text.set_xalign(0.0F);
        m_text.set_margin(16);

        m_ok.set_label("确定");
        m_ok.set_halign(Gtk::Align::CENTER);
        m_ok.set_size_request(90, -1);
        m_ok.set_margin_bottom(12);
        m_ok.signal_clicked().connect([this] { m_answered = true; });

        m_layout.set_orientation(Gtk::Orientation::VERTICAL);
        m_layout.append(m_text);
        m_layout.append(m_ok);
        set_child(m_layout);
        set_default_widget(m_ok);

        // Escape answers the box as OK does.
        auto keys = Gtk::EventControllerKey::create();
        keys->signal_key_pressed().connect(
            [this](guint keyval, guint, Gdk::ModifierType) {
                if (keyval != GDK_KEY_Escape) {
                    return false;
                }
                m_answered = true;
                return true;
            },
            false);
        add_controller(keys);
    }

    bool answered() const { return m_answered; }

    void show_and_focus() {
        set_visible(true);
        m_ok.grab_focus();
    }

protected:
    bool on_close_request() override {
        m_answered = true;
        return true; // the caller hides it when its wait ends
    }

private:
    Gtk::Box m_layout;
    Gtk::Label m_text;
    Gtk::Button m_ok;
    bool m_answered = false;
};

// While a modal box is up, GTK drops the window manager's request to close any other window,
// so closing the program would not be heard. This watches for that request to the parent.
class ParentCloseWatch {
public:
    ParentCloseWatch()
        : m_signal(g_signal_lookup("event", GDK_TYPE_SURFACE)),
          m_hook(g_signal_add_emission_hook(m_signal, 0, &ParentCloseWatch::on_event, this,
                                            nullptr)) {}
    ~ParentCloseWatch() { g_signal_remove_emission_hook(m_signal, m_hook); }
    ParentCloseWatch(const ParentCloseWatch&) = delete;
    ParentCloseWatch& operator=(const ParentCloseWatch&) = delete;

    bool asked() const { return m_asked; }

private:
    static gboolean on_event(GSignalInvocationHint*, guint count, const GValue* values,
                             gpointer data) {
        auto* watch = static_cast<ParentCloseWatch*>(data);
        if (count < 2 || g_parent == nullptr) {
            return TRUE;
        }
        const auto* surface = static_cast<GdkSurface*>(g_value_get_object(&values[0]));
        auto* event = static_cast<GdkEvent*>(g_value_peek_pointer(&values[1]));
        const auto parent_surface = g_parent->get_surface();
        if (event != nullptr && gdk_event_get_event_type(event) == GDK_DELETE && parent_surface &&
            surface == parent_surface->gobj()) {
            watch->m_asked = true;
        }
        return TRUE; // stay connected
    }

    guint m_signal;
    gulong m_hook;
    bool m_asked = false;
};

void show_real_box(std::u16string_view text, std::u16string_view title) {
    if (quit_requested()) {
        return;
    }
    MessageBoxWindow box(text, title);
    const ParentCloseWatch parent_close;
    box.show_and_focus();
    // GTK 4 has no blocking run(): serve the main context here until the box is answered. The
    // box's modality keeps the parent from taking input meanwhile.
    const auto context = Glib::MainContext::get_default();
    while (!box.answered() && !quit_requested() && !parent_close.asked()) {
        context->iteration(true);
    }
    box.set_visible(false);
    if (parent_close.asked() && g_parent != nullptr) {
        // Closing the window while the box is up closes the box, then the window as ever.
        g_parent->close();
    }
}

} // namespace

void MsgBox(std::u16string_view text, std::u16string_view title) {
    if (g_handler) {
        g_handler(text, title);
        return;
    }
    show_real_box(text, title);
}

void set_message_box_parent(Gtk::Window* parent) {
    g_parent = parent;
}

void set_message_box_handler(MessageBoxHandler handler) {
    g_handler = std::move(handler);
}

} // namespace platform
