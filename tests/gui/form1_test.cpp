#include "tests/gui/form1_fixture.h"
#include "tests/gui/x_input.h"

#include "platform/message_box.h"
#include "platform/quit_request.h"
#include "platform/text.h"
#include "tools/sample_blog/blog_model.h"
#include "window/blog_address.h"

#include <glibmm/main.h>

#include <algorithm>

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

TEST_F(Form1Test, ControlsAndFrameFollowTheLayout) {
    ASSERT_TRUE(
        wait_until([this] { return form().get_mapped() && form().Label4.get_width() > 0; }, 10));
    struct Control {
        const char* name;
        Gtk::Widget* widget;
        int left, top, width, height; // twips, 15 to the pixel
    };
    const Control controls[] = {
        {"txtblog", &form().txtblog, 120, 0, 6735, 375},
        {"Command1", &form().Command1, 7080, 0, 2175, 375},
        {"Command2", &form().Command2, 9600, 0, 1335, 375},
        {"WebBrowser1", &form().WebBrowser1.widget(), 120, 480, 10815, 2775},
        {"Label5", &form().Label5, 600, 3360, 4095, 255},
        {"List1", form().List1.get_parent(), 120, 3720, 10815, 2910},
        {"Label2", &form().Label2, 240, 6960, 1815, 255},
        {"Label3", &form().Label3, 2640, 6960, 2295, 255},
        {"Label1", &form().Label1, 5520, 6960, 3015, 255},
        {"Label4", &form().Label4, 9120, 6960, 1335, 255},
    };
    for (const Control& control : controls) {
        SCOPED_TRACE(control.name);
        // Relative to the form's client area, which holds every control but the list's rows.
        const Gtk::Allocation box = control.widget->get_allocation();
        EXPECT_EQ(box.get_x(), control.left / 15);
        EXPECT_EQ(box.get_y(), control.top / 15);
        EXPECT_EQ(box.get_width(), control.width / 15);
        EXPECT_EQ(box.get_height(), control.height / 15);
    }
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
}

TEST_F(Form1Test, EachTickCountsASecond) {
    for (int i = 0; i < 60; ++i) {
        form().Timer1_Timer();
    }
    EXPECT_EQ(text_of(form().Label4), u"已用时间60秒");
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
