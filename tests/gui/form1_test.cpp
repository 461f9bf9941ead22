#include "tests/gui/form1_fixture.h"
#include "tests/gui/x_input.h"

#include "platform/message_box.h"
#include "platform/quit_request.h"
#include "platform/text.h"
#include "tools/sample_blog/blog_model.h"
#include "window/blog_address.h"

#include <glibmm/main.h>

#include <algorithm>

using gui_testing::Form1Fixture;
using gui_testing::list1_rows;
using platform::utf8_to_utf16;

namespace {

const sample_blog::SampleBlog home_blog(std::u16string(blog::UserName(blog::HomeAddress)));

std::u16string text_of(const Gtk::Label& label) {
    return utf8_to_utf16(label.get_text().raw());
}

std::u16string count_caption(std::size_t count) {
    return u"共获取" + platform::decimal(static_cast<long long>(count)) + u"文章链接";
}

// Keeps the first copy of each address, as the list does across pages.
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

class Form1Test : public Form1Fixture {};

} // namespace

TEST_F(Form1Test, ControlsSitWhereTheLayoutPutsThem) {
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
    EXPECT_FALSE(form().get_resizable());
    EXPECT_EQ(form().get_title(), "Pellumo");
}

TEST_F(Form1Test, FrameOffersNeitherMaximiseNorMinimise) {
    ASSERT_TRUE(wait_until([this] { return form().get_mapped(); }, 10));
    // Flags, functions, decorations: move and close; border, title and menu.
    EXPECT_NE(gui_testing::window_property(form(), "_MOTIF_WM_HINTS").find("= 0x3, 0x24, 0x1a"),
              std::string::npos);
    const std::string sizes = gui_testing::window_property(form(), "WM_NORMAL_HINTS");
    EXPECT_NE(sizes.find("minimum size: 740 by 482"), std::string::npos) << sizes;
    EXPECT_NE(sizes.find("maximum size: 740 by 482"), std::string::npos) << sizes;
}

TEST_F(Form1Test, StartsWithItsCaptionsAndAnEmptyList) {
    EXPECT_EQ(utf8_to_utf16(form().txtblog.get_text().raw()), blog::HomeAddress);
    EXPECT_EQ(form().Command1.get_label(), "获取文章链接");
    EXPECT_EQ(form().Command2.get_label(), "保存文章");
    EXPECT_EQ(text_of(form().Label5),
              std::u16string(blog::DownloadSiteName) + u" -免费软件、共享软件一网打尽!");
    for (const Gtk::Label* label :
         {&form().Label1, &form().Label2, &form().Label3, &form().Label4}) {
        EXPECT_EQ(label->get_text(), "");
    }
    EXPECT_EQ(form().list1_count(), 0u);
    EXPECT_FALSE(form().Timer1.enabled());
    EXPECT_EQ(form().Timer1.interval_ms(), 1000u);
    EXPECT_EQ(form().ElapsedSeconds, 0);
    // The load handler has already sent the browser home.
    EXPECT_EQ(form().WebBrowser1.navigation_serial(), 1u);
}

TEST_F(Form1Test, TabFollowsTheTabIndexes) {
    ASSERT_TRUE(wait_until([this] { return form().is_active(); }, 10));
    ASSERT_TRUE(wait_for_collected()); // an empty list view takes no focus
    const auto focus_after_tab = [this](Gtk::Widget& from, const char* key) {
        from.grab_focus();
        Gtk::Widget* before = form().get_focus();
        gui_testing::press_key(key);
        wait_until([&] { return form().get_focus() != before; }, 5);
        return form().get_focus();
    };
    const auto within = [](Gtk::Widget* focus, Gtk::Widget& control) {
        return focus != nullptr && (focus == &control || focus->is_ancestor(control));
    };
    EXPECT_TRUE(within(focus_after_tab(form().txtblog, "Tab"), form().Command1));
    // Past Command2 comes the list (tab index 4), although the browser is nearer on screen.
    EXPECT_TRUE(within(focus_after_tab(form().Command2, "Tab"), form().List1));
    EXPECT_TRUE(within(focus_after_tab(form().Command2, "shift+Tab"), form().Command1));
    // Back from the address box is the browser (tab index 0).
    EXPECT_TRUE(within(focus_after_tab(form().txtblog, "shift+Tab"), form().WebBrowser1.widget()));
}

TEST_F(Form1Test, HomePagePostsFillTheListRightAfterStart) {
    ASSERT_TRUE(wait_for_collected());
    const auto expected = home_blog.home_page().post_links;
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(form().list1_items(), expected);
    EXPECT_EQ(list1_rows(form()), expected);
    EXPECT_EQ(text_of(form().Label1), count_caption(expected.size()));
}

TEST_F(Form1Test, ListPageAddsPostsOnceWithoutNoiseKeepingOtherBlogs) {
    ASSERT_TRUE(wait_for_collected());
    const auto list_page = home_blog.list_page(0);
    // The page carries noise the list must refuse.
    const auto has = [&](const std::u16string& part) {
        return std::any_of(list_page.links.begin(), list_page.links.end(), [&](const auto& link) {
            return link.find(u"/blog/item/") != std::u16string::npos &&
                   link.find(part) != std::u16string::npos;
        });
    };
    ASSERT_TRUE(has(u"#"));
    ASSERT_TRUE(has(u"send"));

    form().WebBrowser1.Navigate(home_blog.list_page_address(0));
    ASSERT_TRUE(wait_for_collected());

    const auto expected = first_copies({home_blog.home_page().post_links, list_page.post_links});
    EXPECT_EQ(form().list1_items(), expected);
    EXPECT_EQ(list1_rows(form()), expected);
    EXPECT_EQ(text_of(form().Label1), count_caption(expected.size()));
    // Posts the home page listed first keep their places at the top.
    EXPECT_EQ(form().list1_item(0), home_blog.post_address(1));
    const auto friends_post = home_blog.friend_blog().post_address(1);
    EXPECT_EQ(std::count(expected.begin(), expected.end(), friends_post), 1);
}

TEST_F(Form1Test, ReloadAddsNothing) {
    ASSERT_TRUE(wait_for_collected());
    const auto before = form().list1_items();
    const auto caption = text_of(form().Label1);
    form().WebBrowser1.Navigate2(blog::HomeAddress);
    ASSERT_TRUE(wait_for_collected());
    EXPECT_EQ(form().collected_serial(), 2u);
    EXPECT_EQ(form().list1_items(), before);
    EXPECT_EQ(list1_rows(form()), before);
    EXPECT_EQ(text_of(form().Label1), caption);
}

TEST_F(Form1Test, PageWithoutPostsStillShowsTheCount) {
    ASSERT_TRUE(wait_for_collected());
    const auto before = form().list1_items();
    form().Label1.set_text("");
    form().WebBrowser1.Navigate2(u"http://hi.baidu.com/_sample/missing");
    ASSERT_TRUE(wait_for_collected());
    EXPECT_EQ(form().list1_items(), before);
    EXPECT_EQ(text_of(form().Label1), count_caption(before.size()));
}

TEST_F(Form1Test, ClearingEmptiesTheListSoPostsCanComeBack) {
    ASSERT_TRUE(wait_for_collected());
    form().list1_clear();
    EXPECT_EQ(form().list1_count(), 0u);
    EXPECT_TRUE(list1_rows(form()).empty());
    form().WebBrowser1.Navigate2(blog::HomeAddress);
    ASSERT_TRUE(wait_for_collected());
    EXPECT_EQ(form().list1_items(), home_blog.home_page().post_links);
}

TEST_F(Form1Test, DoubleClickShowsThePostAndCollectsItsLinks) {
    ASSERT_TRUE(wait_for_collected());
    ASSERT_GE(form().list1_count(), 3u);
    const std::u16string chosen = form().list1_item(2);
    ASSERT_EQ(chosen, home_blog.post_address(3));

    // What GTK emits for a double-click or Enter on a row.
    g_signal_emit_by_name(form().List1.gobj(), "activate", 2U);
    EXPECT_EQ(form().list1_selected(), 2u);
    EXPECT_EQ(form().WebBrowser1.navigation_serial(), 2u);
    ASSERT_TRUE(wait_for_collected());

    std::optional<std::vector<std::u16string>> shown;
    form().WebBrowser1.read_links([&](auto links) { shown = std::move(links); });
    ASSERT_TRUE(wait_until([&] { return shown.has_value(); }, 10));
    EXPECT_EQ(*shown, home_blog.post_page(3).links);
    EXPECT_EQ(form().list1_items(),
              first_copies({home_blog.home_page().post_links, home_blog.post_page(3).post_links}));
    EXPECT_EQ(form().list1_items().back(), home_blog.post_address(4));
}

TEST_F(Form1Test, DoubleClickWithNothingSelectedDoesNothing) {
    ASSERT_TRUE(wait_for_collected());
    ASSERT_FALSE(form().list1_selected().has_value());
    form().List1_DblClick();
    EXPECT_EQ(form().WebBrowser1.navigation_serial(), 1u);
}

TEST_F(Form1Test, TicksCountSecondsWithoutLimit) {
    for (int i = 0; i < 60; ++i) {
        form().Timer1_Timer();
    }
    EXPECT_EQ(text_of(form().Label4), u"已用时间60秒");
    form().Timer1_Timer();
    EXPECT_EQ(text_of(form().Label4), u"已用时间61秒");

    form().ElapsedSeconds = 32767;
    form().Timer1_Timer();
    EXPECT_EQ(text_of(form().Label4), u"已用时间32768秒");

    // Enabled, the timer calls the handler on its own.
    form().Timer1.set_enabled(true);
    EXPECT_TRUE(wait_until([this] { return form().ElapsedSeconds == 32770; }, 10));
    form().Timer1.set_enabled(false);
    EXPECT_FALSE(form().Timer1.enabled());
}

TEST_F(Form1Test, ClickOnTheAdvertOpensTheDownloadSite) {
    ASSERT_TRUE(wait_until([this] { return form().get_mapped(); }, 10));
    gui_testing::click_widget(form().Label5);
    ASSERT_TRUE(wait_until([this] { return !opened.empty(); }, 10));
    EXPECT_EQ(opened, std::vector<std::u16string>{std::u16string(blog::DownloadPageAddress)});
    EXPECT_TRUE(boxes.empty());
}

TEST_F(Form1Test, ClosingWhenIdleClosesAtOnce) {
    form().close();
    EXPECT_FALSE(form().get_visible());
    EXPECT_TRUE(platform::quit_requested());
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
        EXPECT_TRUE(form().busy());
    }
    EXPECT_FALSE(form().busy());
    // Pumping stops at once while quitting, so serve the closing idle directly.
    const auto context = Glib::MainContext::get_default();
    for (int i = 0; i < 100 && close_requests < 2; ++i) {
        context->iteration(false);
    }
    EXPECT_EQ(close_requests, 2);
    EXPECT_FALSE(form().get_visible());
}
