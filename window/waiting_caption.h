#pragma once
// A button's running caption that gives way to "等待" and the seconds left while the archive
// makes the downloads pause, and the wait for downloads that keeps it current.

#include "platform/page_downloads.h"

#include <functional>
#include <string>
#include <string_view>

namespace Gtk {
class Button;
}

namespace archive {
class ArchiveRequestPolicy;
} // namespace archive

namespace window {

class WaitingCaption {
public:
    // `policy` may be null: the caption then never waits.
    WaitingCaption(Gtk::Button& button, const archive::ArchiveRequestPolicy* policy,
                   std::u16string_view caption);

    // The caption shown while no pause runs, fitted as ShowFittingCaption fits it.
    void show(std::u16string_view full, std::u16string_view short_form);
    // Shows the pause's seconds left, or the caption again once the pause is over.
    void refresh();

private:
    Gtk::Button& m_button;
    const archive::ArchiveRequestPolicy* m_policy;
    std::u16string m_full;
    std::u16string m_short;
    bool m_waiting = false;
};

// Serves events until `done` holds or the user asks to quit, keeping `caption` current.
void wait_until(const std::function<bool()>& done, WaitingCaption& caption);

// Serves events until `downloads` is done or the user asks to quit, keeping `caption` current.
void wait_for(platform::PageDownloads& downloads, WaitingCaption& caption);

// Downloads one address under `policy` (may be null), waiting as wait_for does; an empty result
// when the user asked to quit first.
platform::DownloadResult download_one(const std::string& url, platform::RequestPolicy* policy,
                                      WaitingCaption& caption);

} // namespace window
