#include "window/tab_order_fixed.h"

#include <algorithm>
#include <vector>

bool TabOrderFixed::move_focus(bool forward) {
    std::vector<Gtk::Widget*> order;
    for (Gtk::Widget* child = get_first_child(); child != nullptr;
         child = child->get_next_sibling()) {
        order.push_back(child);
    }
    if (!forward) {
        std::reverse(order.begin(), order.end());
    }
    const auto direction =
        forward ? Gtk::DirectionType::TAB_FORWARD : Gtk::DirectionType::TAB_BACKWARD;
    const auto current = std::find(order.begin(), order.end(), get_focus_child());
    // Children after the current one first, then from the start again.
    std::vector<Gtk::Widget*> candidates;
    if (current != order.end()) {
        candidates.assign(current + 1, order.end());
        candidates.insert(candidates.end(), order.begin(), current);
    } else {
        candidates = order;
    }
    for (Gtk::Widget* child : candidates) {
        if (child->get_visible() && child->get_sensitive() && child->child_focus(direction)) {
            return true;
        }
    }
    return false;
}
