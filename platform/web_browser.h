#pragma once
// The embedded browser: a WebKitGTK web view with the few operations the window needs. Pages
// shown are untrusted, so the view keeps WebKit's default settings.

#include <sigc++/signal.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Gtk {
class Widget;
}

namespace platform {

class WebBrowser {
public:
    using LinksRead = std::function<void(std::optional<std::vector<std::u16string>>)>;

    WebBrowser();
    ~WebBrowser();
    WebBrowser(const WebBrowser&) = delete;
    WebBrowser& operator=(const WebBrowser&) = delete;

    Gtk::Widget& widget();

    // Both start loading the address and return at once; a load still running is replaced.
    void Navigate2(std::u16string_view address);
    void Navigate(std::u16string_view address);

    // Raised when the main frame has finished loading a page: pages the program asked for and
    // pages the user reached by following a link. A load that fails (the error page WebKit then
    // shows included) or is replaced by another before it finished raises nothing.
    // Stops the load under way, which then raises nothing.
    void Stop();

    // Shows a page already downloaded, `body` as its server sent it (`content_type` its
    // Content-Type, "" when none), as if loaded from `address`, against which its relative
    // links resolve. The browser itself asks the network for nothing on its behalf: no
    // picture, script, style sheet or frame, so the page costs its server no request beyond
    // the one already made. Counts as a navigation like Navigate2.
    void show_downloaded(const std::string& body, std::string_view content_type,
                         std::u16string_view address);

    sigc::signal<void()>& signal_DocumentComplete();

    // While a page shown by show_downloaded is up, a navigation the page starts itself (a link
    // followed, a refresh, a form sent, a window opened) is not loaded: its address comes here
    // instead, later on the main loop, for the program to fetch in its own way. Navigate2 ends
    // this until the next downloaded page.
    sigc::signal<void(std::u16string)>& signal_DownloadedPageNavigates();

    // Reads the current top-level document's links (anchors and areas with an address), each
    // resolved to an absolute address, in document order. Answers later, on the main loop, with
    // nullopt when they cannot be read. Not answered at all once the browser is gone.
    void read_links(LinksRead done);
    // Runs a script that only reads the current document, in a world of its own so the page's
    // scripts cannot meddle, and answers as read_links does with the strings of the array the
    // script gives; nullopt when it gives anything else.
    void read_strings(std::string_view script, LinksRead done);

    // While on, script dialogs (alert, confirm, prompt, leave-page) are answered at once, as if
    // the user had: alert with OK, confirm and prompt with Cancel, and a leave-page prompt by
    // leaving, so that no page can hold up a walk through pages. Off (the default): WebKit shows
    // them and waits for the user.
    void set_answers_dialogs(bool answers);

    // The address of the page shown or being loaded; empty before the first load.
    std::u16string current_address() const;

    // How many navigations the program has started.
    std::uint64_t navigation_serial() const;
    // The navigation_serial() that was current when the load began whose document is shown
    // (committed), the last that finished as a page (completed), and the last that ended,
    // finished or failed (ended).
    std::uint64_t committed_serial() const;
    std::uint64_t completed_serial() const;
    std::uint64_t ended_serial() const;

private:
    struct State;
    std::shared_ptr<State> m_state;
};

} // namespace platform
