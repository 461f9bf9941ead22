// Form1's controls, placed at the layout's pixel positions (15 twips to the pixel).

#include "window/form1.h"
#include "window/form1_style.h"

#include "blog/blog_address.h"
#include "platform/text.h"
#include "platform/window_frame.h"
#include "resources/version.h"

#include <gtkmm/cssprovider.h>
#include <gtkmm/signallistitemfactory.h>
#include <gtkmm/stringobject.h>
#include <gtkmm/stylecontext.h>

namespace {

struct Place {
    int left;
    int top;
    int width;
    int height;
};

void put(Gtk::Fixed& client, Gtk::Widget& control, const char* name, Place place) {
    control.set_name(name);
    control.set_size_request(place.width, place.height);
    client.put(control, place.left, place.top);
}

void label_style(Gtk::Label& label) {
    label.set_xalign(0.0F);
    label.set_yalign(0.0F);
    label.set_ellipsize(Pango::EllipsizeMode::NONE);
    label.set_single_line_mode(true);
    label.set_overflow(Gtk::Overflow::HIDDEN);
}

// Once per display: every window of the program shares the look.
void install_style(const Glib::RefPtr<Gdk::Display>& display) {
    static Gdk::Display* styled = nullptr;
    if (styled == display.get()) {
        return;
    }
    auto css = Gtk::CssProvider::create();
    css->load_from_data(form1_style::css);
    Gtk::StyleContext::add_provider_for_display(display, css,
                                                GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    styled = display.get();
}

Glib::RefPtr<Gtk::ListItemFactory> list1_rows() {
    auto factory = Gtk::SignalListItemFactory::create();
    factory->signal_setup().connect([](const Glib::RefPtr<Gtk::ListItem>& item) {
        auto* row = Gtk::make_managed<Gtk::Label>();
        row->set_xalign(0.0F);
        row->set_single_line_mode(true);
        item->set_child(*row);
    });
    factory->signal_bind().connect([](const Glib::RefPtr<Gtk::ListItem>& item) {
        auto* row = dynamic_cast<Gtk::Label*>(item->get_child());
        auto text = std::dynamic_pointer_cast<Gtk::StringObject>(item->get_item());
        if (row != nullptr && text) {
            row->set_text(text->get_string());
        }
    });
    return factory;
}

} // namespace

void Form1::build_layout() {
    set_title(version::product_name);
    set_icon_name(version::application_id);
    set_resizable(false);
    // Closing hides the window and so ends the application; the window itself stays whole for
    // handlers that are still unwinding.
    set_hide_on_close(true);
    platform::use_fixed_frame(*this);
    add_css_class("form1");

    install_style(get_display());

    txtblog.set_text(platform::utf16_to_utf8(blog::HomeAddress));
    Command1.set_label("获取文章链接");
    Command2.set_label("保存文章");
    Label5.set_text(platform::utf16_to_utf8(std::u16string(blog::DownloadSiteName) +
                                            u" -免费软件、共享软件一网打尽!"));
    for (Gtk::Label* label : {&Label1, &Label2, &Label3, &Label4, &Label5}) {
        label_style(*label);
    }

    m_list1_model = Gtk::StringList::create({});
    m_list1_selection = Gtk::SingleSelection::create(m_list1_model);
    m_list1_selection->set_autoselect(false);
    m_list1_selection->set_can_unselect(true);
    List1.set_model(m_list1_selection);
    List1.set_factory(list1_rows());
    m_list1_scroller.set_child(List1);
    m_list1_scroller.set_policy(Gtk::PolicyType::AUTOMATIC, Gtk::PolicyType::AUTOMATIC);
    m_list1_scroller.set_has_frame(true);

    // Children go in by tab index, which gives the focus order.
    m_client.set_size_request(740, 482);
    put(m_client, WebBrowser1.widget(), "WebBrowser1", {8, 32, 721, 185});
    put(m_client, txtblog, "txtblog", {8, 0, 449, 25});
    put(m_client, Command1, "Command1", {472, 0, 145, 25});
    put(m_client, Command2, "Command2", {640, 0, 89, 25});
    put(m_client, m_list1_scroller, "List1Frame", {8, 248, 721, 194});
    List1.set_name("List1");
    put(m_client, Label1, "Label1", {368, 464, 201, 17});
    put(m_client, Label2, "Label2", {16, 464, 121, 17});
    put(m_client, Label3, "Label3", {176, 464, 153, 17});
    put(m_client, Label4, "Label4", {608, 464, 89, 17});
    put(m_client, Label5, "Label5", {40, 224, 273, 17});
    set_child(m_client);
}
