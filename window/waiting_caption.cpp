#include "window/waiting_caption.h"

#include "archive/archive_politeness.h"
#include "archive/archive_request_policy.h"
#include "platform/page_downloads.h"
#include "platform/quit_request.h"
#include "platform/text.h"
#include "utilities/moddelay.h"
#include "window/button_caption.h"

#include <gtkmm/button.h>

namespace window {
namespace {

// Often enough for a countdown in whole seconds.
constexpr std::uint32_t refresh_ms = 250;

} // namespace

WaitingCaption::WaitingCaption(Gtk::Button& button, const archive::ArchiveRequestPolicy* policy,
                               std::u16string_view caption)
    : m_button(button), m_policy(policy), m_full(caption), m_short(caption) {}

void WaitingCaption::show(std::u16string_view full, std::u16string_view short_form) {
    m_full = full;
    m_short = short_form;
    if (!m_waiting) {
        ShowFittingCaption(m_button, m_full, m_short);
    }
}

void WaitingCaption::refresh() {
    const long long left = m_policy != nullptr ? m_policy->pause_seconds_left() : 0;
    if (left > 0) {
        const std::u16string seconds = platform::decimal(left);
        ShowFittingCaption(m_button, std::u16string(archive::WaitingCaption) + seconds, seconds);
    } else if (m_waiting) {
        ShowFittingCaption(m_button, m_full, m_short);
    }
    m_waiting = left > 0;
}

void wait_until(const std::function<bool()>& done, WaitingCaption& caption) {
    while (!done() && !platform::quit_requested()) {
        moddelay::pump_until(done, refresh_ms);
        caption.refresh();
    }
}

void wait_for(platform::PageDownloads& downloads, WaitingCaption& caption) {
    wait_until([&] { return downloads.done(); }, caption);
}

platform::DownloadResult download_one(const std::string& url, platform::RequestPolicy* policy,
                                      WaitingCaption& caption) {
    platform::DownloadResult got;
    platform::PageDownloads download(
        {url}, 1, [&got](std::size_t, platform::DownloadResult result) { got = std::move(result); },
        {}, policy);
    wait_for(download, caption);
    download.rethrow_failure();
    return got;
}

} // namespace window
