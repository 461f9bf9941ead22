#include "platform/web_browser.h"

#include "platform/text.h"
#include "platform/unhandled_error.h"

#include <gtkmm/widget.h>
#include <webkit/webkit.h>

namespace platform {
namespace {

struct GObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
template <class T> using GObjectRef = std::unique_ptr<T, GObjectUnref>;

struct GFree {
    void operator()(gpointer memory) const { g_free(memory); }
};
using GString8 = std::unique_ptr<char, GFree>;

// Runs in its own script world, so a page's scripts cannot redefine what it calls.
constexpr const char* links_script = "Array.from(document.links, link => link.href)";
constexpr const char* links_world = "pellumo-links";

// The script answers with an array of strings; anything else means the links are unreadable.
std::optional<std::vector<std::u16string>> links_from(JSCValue* answer) {
    if (answer == nullptr || !jsc_value_is_array(answer)) {
        return std::nullopt;
    }
    const GObjectRef<JSCValue> length(jsc_value_object_get_property(answer, "length"));
    if (!length || !jsc_value_is_number(length.get())) {
        return std::nullopt;
    }
    const double count = jsc_value_to_double(length.get());
    if (!(count >= 0 && count <= G_MAXUINT)) {
        return std::nullopt;
    }
    std::vector<std::u16string> links;
    links.reserve(static_cast<std::size_t>(count));
    for (guint i = 0; i < static_cast<guint>(count); ++i) {
        const GObjectRef<JSCValue> item(jsc_value_object_get_property_at_index(answer, i));
        if (!item || !jsc_value_is_string(item.get())) {
            return std::nullopt;
        }
        const GString8 address(jsc_value_to_string(item.get()));
        links.push_back(utf8_to_utf16(address ? address.get() : ""));
    }
    return links;
}

// "gbk" from "text/html; charset=GBK"; "" when no charset is named.
std::string charset_of(std::string_view content_type) {
    std::string lower(content_type);
    for (char& c : lower) {
        c = static_cast<char>(g_ascii_tolower(c));
    }
    const std::size_t at = lower.find("charset=");
    if (at == std::string::npos) {
        return {};
    }
    std::string charset = lower.substr(at + 8);
    charset = charset.substr(0, charset.find_first_of("; \t"));
    std::erase(charset, '"');
    return charset;
}

} // namespace

struct WebBrowser::State : std::enable_shared_from_this<State> {
    GObjectRef<WebKitWebView> view; // our own reference
    Gtk::Widget* widget = nullptr;  // wrapper, owned by the view
    GObjectRef<GCancellable> reads; // cancelled when the browser goes, so no answer arrives
    sigc::signal<void()> document_complete;
    std::uint64_t navigation_serial = 0;
    std::uint64_t loading_serial = 0;
    std::uint64_t committed_serial = 0;
    std::uint64_t completed_serial = 0;
    std::uint64_t ended_serial = 0;
    // The load under way failed: its end shows no page of its own. A replaced one has not
    // ended the navigation either: the newer load carries it on.
    bool failed = false;
    bool replaced = false;
    // WebKit shows an error page for the failure; that load is not a page either.
    bool error_page_expected = false;
    bool loading_error_page = false;
    bool answers_dialogs = false;
    // A downloaded page is up, or on its way up: its own navigations are not loaded.
    bool showing_downloaded = false;
    // The address of the program's own load of a downloaded page, which must pass once.
    std::string downloaded_address;
    sigc::signal<void(std::u16string)> downloaded_page_navigates;

    struct LinksRequest {
        std::weak_ptr<State> state;
        LinksRead done;
    };

    static gboolean on_load_failed(WebKitWebView*, WebKitLoadEvent, gchar*, GError* error,
                                   gpointer data);
    static void on_load_changed(WebKitWebView*, WebKitLoadEvent event, gpointer data);
    static GtkWidget* on_create(WebKitWebView* view, WebKitNavigationAction* action, gpointer);
    static void on_links_evaluated(GObject* source, GAsyncResult* result, gpointer data);
    static gboolean on_script_dialog(WebKitWebView*, WebKitScriptDialog* dialog, gpointer data);
    static gboolean on_decide_policy(WebKitWebView*, WebKitPolicyDecision* decision,
                                     WebKitPolicyDecisionType type, gpointer data);

    // Hands `address` to the program from the main loop, outside WebKit's signal.
    void pass_on_navigation(const char* address);

    void load_started();
    void load_finished();
};

gboolean WebBrowser::State::on_load_failed(WebKitWebView*, WebKitLoadEvent, gchar*, GError* error,
                                           gpointer data) {
    auto* state = static_cast<State*>(data);
    state->failed = true;
    // A load interrupted by a newer one never shows a page, and WebKit shows no error page for
    // it. Every other failure gets WebKit's error page, loaded next under the same address.
    state->replaced =
        g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_CANCELLED) ||
        g_error_matches(error, WEBKIT_POLICY_ERROR,
                        WEBKIT_POLICY_ERROR_FRAME_LOAD_INTERRUPTED_BY_POLICY_CHANGE) ||
        g_error_matches(error, WEBKIT_MEDIA_ERROR, WEBKIT_MEDIA_ERROR_WILL_HANDLE_LOAD);
    state->error_page_expected = !state->replaced && !state->loading_error_page;
    return FALSE; // let WebKit show its error page
}

void WebBrowser::State::load_started() {
    if (error_page_expected) {
        error_page_expected = false;
        loading_error_page = true;
        return;
    }
    loading_error_page = false;
    loading_serial = navigation_serial;
}

void WebBrowser::State::load_finished() {
    if (loading_error_page) {
        // The failed load has now really ended: the error page is up.
        loading_error_page = false;
        failed = false;
        ended_serial = loading_serial;
        return;
    }
    if (failed) {
        // Until the error page is up, the page still shown is the one before.
        failed = false;
        if (!error_page_expected && !replaced) {
            ended_serial = loading_serial;
        }
        return;
    }
    if (loading_serial < navigation_serial) {
        // The program has already asked for another page, which replaces this one: a finish
        // that crossed that request on its way does not count.
        return;
    }
    completed_serial = loading_serial;
    ended_serial = loading_serial;
    guarded([this] { document_complete.emit(); });
}

void WebBrowser::State::on_load_changed(WebKitWebView*, WebKitLoadEvent event, gpointer data) {
    auto* state = static_cast<State*>(data);
    switch (event) {
    case WEBKIT_LOAD_STARTED:
        state->load_started();
        break;
    case WEBKIT_LOAD_COMMITTED:
        // Only the load the program started may pass as its own.
        state->downloaded_address.clear();
        if (!state->loading_error_page) {
            state->committed_serial = state->loading_serial;
        }
        break;
    case WEBKIT_LOAD_FINISHED:
        state->load_finished();
        break;
    default:
        break;
    }
}

GtkWidget* WebBrowser::State::on_create(WebKitWebView* view, WebKitNavigationAction* action,
                                        gpointer data) {
    auto* state = static_cast<State*>(data);
    if (state->showing_downloaded) {
        state->pass_on_navigation(
            webkit_uri_request_get_uri(webkit_navigation_action_get_request(action)));
        return nullptr;
    }
    // A link meant for a new window opens in this view: there is only one. Scripts opening
    // windows on their own are refused.
    if (webkit_navigation_action_is_user_gesture(action)) {
        webkit_web_view_load_request(view, webkit_navigation_action_get_request(action));
    }
    return nullptr;
}

gboolean WebBrowser::State::on_decide_policy(WebKitWebView*, WebKitPolicyDecision* decision,
                                             WebKitPolicyDecisionType type, gpointer data) {
    auto* state = static_cast<State*>(data);
    if (!state->showing_downloaded || type != WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION) {
        return FALSE;
    }
    WebKitNavigationAction* action = webkit_navigation_policy_decision_get_navigation_action(
        WEBKIT_NAVIGATION_POLICY_DECISION(decision));
    const char* address = webkit_uri_request_get_uri(webkit_navigation_action_get_request(action));
    if (address != nullptr && !state->downloaded_address.empty() &&
        state->downloaded_address == address) {
        state->downloaded_address.clear(); // the program's own load
        return FALSE;
    }
    webkit_policy_decision_ignore(decision);
    state->pass_on_navigation(address);
    return TRUE;
}

void WebBrowser::State::pass_on_navigation(const char* address) {
    if (address == nullptr) {
        return;
    }
    struct Passed {
        std::weak_ptr<State> state;
        std::u16string address;
    };
    auto* passed = new Passed{weak_from_this(), utf8_to_utf16(address)};
    g_idle_add_full(
        G_PRIORITY_DEFAULT_IDLE,
        [](gpointer data) -> gboolean {
            const std::unique_ptr<Passed> passed(static_cast<Passed*>(data));
            if (const std::shared_ptr<State> state = passed->state.lock()) {
                guarded([&] { state->downloaded_page_navigates.emit(passed->address); });
            }
            return G_SOURCE_REMOVE;
        },
        passed, nullptr);
}

gboolean WebBrowser::State::on_script_dialog(WebKitWebView*, WebKitScriptDialog* dialog,
                                             gpointer data) {
    if (!static_cast<State*>(data)->answers_dialogs) {
        return FALSE; // WebKit's own dialog
    }
    switch (webkit_script_dialog_get_dialog_type(dialog)) {
    case WEBKIT_SCRIPT_DIALOG_CONFIRM:
        webkit_script_dialog_confirm_set_confirmed(dialog, FALSE);
        break;
    case WEBKIT_SCRIPT_DIALOG_BEFORE_UNLOAD_CONFIRM:
        // Staying would keep the walk on this page.
        webkit_script_dialog_confirm_set_confirmed(dialog, TRUE);
        break;
    case WEBKIT_SCRIPT_DIALOG_ALERT:
    case WEBKIT_SCRIPT_DIALOG_PROMPT: // no text set: cancelled
        break;
    }
    return TRUE;
}

void WebBrowser::State::on_links_evaluated(GObject* source, GAsyncResult* result, gpointer data) {
    const std::unique_ptr<LinksRequest> request(static_cast<LinksRequest*>(data));
    GError* error = nullptr;
    const GObjectRef<JSCValue> answer(
        webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), result, &error));
    g_clear_error(&error);
    if (request->state.expired()) {
        return;
    }
    guarded([&] { request->done(links_from(answer.get())); });
}

WebBrowser::WebBrowser() : m_state(std::make_shared<State>()) {
    GtkWidget* view = webkit_web_view_new();
    g_object_ref_sink(view);
    m_state->view.reset(WEBKIT_WEB_VIEW(view));
    m_state->widget = Glib::wrap(view);
    m_state->reads.reset(g_cancellable_new());
    g_signal_connect(view, "load-changed", G_CALLBACK(State::on_load_changed), m_state.get());
    g_signal_connect(view, "load-failed", G_CALLBACK(State::on_load_failed), m_state.get());
    g_signal_connect(view, "create", G_CALLBACK(State::on_create), m_state.get());
    g_signal_connect(view, "script-dialog", G_CALLBACK(State::on_script_dialog), m_state.get());
    g_signal_connect(view, "decide-policy", G_CALLBACK(State::on_decide_policy), m_state.get());
}

WebBrowser::~WebBrowser() {
    g_cancellable_cancel(m_state->reads.get());
    g_signal_handlers_disconnect_by_data(m_state->view.get(), m_state.get());
}

Gtk::Widget& WebBrowser::widget() {
    return *m_state->widget;
}

void WebBrowser::Navigate2(std::u16string_view address) {
    ++m_state->navigation_serial;
    // An error page not yet under way is superseded by this load.
    m_state->error_page_expected = false;
    m_state->showing_downloaded = false;
    webkit_web_view_load_uri(m_state->view.get(), utf16_to_utf8(address).c_str());
}

void WebBrowser::Navigate(std::u16string_view address) {
    Navigate2(address);
}

void WebBrowser::Stop() {
    webkit_web_view_stop_loading(m_state->view.get());
}

void WebBrowser::show_downloaded(const std::string& body, std::string_view content_type,
                                 std::u16string_view address) {
    ++m_state->navigation_serial;
    m_state->error_page_expected = false;
    m_state->showing_downloaded = true;
    m_state->downloaded_address = utf16_to_utf8(address);
    // The page's own policy, read before anything it names: nothing may be fetched for it,
    // whatever kind.
    const std::string page =
        "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'\">" + body;
    const std::unique_ptr<GBytes, decltype(&g_bytes_unref)> bytes(
        g_bytes_new(page.data(), page.size()), &g_bytes_unref);
    const std::string encoding = charset_of(content_type);
    webkit_web_view_load_bytes(m_state->view.get(), bytes.get(), "text/html",
                               encoding.empty() ? nullptr : encoding.c_str(),
                               utf16_to_utf8(address).c_str());
}

sigc::signal<void()>& WebBrowser::signal_DocumentComplete() {
    return m_state->document_complete;
}

sigc::signal<void(std::u16string)>& WebBrowser::signal_DownloadedPageNavigates() {
    return m_state->downloaded_page_navigates;
}

void WebBrowser::read_links(LinksRead done) {
    read_strings(links_script, std::move(done));
}

void WebBrowser::read_strings(std::string_view script, LinksRead done) {
    auto request = std::make_unique<State::LinksRequest>(m_state, std::move(done));
    webkit_web_view_evaluate_javascript(
        m_state->view.get(), script.data(), static_cast<gssize>(script.size()), links_world,
        nullptr, m_state->reads.get(), State::on_links_evaluated, request.release());
}

void WebBrowser::set_answers_dialogs(bool answers) {
    m_state->answers_dialogs = answers;
}

std::u16string WebBrowser::current_address() const {
    const char* uri = webkit_web_view_get_uri(m_state->view.get());
    return uri ? utf8_to_utf16(uri) : std::u16string();
}

std::uint64_t WebBrowser::navigation_serial() const {
    return m_state->navigation_serial;
}

std::uint64_t WebBrowser::committed_serial() const {
    return m_state->committed_serial;
}

std::uint64_t WebBrowser::completed_serial() const {
    return m_state->completed_serial;
}

std::uint64_t WebBrowser::ended_serial() const {
    return m_state->ended_serial;
}

} // namespace platform
