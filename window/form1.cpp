#include "window/form1.h"

#include "archive/blog_route.h"
#include "archive/raw_page_links.h"
#include "archive/wayback_address.h"
#include "blog/blog_address.h"
#include "blog/new_layout.h"
#include "platform/message_box.h"
#include "platform/quit_request.h"
#include "platform/shell.h"
#include "platform/text.h"
#include "platform/unhandled_error.h"

#include <gtkmm/eventcontrollerkey.h>
#include <gtkmm/gestureclick.h>

#include <glibmm/main.h>

#include <algorithm>

namespace {

// The newer layout's posts of the user named in the address box, in the form the list keeps.
blog::PostLinkList::NewLayoutForm new_layout_form(const archive::BlogRoute& route) {
    std::u16string user = blog::NewLayoutUser(route.user_name());
    if (route.wayback()) {
        return
            [user](std::u16string_view link) { return archive::new_layout_post_link(link, user); };
    }
    return [user](std::u16string_view link) { return blog::NewLayoutPostAddress(link, user); };
}

} // namespace

Form1::Form1() : Timer1(1000, [this] { Timer1_Timer(); }) {
    build_layout();
    connect_handlers();
    platform::set_message_box_parent(this);
    Form_Load();
}

Form1::~Form1() {
    platform::set_message_box_parent(nullptr);
}

void Form1::connect_handlers() {
    Command1.signal_clicked().connect([this] { platform::guarded([this] { HarvestRun(); }); });
    Command2.signal_clicked().connect([this] { platform::guarded([this] { SaveRun(); }); });
    List1.signal_activate().connect([this](guint position) {
        platform::guarded([this, position] {
            // A double-click first selects the row under the pointer.
            list1_select(position);
            List1_DblClick();
        });
    });
    auto click = Gtk::GestureClick::create();
    click->signal_released().connect(
        [this](int, double, double) { platform::guarded([this] { Label5_Click(); }); });
    Label5.add_controller(click);
    WebBrowser1.signal_DocumentComplete().connect(
        [this] { platform::guarded([this] { LinkCollector(); }); });
    WebBrowser1.signal_DownloadedPageNavigates().connect([this](const std::u16string& address) {
        platform::guarded([this, &address] { follow_from_raw_page(address); });
    });

    // Tab goes by tab index. Inside the browser, Tab belongs to the page.
    auto keys = Gtk::EventControllerKey::create();
    keys->set_propagation_phase(Gtk::PropagationPhase::CAPTURE);
    keys->signal_key_pressed().connect(
        [this](guint key, guint, Gdk::ModifierType modifiers) {
            if (m_input_blocked) {
                return true;
            }
            const bool tab = key == GDK_KEY_Tab || key == GDK_KEY_ISO_Left_Tab;
            if (!tab || (modifiers & Gdk::ModifierType::CONTROL_MASK) != Gdk::ModifierType{} ||
                WebBrowser1.widget().has_focus()) {
                return false;
            }
            const bool forward = key == GDK_KEY_Tab &&
                                 (modifiers & Gdk::ModifierType::SHIFT_MASK) == Gdk::ModifierType{};
            return m_client.move_focus(forward);
        },
        false);
    add_controller(keys);
}

void Form1::Form_Load() {
    WebBrowser1.Navigate2(blog::HomeAddress);
    list1_clear();
}

void Form1::Timer1_Timer() {
    ++ElapsedSeconds;
    Label4.set_text(
        platform::utf16_to_utf8(u"已用时间" + platform::decimal(ElapsedSeconds) + u"秒"));
}

void Form1::List1_DblClick() {
    // A page may plant a javascript: link that passes the collector's tests; only web
    // addresses are shown.
    if (const auto selected = list1_selected();
        selected && blog::IsWebAddress(list1_item(*selected))) {
        // A post read through the archive is previewed as captured, under the archive's rules.
        if (!show_raw_capture(list1_item(*selected))) {
            WebBrowser1.Navigate2(list1_item(*selected));
        }
    }
}

void Form1::Label5_Click() {
    platform::open_in_background(blog::DownloadPageAddress);
}

void Form1::LinkCollector() {
    collect_links(WebBrowser1.completed_serial());
}

void Form1::collect_links(std::uint64_t serial) {
    // The links are read after the event, so remember which load this answer belongs to, and
    // which list: a page that completed before the list was cleared belongs to the old list.
    const std::uint64_t list_generation = m_list1_generation;
    // A page the archive captured names the blog's addresses, and its relative links resolved
    // against the archive: the list takes them as the archive's links to the blog.
    WebBrowser1.read_links([this, serial, list_generation, shown = WebBrowser1.current_address()](
                               std::optional<std::vector<std::u16string>> links) {
        if (list_generation == m_list1_generation) {
            if (links) {
                links = archive::links_of_raw_capture(std::move(*links), shown);
            }
            add_collected_links(links);
        }
        m_collected_serial = std::max(m_collected_serial, serial);
    });
}

void Form1::add_collected_links(const std::optional<std::vector<std::u16string>>& links) {
    // Unreadable links add nothing, but the count is shown all the same.
    if (links) {
        list1_add_links(*links);
    }
    Label1.set_text(platform::utf16_to_utf8(
        u"共获取" + platform::decimal(static_cast<long long>(list1_count())) + u"文章链接"));
}

void Form1::list1_add_links(const std::vector<std::u16string>& links) {
    // The newer layout's posts are those of the user named in the address box now.
    m_post_links.set_new_layout_form(
        new_layout_form(archive::BlogRoute(platform::utf8_to_utf16(txtblog.get_text().raw()))));
    const std::vector<std::u16string> added = m_post_links.add_page_links(links);
    std::vector<Glib::ustring> rows;
    rows.reserve(added.size());
    for (const std::u16string& address : added) {
        rows.emplace_back(platform::utf16_to_utf8(address));
    }
    m_list1_model->splice(m_list1_model->get_n_items(), 0, rows);
}

void Form1::list1_clear() {
    ++m_list1_generation;
    m_post_links.clear();
    m_list1_model->splice(0, m_list1_model->get_n_items(), {});
}

std::optional<std::size_t> Form1::list1_selected() const {
    const guint position = m_list1_selection->get_selected();
    if (position == GTK_INVALID_LIST_POSITION || position >= list1_count()) {
        return std::nullopt;
    }
    return position;
}

void Form1::list1_select(std::size_t index) {
    if (index < list1_count()) {
        m_list1_selection->set_selected(static_cast<guint>(index));
    }
}

bool Form1::on_close_request() {
    platform::request_quit();
    if (m_busy == 0) {
        return Gtk::Window::on_close_request();
    }
    // An operation is still on the stack: let it unwind first, then close for real.
    set_visible(false);
    return true;
}

void Form1::close_after_operations() {
    Glib::signal_idle().connect_once(sigc::mem_fun(*this, &Form1::close));
}

Form1::InputBlock::InputBlock(Form1& form) : m_form(form) {
    m_form.m_input_blocked = true;
    m_form.m_client.set_can_target(false);
}

Form1::InputBlock::~InputBlock() {
    m_form.m_client.set_can_target(true);
    m_form.m_input_blocked = false;
}

Form1::BusyScope::BusyScope(Form1& form) : m_form(form) {
    ++m_form.m_busy;
}

Form1::BusyScope::~BusyScope() {
    if (--m_form.m_busy == 0 && platform::quit_requested()) {
        m_form.close_after_operations();
    }
}
