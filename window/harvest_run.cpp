#include "window/form1.h"

#include "archive/archive_request_policy.h"
#include "archive/blog_route.h"
#include "archive/wayback_address.h"
#include "blog/blog_address.h"
#include "blog/new_layout.h"
#include "blog/page_count.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/message_box.h"
#include "platform/page_downloads.h"
#include "platform/quit_request.h"
#include "platform/text.h"
#include "utilities/moddelay.h"
#include "window/backup_folder.h"
#include "window/kept_list.h"
#include "window/post_saver.h"
#include "window/waiting_caption.h"

#include <cstdint>

namespace {

// Every list page gets at least this long, so the blog service is not hammered.
constexpr int list_page_wait_seconds = 4;
// A page still loading after that is given this much longer before the walk moves on.
constexpr std::uint32_t slow_page_grace_ms = 30000;

constexpr std::u16string_view hint_text = u"若无法自动获取全部日志，请手动点击[下一页]";

// The answer to reading a page's links comes back within this.
constexpr std::uint32_t links_answer_ms = 5000;
// The first list page may trickle in for as long as it likes; the window stays live meanwhile.
constexpr std::uint32_t fetch_slice_ms = 60000;

std::u16string typed_address(const Gtk::Entry& box) {
    return platform::utf8_to_utf16(box.get_text().raw());
}

// A save started during a harvest through the archive would queue behind the harvest's own
// requests to it; the button waits for the harvest instead.
class InsensitiveWhile {
public:
    InsensitiveWhile(Gtk::Widget& widget, bool when) : m_widget(when ? &widget : nullptr) {
        if (m_widget) {
            m_widget->set_sensitive(false);
        }
    }
    ~InsensitiveWhile() {
        if (m_widget) {
            m_widget->set_sensitive(true);
        }
    }
    InsensitiveWhile(const InsensitiveWhile&) = delete;
    InsensitiveWhile& operator=(const InsensitiveWhile&) = delete;

private:
    Gtk::Widget* m_widget;
};

// Old blogs greet visitors with alert(): during a walk nobody is there to answer.
class DialogsAnswered {
public:
    explicit DialogsAnswered(platform::WebBrowser& browser) : m_browser(browser) {
        m_browser.set_answers_dialogs(true);
    }
    ~DialogsAnswered() { m_browser.set_answers_dialogs(false); }
    DialogsAnswered(const DialogsAnswered&) = delete;
    DialogsAnswered& operator=(const DialogsAnswered&) = delete;

private:
    platform::WebBrowser& m_browser;
};

// Where a harvest through the archive keeps its list: the user folder the save would use.
std::filesystem::path kept_list_folder(const archive::BlogRoute& route) {
    return blog::ChooseSaveFolder(blog::BackupFolder(platform::program_folder()), route.user_name(),
                                  platform::home_folder())
        .folder;
}

// Through the archive the newer layout's pages are asked for raw, at the typed time.
std::u16string new_layout_address(const archive::BlogRoute& route, const std::u16string& page) {
    if (const auto& wayback = route.wayback()) {
        return archive::capture_address(wayback->archive, wayback->timestamp, u"id_", page);
    }
    return page;
}

} // namespace

void Form1::HarvestRun() {
    // Clicks during a save are ignored: the save owns the window until it ends.
    if (m_saving) {
        return;
    }
    const BusyScope busy(*this);
    const DialogsAnswered answered(WebBrowser1);
    list1_clear();
    const archive::BlogRoute route(typed_address(txtblog));
    // Through the archive one post is one item, whatever the timestamps of its links.
    m_post_links.set_identity(route.wayback() ? &archive::post_identity
                                              : &blog::PostLinkList::same_link);
    // Every request of this run to the archive goes through what the archive has told us so far.
    archive::ArchiveRequestPolicy* politeness =
        route.wayback()
            ? &m_archive_policies.for_run(platform::utf16_to_utf8(route.wayback()->archive))
            : nullptr;
    const std::filesystem::path kept_folder =
        politeness ? kept_list_folder(route) : std::filesystem::path();
    if (politeness) {
        // The list an earlier harvest kept saves the whole walk: taking it asks nothing of the
        // archive.
        if (const std::optional<window::KeptList> kept = window::ReadKeptList(kept_folder);
            kept && platform::MsgBoxYesNo(window::KeptListQuestion(*kept))) {
            list1_add_links(kept->addresses);
            return;
        }
        if (platform::quit_requested()) {
            return;
        }
    }
    const InsensitiveWhile no_save(Command2, politeness != nullptr);
    Timer1.set_enabled(true);
    if (politeness) {
        // Nothing still loading may add its links to the new list.
        WebBrowser1.Stop();
    } else {
        WebBrowser1.Navigate2(typed_address(txtblog));
    }
    Command1.set_label(platform::utf16_to_utf8(u"正在获取文章链接"));
    Command1.set_sensitive(false);
    platform::MsgBox(hint_text);
    if (platform::quit_requested()) {
        return;
    }
    window::WaitingCaption caption(Command1, politeness,
                                   platform::utf8_to_utf16(Command1.get_label().raw()));
    if (politeness) {
        // The browser shows the archive's pages as captured, each fetched once under the
        // politeness, never the archive's replay with its toolbar and every picture.
        const archive::WaybackBlog& blog = *route.wayback();
        show_archived_page(
            archive::capture_address(blog.archive, blog.timestamp, u"id_", blog.blog), *politeness,
            caption);
    }
    bool stopped = archive_stopped(politeness);
    const std::optional<std::u16string> first_page =
        stopped ? std::nullopt : fetch_first_list_page(route, politeness, caption);
    if (platform::quit_requested()) {
        return;
    }
    stopped = stopped || archive_stopped(politeness);
    // A blog that is not of the older layout may be of the newer one, at its home address.
    std::optional<int> new_layout_pages;
    if (!stopped && !blog::IsOldLayoutListPage(first_page.value_or(u""))) {
        new_layout_pages = new_layout_page_count(route, politeness, caption);
        if (platform::quit_requested()) {
            return;
        }
        stopped = archive_stopped(politeness);
    }
    if (new_layout_pages) {
        stopped = walk_new_layout(route, *new_layout_pages, politeness, caption);
    } else {
        if (!first_page && !stopped) {
            platform::MsgBox(blog::BadAddressText, blog::BadAddressTitle);
        }
        int last_page_index = 0;
        if (const std::optional<int> read = blog::LastPageIndexFrom(first_page.value_or(u""))) {
            last_page_index = *read;
            Label2.set_text(
                platform::utf16_to_utf8(u"共有" + platform::decimal(last_page_index) + u"页数"));
        }
        for (int k = 0; k <= last_page_index && !stopped && !platform::quit_requested(); ++k) {
            stopped = walk_list_page(k + 1, route.list_page(k), politeness, caption);
        }
    }
    if (politeness && !stopped && !platform::quit_requested()) {
        add_posts_from_capture_index(*route.wayback(), *politeness, caption);
    }
    if (platform::quit_requested()) {
        return;
    }
    if (politeness && list1_count() > 0) {
        window::WriteKeptList(kept_folder, list1_items());
    }
    Command1.set_sensitive(true);
    Command1.set_label(platform::utf16_to_utf8(u"获取文章链接"));
    Timer1.set_enabled(false);
    if (!route.wayback()) {
        // The service closed: an address of it that lists nothing may still be in the archive.
        offer_archive_recovery(typed_address(txtblog));
    }
}

// Shows list page `shown` (from 1) at `address` for the walk's time, and gathers its posts; true
// when the archive then stops us.
bool Form1::walk_list_page(long long shown, const std::u16string& address,
                           archive::ArchiveRequestPolicy* politeness,
                           window::WaitingCaption& caption) {
    Label3.set_text(
        platform::utf16_to_utf8(u"正在获取第" + platform::decimal(shown) + u"页的文章链接"));
    if (politeness) {
        show_archived_page(address, *politeness, caption);
    } else {
        WebBrowser1.Navigate(address);
    }
    const std::uint64_t navigation = WebBrowser1.navigation_serial();
    moddelay::DelaySeconds(list_page_wait_seconds);
    gather_list_page(navigation);
    return archive_stopped(politeness);
}

std::optional<int> Form1::new_layout_page_count(const archive::BlogRoute& route,
                                                archive::ArchiveRequestPolicy* politeness,
                                                window::WaitingCaption& caption) {
    const std::u16string user = blog::NewLayoutUser(route.user_name());
    if (!route.wayback() && blog::NamesNoBlog(user)) {
        return std::nullopt;
    }
    const std::optional<platform::DownloadResult> home = fetch_page(
        new_layout_address(route, blog::NewLayoutHomeAddress(user)), politeness, caption);
    if (!home || !home->body || (politeness && home->status != 200)) {
        return std::nullopt;
    }
    const std::u16string page = blog::DecodeNewLayoutPage(*home->body, home->content_type);
    if (!blog::IsNewLayoutListPage(page)) {
        return std::nullopt;
    }
    return blog::NewLayoutPageCount(page);
}

bool Form1::walk_new_layout(const archive::BlogRoute& route, int pages,
                            archive::ArchiveRequestPolicy* politeness,
                            window::WaitingCaption& caption) {
    Label2.set_text(platform::utf16_to_utf8(u"共有" + platform::decimal(pages) + u"页数"));
    const std::u16string user = blog::NewLayoutUser(route.user_name());
    bool stopped = false;
    for (int k = 1; k <= pages && !stopped && !platform::quit_requested(); ++k) {
        stopped =
            walk_list_page(k, new_layout_address(route, blog::NewLayoutListPageAddress(user, k)),
                           politeness, caption);
    }
    if (!politeness || stopped || platform::quit_requested()) {
        return stopped;
    }
    // The home's capture may be older than the blog's last pages, or show no pager at all.
    const std::vector<long long> more =
        captured_list_pages_after(*route.wayback(), user, pages, *politeness, caption);
    stopped = archive_stopped(politeness);
    for (std::size_t i = 0; i < more.size() && !stopped && !platform::quit_requested(); ++i) {
        stopped = walk_list_page(
            more[i], new_layout_address(route, blog::NewLayoutListPageAddress(user, more[i])),
            politeness, caption);
    }
    return stopped;
}

// The blog's first list page; nothing when the address names no blog or no response could be
// had, which the error box then tells the user.
std::optional<std::u16string>
Form1::fetch_first_list_page(const archive::BlogRoute& route,
                             archive::ArchiveRequestPolicy* politeness,
                             window::WaitingCaption& caption) {
    if (!route.wayback() && blog::NamesNoBlog(route.user_name())) {
        return std::nullopt;
    }
    std::optional<platform::DownloadResult> result =
        fetch_page(route.first_list_page(), politeness, caption);
    if (!result || !result->body) {
        return std::nullopt;
    }
    return platform::decode_gbk(*result->body);
}

std::optional<platform::DownloadResult> Form1::fetch_page(const std::u16string& address,
                                                          archive::ArchiveRequestPolicy* politeness,
                                                          window::WaitingCaption& caption) {
    std::optional<platform::DownloadResult> body;
    platform::PageDownloads download(
        {platform::utf16_to_utf8(address)}, 1,
        [&body](std::size_t, platform::DownloadResult result) { body = std::move(result); }, {},
        politeness);
    const InputBlock deaf(*this);
    if (politeness) {
        window::wait_for(download, caption);
    }
    while (!download.done() && !platform::quit_requested()) {
        moddelay::pump_until([&] { return download.done(); }, fetch_slice_ms);
    }
    download.rethrow_failure();
    return body;
}

// Moving on replaces the page shown, so its posts are gathered first: once it has finished, or,
// when it is still loading after the grace time, from its document if that is up (an image that
// never comes must not cost the page's links). A page that failed has nothing to give.
void Form1::gather_list_page(std::uint64_t navigation) {
    const auto settled = [&] {
        const bool failed =
            WebBrowser1.ended_serial() >= navigation && WebBrowser1.completed_serial() < navigation;
        return collected_serial() >= navigation || failed;
    };
    if (moddelay::pump_until(settled, slow_page_grace_ms) || platform::quit_requested()) {
        return;
    }
    if (WebBrowser1.committed_serial() >= navigation) {
        collect_links(navigation);
        moddelay::pump_until([&] { return collected_serial() >= navigation; }, links_answer_ms);
    }
}
