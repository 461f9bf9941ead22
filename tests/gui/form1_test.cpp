#include "tests/gui/form1_fixture.h"
#include "tests/gui/x_input.h"

#include "blog/blog_address.h"
#include "platform/files.h"
#include "platform/message_box.h"
#include "platform/quit_request.h"
#include "platform/text.h"
#include "tools/sample_blog/blog_model.h"
#include "window/button_caption.h"

#include <glibmm/main.h>
#include <glibmm/spawn.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <regex>
#include <sys/wait.h>
#include <thread>

using gui_testing::first_copies;
using gui_testing::Form1Fixture;
using gui_testing::list1_rows;
using gui_testing::text_of;
using gui_testing::wait_until;

namespace {

const sample_blog::SampleBlog home_blog(std::u16string(blog::UserName(blog::HomeAddress)));

std::u16string count_caption(std::size_t count) {
    return u"共获取" + platform::decimal(static_cast<long long>(count)) + u"文章链接";
}

class Form1Test : public Form1Fixture {
protected:
    // List1's items, its rows and Label1's count all show `expected`.
    void expect_listed(const std::vector<std::u16string>& expected) {
        EXPECT_EQ(form().list1_items(), expected);
        EXPECT_EQ(list1_rows(form()), expected);
        EXPECT_EQ(text_of(form().Label1), count_caption(expected.size()));
    }
};

} // namespace

TEST_F(Form1Test, StartsWithItsCaptionsAndKeepsItsControlsInPlace) {
    ASSERT_TRUE(
        wait_until([this] { return form().get_mapped() && form().Label4.get_width() > 0; }, 10));
    EXPECT_EQ(form().txtblog.get_text().raw(), platform::utf16_to_utf8(blog::HomeAddress));
    EXPECT_EQ(form().Command1.get_label(), "获取文章链接");
    EXPECT_EQ(form().Command2.get_label(), "保存文章");

    // Rows from top to bottom, controls left to right: the address box and the buttons, the
    // browser, the advert, the list, the status labels. Nothing overlaps or leaves the window.
    const std::vector<std::vector<Gtk::Widget*>> rows = {
        {&form().txtblog, &form().Command1, &form().Command2},
        {&form().WebBrowser1.widget()},
        {&form().Label5},
        {form().List1.get_parent()},
        {&form().Label2, &form().Label3, &form().Label1, &form().Label4}};
    int row_top = 0;
    for (const auto& row : rows) {
        int left = 0;
        int row_bottom = row_top;
        for (Gtk::Widget* control : row) {
            SCOPED_TRACE(control->get_name());
            const Gtk::Allocation box = control->get_allocation();
            EXPECT_GE(box.get_y(), row_top);
            EXPECT_GE(box.get_x(), left);
            EXPECT_GT(box.get_width(), 0);
            left = box.get_x() + box.get_width();
            row_bottom = std::max(row_bottom, box.get_y() + box.get_height());
        }
        EXPECT_LE(left, 740);
        row_top = row_bottom;
    }
    EXPECT_LE(row_top, 482);
    EXPECT_EQ(form().get_width(), 11100 / 15);
    EXPECT_EQ(form().get_height(), 7230 / 15);
    // The window manager may neither resize nor maximise nor minimise it. Motif flags,
    // functions, decorations: move and close; border, title and menu.
    const std::string sizes = gui_testing::window_property(form(), "WM_NORMAL_HINTS");
    EXPECT_NE(sizes.find("minimum size: 740 by 482"), std::string::npos) << sizes;
    EXPECT_NE(sizes.find("maximum size: 740 by 482"), std::string::npos) << sizes;
    EXPECT_NE(gui_testing::window_property(form(), "_MOTIF_WM_HINTS").find("= 0x3, 0x24, 0x1a"),
              std::string::npos);
}

TEST_F(Form1Test, ARunningCountNeverWidensItsButtonOrTheWindow) {
    ASSERT_TRUE(wait_for_collected());
    form().list1_clear();
    std::vector<std::u16string> posts;
    for (int i = 1; i <= 10000; ++i) {
        posts.push_back(u"http://hi.baidu.com/wide/blog/item/" + platform::decimal(i) + u".html");
    }
    form().list1_add_links(posts);
    ASSERT_EQ(form().list1_count(), 10000u);

    // A caption with no shorter form that fits is cut off; it never widens anything.
    window::ShowFittingCaption(form().Command2, u"正在保存12345678/12345678", u"12345678/12345678");
    wait_until([] { return false; }, 0.5);
    EXPECT_EQ(form().Command2.get_allocation().get_width(), 1335 / 15);
    EXPECT_EQ(form().get_width(), 11100 / 15);

    form().txtblog.set_text("http://hi.baidu.com/wide");
    const std::filesystem::path folder = platform::program_folder() / "wide";

    // Once a count has been shown for a while, look, then close the window to end the save.
    std::string caption;
    int seen = 0;
    int button_width = 0;
    int window_width = 0;
    Glib::signal_timeout().connect(
        [&] {
            if (!form().Command2.get_label().raw().ends_with("/10000") || ++seen < 2) {
                return true;
            }
            caption = form().Command2.get_label();
            button_width = form().Command2.get_allocation().get_width();
            window_width = form().get_width();
            form().close();
            return false;
        },
        200);
    gui_testing::click(form().Command2);
    std::filesystem::remove_all(folder);

    // "正在保存1234/10000" does not fit the button: the count alone does.
    EXPECT_TRUE(std::regex_match(caption, std::regex("[0-9]+/10000"))) << caption;
    EXPECT_EQ(button_width, 1335 / 15);
    EXPECT_EQ(window_width, 11100 / 15);
}

TEST_F(Form1Test, TabFollowsTheTabIndexes) {
    ASSERT_TRUE(wait_until([this] { return form().is_active(); }, 10));
    ASSERT_TRUE(wait_for_collected()); // an empty list view takes no focus
    const auto tab_reaches = [this](Gtk::Widget& from, const char* key, Gtk::Widget& control) {
        from.grab_focus();
        Gtk::Widget* before = form().get_focus();
        gui_testing::press_key(key);
        wait_until([&] { return form().get_focus() != before; }, 5);
        Gtk::Widget* focus = form().get_focus();
        return focus != nullptr && (focus == &control || focus->is_ancestor(control));
    };
    EXPECT_TRUE(tab_reaches(form().txtblog, "Tab", form().Command1));
    // Past Command2 comes the list (tab index 4), although the browser is nearer on screen.
    EXPECT_TRUE(tab_reaches(form().Command2, "Tab", form().List1));
    EXPECT_TRUE(tab_reaches(form().Command2, "shift+Tab", form().Command1));
    // Back from the address box is the browser (tab index 0).
    EXPECT_TRUE(tab_reaches(form().txtblog, "shift+Tab", form().WebBrowser1.widget()));
}

TEST_F(Form1Test, ShownPagesAddTheirPostsOnceWhereFirstFound) {
    // Right after start, the home page the window opens with.
    ASSERT_TRUE(wait_for_collected());
    const auto home = home_blog.home_page().post_links;
    ASSERT_FALSE(home.empty());
    expect_listed(home);

    // A list page repeats posts of the home page, links comments and send pages of posts,
    // which the list refuses, and links a post of another blog, which it keeps.
    const auto list_page = home_blog.list_page(0);
    for (const char16_t* noise : {u"#comment", u"?cmd=send"}) {
        ASSERT_TRUE(std::ranges::any_of(list_page.links, [&](const std::u16string& link) {
            return link.find(noise) != std::u16string::npos;
        }));
    }
    const auto expected = first_copies({home, list_page.post_links});
    ASSERT_LT(expected.size(), home.size() + list_page.post_links.size());
    form().WebBrowser1.Navigate(home_blog.list_page_address(0));
    ASSERT_TRUE(wait_for_collected());
    expect_listed(expected);
    EXPECT_EQ(std::ranges::count(form().list1_items(), home_blog.friend_blog().post_address(1)), 1);

    // Shown again, the page adds nothing, but the count is shown anew.
    form().Label1.set_text("");
    form().WebBrowser1.Navigate2(home_blog.list_page_address(0));
    ASSERT_TRUE(wait_for_collected());
    expect_listed(expected);
}

TEST_F(Form1Test, DoubleClickShowsThePostAndCollectsItsLinks) {
    ASSERT_TRUE(wait_for_collected());
    const std::size_t listed = form().list1_count();
    ASSERT_EQ(form().list1_item(2), home_blog.post_address(3));

    // What GTK emits for a double-click or Enter on a row.
    g_signal_emit_by_name(form().List1.gobj(), "activate", 2U);
    EXPECT_EQ(form().list1_selected(), 2u);
    ASSERT_TRUE(wait_for_collected());
    EXPECT_EQ(form().WebBrowser1.current_address(), home_blog.post_address(3));
    EXPECT_EQ(form().list1_items(),
              first_copies({home_blog.home_page().post_links, home_blog.post_page(3).post_links}));
    EXPECT_GT(form().list1_count(), listed);

    // A link a page planted to run a script passes the collector's tests, but is never shown.
    form().list1_add_links({u"javascript:location='http://hi.baidu.com/x/blog/item/1.html'"});
    const std::uint64_t navigations = form().WebBrowser1.navigation_serial();
    g_signal_emit_by_name(form().List1.gobj(), "activate", guint(form().list1_count() - 1));
    EXPECT_EQ(form().WebBrowser1.navigation_serial(), navigations);
}

TEST_F(Form1Test, TheProgramIgnoresItsArgumentsOpensItsWindowAndClosesWithIt) {
    Glib::Pid pid = 0;
    Glib::spawn_async("", {PELLUMO_PROGRAM, "--foo", "bar", "http://x"},
                      Glib::SpawnFlags::DO_NOT_REAP_CHILD, {}, &pid);
    std::string window;
    Glib::spawn_command_line_sync(
        "timeout 20 xdotool search --sync --onlyvisible --pid " + std::to_string(pid), &window);
    int status = -1;
    if (!window.empty()) {
        Glib::spawn_command_line_sync("xdotool windowactivate --sync " +
                                      window.substr(0, window.find('\n')) + " key alt+F4");
        for (int i = 0; i < 150 && waitpid(pid, &status, WNOHANG) == 0; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
    if (status == -1) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    }
    EXPECT_FALSE(window.empty()) << "no window opened";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

TEST_F(Form1Test, ClickOnTheAdvertOpensTheDownloadSite) {
    ASSERT_TRUE(wait_until([this] { return form().get_mapped(); }, 10));
    gui_testing::click_widget(form().Label5);
    ASSERT_TRUE(wait_until([this] { return !opened.empty(); }, 10));
    EXPECT_EQ(opened, std::vector<std::u16string>{std::u16string(blog::DownloadPageAddress)});
}

TEST_F(Form1Test, ClosingDuringAnOperationWaitsForItToUnwind) {
    int close_requests = 0;
    form().signal_close_request().connect(
        [&] {
            ++close_requests;
            return false;
        },
        false);
    {
        const Form1::BusyScope busy(form());
        form().close();
        EXPECT_FALSE(form().get_visible());
        EXPECT_TRUE(platform::quit_requested());
        EXPECT_EQ(close_requests, 1);
        // Boxes of the unwinding operation no longer wait for an answer.
        platform::set_message_box_handler({});
        platform::MsgBox(u"不应等待");
    }
    // Pumping stops at once while quitting, so serve the closing idle directly.
    const auto context = Glib::MainContext::get_default();
    for (int i = 0; i < 100 && close_requests < 2; ++i) {
        context->iteration(false);
    }
    EXPECT_EQ(close_requests, 2);
    EXPECT_FALSE(form().get_visible());
}
