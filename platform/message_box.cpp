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

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform {
namespace {

Gtk::Window* g_parent = nullptr;
MessageBoxHandler g_handler;
QuestionBoxHandler g_question_handler;

// The box with its buttons in order; the first is the default (Enter), and Escape or closing
// the box gives the last one's answer.
class MessageBoxWindow : public Gtk::Window {
public:
    MessageBoxWindow(std::u16string_view text, std::u16string_view title,
                     const std::vector<std::string>& buttons) {
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

        m_row.set_halign(Gtk::Align::CENTER);
        m_row.set_spacing(12);
        m_row.set_margin_bottom(12);
        for (std::size_t i = 0; i < buttons.size(); ++i) {
            auto& button = m_buttons.emplace_back(std::make_unique<Gtk::Button>(buttons[i]));
            button->set_size_request(90, -1);
            button->signal_clicked().connect([this, i] { m_answer = i; });
            m_row.append(*button);
        }
        m_last = buttons.empty() ? 0 : buttons.size() - 1;

        m_layout.set_orientation(Gtk::Orientation::VERTICAL);
        m_layout.append(m_text);
        m_layout.append(m_row);
        set_child(m_layout);
        if (!m_buttons.empty()) {
            set_default_widget(*m_buttons.front());
        }

        // Escape answers the box as its last button does.
        auto keys = Gtk::EventControllerKey::create();
        keys->signal_key_pressed().connect(
            [this](guint keyval, guint, Gdk::ModifierType) {
                if (keyval != GDK_KEY_Escape) {
                    return false;
                }
                m_answer = m_last;
                return true;
            },
            false);
        add_controller(keys);
    }

    // The button pressed, from 0; nothing while the box waits.
    std::optional<std::size_t> answer() const { return m_answer; }

    void show_and_focus() {
        set_visible(true);
        if (!m_buttons.empty()) {
            m_buttons.front()->grab_focus();
        }
    }

protected:
    bool on_close_request() override {
        m_answer = m_last;
        return true; // the caller hides it when its wait ends
    }

private:
    Gtk::Box m_layout;
    Gtk::Label m_text;
    Gtk::Box m_row;
    std::vector<std::unique_ptr<Gtk::Button>> m_buttons;
    std::size_t m_last = 0;
    std::optional<std::size_t> m_answer;
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

// The button pressed; nothing when the program is closing.
std::optional<std::size_t> show_real_box(std::u16string_view text, std::u16string_view title,
                                         const std::vector<std::string>& buttons) {
    if (quit_requested()) {
        return std::nullopt;
    }
    MessageBoxWindow box(text, title, buttons);
    const ParentCloseWatch parent_close;
    box.show_and_focus();
    // GTK 4 has no blocking run(): serve the main context here until the box is answered. The
    // box's modality keeps the parent from taking input meanwhile.
    const auto context = Glib::MainContext::get_default();
    while (!box.answer() && !quit_requested() && !parent_close.asked()) {
        context->iteration(true);
    }
    box.set_visible(false);
    if (parent_close.asked() && g_parent != nullptr) {
        // Closing the window while the box is up closes the box, then the window as ever.
        g_parent->close();
    }
    return quit_requested() ? std::nullopt : box.answer();
}

} // namespace

void MsgBox(std::u16string_view text, std::u16string_view title) {
    if (g_handler) {
        g_handler(text, title);
        return;
    }
    show_real_box(text, title, {"确定"});
}

bool MsgBoxYesNo(std::u16string_view text, std::u16string_view title) {
    if (g_question_handler) {
        return g_question_handler(text, title);
    }
    return show_real_box(text, title, {"是", "否"}) == std::size_t{0};
}

void set_message_box_parent(Gtk::Window* parent) {
    g_parent = parent;
}

void set_message_box_handler(MessageBoxHandler handler) {
    g_handler = std::move(handler);
}

void set_question_box_handler(QuestionBoxHandler handler) {
    g_question_handler = std::move(handler);
}

} // namespace platform
