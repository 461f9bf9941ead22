#include "tests/gui/form1_fixture.h"

#include "tests/support/file_bytes.h"

#include "platform/files.h"
#include "platform/http.h"
#include "platform/message_box.h"
#include "platform/quit_request.h"
#include "platform/shell.h"
#include "platform/text.h"
#include "utilities/moddelay.h"

#include <giomm/listmodel.h>
#include <glibmm/main.h>
#include <gtkmm/stringobject.h>
#include <webkit/webkit.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <regex>
#include <thread>

namespace gui_testing {

std::u16string file_address(const std::filesystem::path& file) {
    gchar* uri = g_filename_to_uri(file.c_str(), nullptr, nullptr);
    std::u16string address = platform::utf8_to_utf16(uri ? uri : "");
    g_free(uri);
    return address;
}

bool wait_until(const std::function<bool()>& done, double seconds) {
    return moddelay::pump_until(done, static_cast<std::uint32_t>(seconds * 1000));
}

// WebKit's network process keeps the environment it started with, so a later service on
// another port is made known to it directly.
void point_browser_at(const testing_support::SampleBlogService& service) {
    point_browser_at(service.proxy_url());
}

void point_browser_at(const std::string& proxy_url) {
    WebKitNetworkProxySettings* settings =
        webkit_network_proxy_settings_new(proxy_url.c_str(), nullptr);
    webkit_network_session_set_proxy_settings(webkit_network_session_get_default(),
                                              WEBKIT_NETWORK_PROXY_MODE_CUSTOM, settings);
    webkit_network_proxy_settings_free(settings);
}

Form1Fixture::Form1Fixture(std::vector<std::string> service_arguments)
    : m_service_arguments(std::move(service_arguments)) {}

void Form1Fixture::SetUp() {
    platform::reset_quit_request();
    m_service = std::make_unique<testing_support::SampleBlogService>(m_service_arguments);
    point_browser_at(*m_service);
    platform::set_message_box_handler([this](std::u16string_view text, std::u16string_view title) {
        boxes.push_back({std::u16string(text), std::u16string(title)});
        if (on_box) {
            on_box();
        }
    });
    platform::set_question_box_handler([this](std::u16string_view text, std::u16string_view title) {
        boxes.push_back({std::u16string(text), std::u16string(title)});
        return question_answer;
    });
    platform::set_shell_handler(
        [this](std::u16string_view address) { opened.emplace_back(address); });
    m_form = std::make_unique<Form1>();
    m_form->set_visible(true);
}

void Form1Fixture::TearDown() {
    if (m_form) {
        m_form->set_visible(false);
        m_form.reset();
    }
    platform::set_message_box_handler({});
    platform::set_question_box_handler({});
    platform::set_shell_handler({});
    m_service.reset();
    platform::reset_quit_request();
}

UserFolderFixture::UserFolderFixture(std::vector<std::string> service_arguments, std::string user,
                                     ListAtStart list)
    : Form1Fixture(std::move(service_arguments)), m_user(std::move(user)), m_list(list) {}

void UserFolderFixture::SetUp() {
    Form1Fixture::SetUp();
    std::filesystem::remove_all(user_folder());
    if (m_list == ListAtStart::empty) {
        ASSERT_TRUE(wait_for_collected());
        form().list1_clear();
    }
}

void UserFolderFixture::TearDown() {
    std::filesystem::remove_all(user_folder());
    Form1Fixture::TearDown();
}

std::filesystem::path UserFolderFixture::user_folder() const {
    return platform::program_folder() / m_user;
}

void Form1Fixture::restart_form() {
    m_form->set_visible(false);
    m_form.reset();
    platform::reset_quit_request();
    m_form = std::make_unique<Form1>();
    m_form->set_visible(true);
}

bool Form1Fixture::wait_for_collected(double seconds) {
    return wait_until(
        [this] { return form().collected_serial() == form().WebBrowser1.navigation_serial(); },
        seconds);
}

std::vector<std::u16string> Form1Fixture::box_texts() const {
    std::vector<std::u16string> texts;
    for (const RecordedBox& box : boxes) {
        texts.push_back(box.text);
    }
    return texts;
}

void click(Gtk::Button& button) {
    if (button.is_sensitive()) {
        g_signal_emit_by_name(button.gobj(), "clicked");
    }
}

std::vector<std::u16string> list1_rows(Form1& form) {
    std::vector<std::u16string> rows;
    const auto model = std::dynamic_pointer_cast<Gio::ListModel>(form.List1.get_model());
    for (guint i = 0; model && i < model->get_n_items(); ++i) {
        const auto row = std::dynamic_pointer_cast<Gtk::StringObject>(model->get_object(i));
        rows.push_back(row ? platform::utf8_to_utf16(row->get_string().raw()) : u"?");
    }
    return rows;
}

std::u16string text_of(const Gtk::Label& label) {
    return platform::utf8_to_utf16(label.get_text().raw());
}

std::vector<std::u16string> first_copies(const std::vector<std::vector<std::u16string>>& pages) {
    std::vector<std::u16string> kept;
    for (const auto& page : pages) {
        for (const auto& address : page) {
            if (std::find(kept.begin(), kept.end(), address) == kept.end()) {
                kept.push_back(address);
            }
        }
    }
    return kept;
}

ImpatientNeighbour::ImpatientNeighbour(Gtk::Button& button) {
    m_watch = Glib::signal_timeout().connect(
        [this, &button] {
            if (!m_asked && button.get_label().raw().starts_with("等待")) {
                m_asked = true;
                std::thread([] {
                    try {
                        platform::http_get("https://web.archive.org/web/2012/http://hi.baidu.com/");
                    } catch (const platform::HttpError&) {
                    }
                }).detach();
            }
            return true;
        },
        100);
}

ImpatientNeighbour::~ImpatientNeighbour() {
    m_watch.disconnect();
}

std::string read_file(const std::filesystem::path& file) {
    return testing_support::read_bytes(file);
}

std::map<std::string, std::string> tree_of(const std::filesystem::path& folder) {
    static const std::regex time(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)");
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) {
            files[std::filesystem::relative(entry.path(), folder).string()] =
                std::regex_replace(read_file(entry.path()), time, "TIME");
        }
    }
    return files;
}

std::map<std::string, std::string> files_in(const std::filesystem::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.is_regular_file()) {
            files[entry.path().filename().string()] = read_file(entry.path());
        }
    }
    return files;
}

} // namespace gui_testing
