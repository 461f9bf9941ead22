#pragma once
// A Gtk::Fixed that moves the focus among its children in the order they were added, as tab
// indexes do, instead of GTK's order by position on screen.

#include <gtkmm/fixed.h>

class TabOrderFixed : public Gtk::Fixed {
public:
    // Moves the focus to the next (or previous) child that takes it, after the one that has it,
    // wrapping around at the end. False when no child takes the focus.
    bool move_focus(bool forward);
};
