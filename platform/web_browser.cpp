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

} // namespace

struct WebBrowser::State {
    GObjectRef<WebKitWebView> view; // our own reference
    Gtk::Widget* widget = nullptr;  // wrapper, owned by the view
    GObjectRef<GCancellable> reads; // cancelled when the browser goes, so no answer arrives
    sigc::signal<void()> document_complete;
    std::uint64_t navigation_serial = 0;
    std::uint64_t loading_serial = 0;
    std::uint64_t completed_serial = 0;
    bool replaced = false;

    struct LinksRequest {
        std::weak_ptr<State> state;
        LinksRead done;
    };

    static gboolean on_load_failed(WebKitWebView*, WebKitLoadEvent, gchar*, GError* error,
                                   gpointer data);
    static void on_load_changed(WebKitWebView*, WebKitLoadEvent event, gpointer data);
    static GtkWidget* on_create(WebKitWebView* view, WebKitNavigationAction* action, gpointer);
    static void on_links_evaluated(GObject* source, GAsyncResult* result, gpointer data);
};

gboolean WebBrowser::State::on_load_failed(WebKitWebView*, WebKitLoadEvent, gchar*, GError* error,
                                           gpointer data) {
    // A load interrupted by a newer one (or turned into a download) never shows its page; WebKit
    // still reports it as finished right after this, and that report must not count.
    auto* state = static_cast<State*>(data);
    state->replaced =
        g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_CANCELLED) ||
        g_error_matches(error, WEBKIT_POLICY_ERROR,
                        WEBKIT_POLICY_ERROR_FRAME_LOAD_INTERRUPTED_BY_POLICY_CHANGE);
    return FALSE; // let WebKit show its error page for real failures
}

void WebBrowser::State::on_load_changed(WebKitWebView*, WebKitLoadEvent event, gpointer data) {
    auto* state = static_cast<State*>(data);
    if (event == WEBKIT_LOAD_STARTED) {
        state->loading_serial = state->navigation_serial;
        return;
    }
    if (event != WEBKIT_LOAD_FINISHED) {
        return;
    }
    if (state->replaced) {
        state->replaced = false;
        return;
    }
    state->completed_serial = state->loading_serial;
    guarded([state] { state->document_complete.emit(); });
}

GtkWidget* WebBrowser::State::on_create(WebKitWebView* view, WebKitNavigationAction* action,
                                        gpointer) {
    // A link meant for a new window opens in this view: there is only one. Scripts opening
    // windows on their own are refused.
    if (webkit_navigation_action_is_user_gesture(action)) {
        webkit_web_view_load_request(view, webkit_navigation_action_get_request(action));
    }
    return nullptr;
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
    webkit_web_view_load_uri(m_state->view.get(), utf16_to_utf8(address).c_str());
}

void WebBrowser::Navigate(std::u16string_view address) {
    Navigate2(address);
}

sigc::signal<void()>& WebBrowser::signal_DocumentComplete() {
    return m_state->document_complete;
}

void WebBrowser::read_links(LinksRead done) {
    auto request = std::make_unique<State::LinksRequest>(m_state, std::move(done));
    webkit_web_view_evaluate_javascript(m_state->view.get(), links_script, -1, links_world, nullptr,
                                        m_state->reads.get(), State::on_links_evaluated,
                                        request.release());
}

std::u16string WebBrowser::current_address() const {
    const char* uri = webkit_web_view_get_uri(m_state->view.get());
    return uri ? utf8_to_utf16(uri) : std::u16string();
}

std::uint64_t WebBrowser::navigation_serial() const {
    return m_state->navigation_serial;
}

std::uint64_t WebBrowser::completed_serial() const {
    return m_state->completed_serial;
}

} // namespace platform
