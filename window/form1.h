#pragma once
// The program's only window: its controls, their layout and the handlers the platform calls.

#include "archive/archive_request_policy.h"
#include "archive/blog_route.h"
#include "archive/capture_index.h"
#include "blog/link_collector.h"
#include "platform/interval_timer.h"
#include "platform/page_downloads.h"
#include "platform/web_browser.h"
#include "window/fixed_size.h"
#include "window/tab_order_fixed.h"

#include <gtkmm/button.h>
#include <gtkmm/entry.h>
#include <gtkmm/label.h>
#include <gtkmm/listview.h>
#include <gtkmm/scrolledwindow.h>
#include <gtkmm/singleselection.h>
#include <gtkmm/stringlist.h>
#include <gtkmm/window.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace window {
class WaitingCaption;
}

class Form1 : public Gtk::Window {
public:
    Form1();
    ~Form1() override;

    // While one of these lives an operation is running: closing the window then only asks the
    // operation to stop, and the window really closes when the last scope ends.
    class BusyScope {
    public:
        explicit BusyScope(Form1& form);
        ~BusyScope();
        BusyScope(const BusyScope&) = delete;
        BusyScope& operator=(const BusyScope&) = delete;

    private:
        Form1& m_form;
    };

    // Controls, under their given names.
    FixedSize<Gtk::Entry> txtblog;
    FixedSize<Gtk::Button> Command1;
    FixedSize<Gtk::Button> Command2;
    platform::WebBrowser WebBrowser1;
    FixedSize<Gtk::Label> Label1;
    FixedSize<Gtk::Label> Label2;
    FixedSize<Gtk::Label> Label3;
    FixedSize<Gtk::Label> Label4;
    FixedSize<Gtk::Label> Label5;
    Gtk::ListView List1;
    platform::IntervalTimer Timer1;

    // Seconds counted by Timer1; never reset while the window lives.
    long long ElapsedSeconds = 0;
    // Posts downloaded at once while saving; 1 saves one after another.
    std::size_t save_parallel_downloads = 4;

    // List1's items, which are post addresses.
    std::size_t list1_count() const { return m_post_links.size(); }
    const std::u16string& list1_item(std::size_t index) const { return m_post_links.at(index); }
    const std::vector<std::u16string>& list1_items() const { return m_post_links.items(); }
    // Appends the post links among `links` that are not listed yet, as the collector does.
    void list1_add_links(const std::vector<std::u16string>& links);
    void list1_clear();
    std::optional<std::size_t> list1_selected() const;
    void list1_select(std::size_t index);

    // Handlers.
    void Timer1_Timer();
    void List1_DblClick();
    void Label5_Click();
    void LinkCollector();
    void HarvestRun();
    void SaveRun();

    // The newest WebBrowser1 navigation serial whose page's links have been added to List1.
    std::uint64_t collected_serial() const { return m_collected_serial; }

protected:
    bool on_close_request() override;

private:
    // While one lives, the controls take no clicks or keys, and look as they always do: the
    // window repaints, ticks and closes, but is as deaf as a window that waits for the network.
    class InputBlock {
    public:
        explicit InputBlock(Form1& form);
        ~InputBlock();
        InputBlock(const InputBlock&) = delete;
        InputBlock& operator=(const InputBlock&) = delete;

    private:
        Form1& m_form;
    };

    void build_layout();
    void connect_handlers();
    void Form_Load();
    void collect_links(std::uint64_t serial);
    void add_collected_links(const std::optional<std::vector<std::u16string>>& links);
    std::optional<std::u16string> fetch_first_list_page(const archive::BlogRoute& route,
                                                        archive::ArchiveRequestPolicy* politeness,
                                                        window::WaitingCaption& caption);
    // One page downloaded while the window stays live; nothing when the download ended
    // without a result (the program is quitting).
    std::optional<platform::DownloadResult> fetch_page(const std::u16string& address,
                                                       archive::ArchiveRequestPolicy* politeness,
                                                       window::WaitingCaption& caption);
    bool walk_list_page(long long shown, const std::u16string& address,
                        archive::ArchiveRequestPolicy* politeness, window::WaitingCaption& caption);
    // The newer layout's page count when the blog's home is of that layout; nothing otherwise.
    std::optional<int> new_layout_page_count(const archive::BlogRoute& route,
                                             archive::ArchiveRequestPolicy* politeness,
                                             window::WaitingCaption& caption);
    // True when the archive stopped the walk (its box shown).
    bool walk_new_layout(const archive::BlogRoute& route, int pages,
                         archive::ArchiveRequestPolicy* politeness,
                         window::WaitingCaption& caption);
    // The newer layout's list pages above `walked` that the archive's index holds captures of;
    // none when the index cannot say (the post index still lists every captured post).
    std::vector<long long> captured_list_pages_after(const archive::WaybackBlog& blog,
                                                     std::u16string_view user, long long walked,
                                                     archive::ArchiveRequestPolicy& politeness,
                                                     window::WaitingCaption& caption);
    // Shows a page of the blog as the archive captured it, downloaded under the politeness;
    // nothing is shown when no page came.
    void show_archived_page(const std::u16string& raw_address,
                            archive::ArchiveRequestPolicy& politeness,
                            window::WaitingCaption& caption);
    // Shows the raw capture of an archived address (<archive>/web/<timestamp>[flag]/<original>)
    // fetched under the archive's politeness; false when `address` is no archived one.
    bool show_raw_capture(const std::u16string& address);
    // A link followed or a refresh of the raw page shown, which the browser did not load: its
    // address, resolved against the archive, is taken back to the blog's and shown raw too.
    void follow_from_raw_page(const std::u16string& address);
    // The body of a status-200 answer of the archive; nothing for any other outcome.
    std::optional<std::string> fetch_from_archive(const std::u16string& address,
                                                  archive::ArchiveRequestPolicy& politeness,
                                                  window::WaitingCaption& caption);
    // After a harvest of the service's own address that listed nothing: offers to recover the
    // blog from the archive, and harvests it from there when the user agrees.
    void offer_archive_recovery(const std::u16string& typed);
    // The archive's capture index of the blog, as far as it could be read; `parts` how many
    // parts were read and `whole` false when the index was read only in part.
    std::vector<archive::CaptureEntry> read_capture_index(const archive::WaybackBlog& blog,
                                                          archive::ArchiveRequestPolicy& politeness,
                                                          window::WaitingCaption& caption,
                                                          bool& whole, std::size_t& parts);
    // After a walk through the archive: the posts its list pages did not show.
    void add_posts_from_capture_index(const archive::WaybackBlog& blog,
                                      archive::ArchiveRequestPolicy& politeness,
                                      window::WaitingCaption& caption);
    // When the archive has shut us out or does not answer, says so in its box and gives true.
    static bool archive_stopped(const archive::ArchiveRequestPolicy* politeness);
    // Where a save through the archive downloads `posts` from; nothing when the archive blocks
    // us.
    std::optional<std::vector<std::u16string>> archive_download_addresses(
        const archive::BlogRoute& route, archive::ArchiveRequestPolicy& politeness,
        window::WaitingCaption& caption, const std::vector<std::u16string>& posts);
    void gather_list_page(std::uint64_t navigation);
    void close_after_operations();

    TabOrderFixed m_client;
    Gtk::ScrolledWindow m_list1_scroller;
    Glib::RefPtr<Gtk::StringList> m_list1_model;
    Glib::RefPtr<Gtk::SingleSelection> m_list1_selection;
    blog::PostLinkList m_post_links;
    std::uint64_t m_collected_serial = 0;
    // Raised by every clear of List1.
    std::uint64_t m_list1_generation = 0;
    // Each post's own capture, from the last harvest through the archive, and the blog (its
    // address on the service) it was read for.
    std::u16string m_captures_blog;
    std::optional<archive::OwnCaptures> m_captures;
    // What each archive host told us, for as long as the program runs.
    archive::ArchivePolicies m_archive_policies;
    int m_busy = 0;
    bool m_input_blocked = false;
    bool m_saving = false;
};
