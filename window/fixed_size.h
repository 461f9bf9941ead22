#pragma once
// A control that takes exactly the size it is given, as on the original form, even where the
// theme or the fallback font would make it larger: the CJK fallback fonts' line spacing is wider
// than SimSun's, which would otherwise push entries and labels a few pixels past their boxes.

#include <gtkmm/widget.h>

template <class Control> class FixedSize : public Control {
public:
    using Control::Control;

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
