#pragma once
// A control that takes exactly the size it is given, as on the original form, even where the
// theme, the fallback font or a long caption would make it larger: the CJK fallback fonts' line
// spacing is wider than SimSun's, which would otherwise push entries and labels a few pixels past
// their boxes, and a button would widen the window for its caption.

#include <gtkmm/layoutmanager.h>
#include <gtkmm/widget.h>

// Buttons measure through their layout manager, which never asks the widget's measure_vfunc.
// This one asks for no room of its own and gives each child the whole inside, as a bin does.
class FixedBinLayout : public Gtk::LayoutManager {
public:
    static Glib::RefPtr<FixedBinLayout> create() {
        return Glib::make_refptr_for_instance(new FixedBinLayout());
    }

protected:
    FixedBinLayout() : Glib::ObjectBase("PellumoFixedBinLayout") {}

    void measure_vfunc(const Gtk::Widget&, Gtk::Orientation, int, int& minimum, int& natural,
                       int& minimum_baseline, int& natural_baseline) const override {
        minimum = 0;
        natural = 0;
        minimum_baseline = -1;
        natural_baseline = -1;
    }

    void allocate_vfunc(const Gtk::Widget& widget, int width, int height, int baseline) override {
        for (GtkWidget* child = gtk_widget_get_first_child(const_cast<GtkWidget*>(widget.gobj()));
             child != nullptr; child = gtk_widget_get_next_sibling(child)) {
            if (gtk_widget_should_layout(child)) {
                int minimum = 0;
                gtk_widget_measure(child, GTK_ORIENTATION_HORIZONTAL, -1, &minimum, nullptr,
                                   nullptr, nullptr);
                gtk_widget_allocate(child, width, height, baseline, nullptr);
            }
        }
    }
};

template <class Control> class FixedSize : public Control {
public:
    template <class... Arguments>
    explicit FixedSize(Arguments&&... arguments) : Control(std::forward<Arguments>(arguments)...) {
        if (const auto layout = this->get_layout_manager();
            layout && GTK_IS_BIN_LAYOUT(layout->gobj())) {
            this->set_layout_manager(FixedBinLayout::create());
        }
    }

protected:
    void measure_vfunc(Gtk::Orientation orientation, int for_size, int& minimum, int& natural,
                       int& minimum_baseline, int& natural_baseline) const override {
        Control::measure_vfunc(orientation, for_size, minimum, natural, minimum_baseline,
                               natural_baseline);
        // The size request (set_size_request) then decides alone.
        minimum = 0;
        natural = 0;
        minimum_baseline = -1;
        natural_baseline = -1;
    }
};
