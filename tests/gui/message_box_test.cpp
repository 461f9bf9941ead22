#include "tests/gui/form1_fixture.h"
#include "tests/gui/x_input.h"

#include "platform/interval_timer.h"
#include "platform/message_box.h"
#include "platform/quit_request.h"
#include "platform/text.h"
#include "platform/unhandled_error.h"
#include "platform/web_browser.h"
#include "tools/sample_blog/blog_model.h"
#include "utilities/moddelay.h"

#include <glibmm/main.h>
#include <gtkmm/button.h>
#include <gtkmm/label.h>

#include <cstdio>
#include <stdexcept>

using gui_testing::Form1Fixture;

namespace {

Gtk::Window* shown_message_box() {
    for (Gtk::Window* window : Gtk::Window::list_toplevels()) {
        if (window->get_visible() && window->has_css_class("message-box")) {
            return window;
        }
    }
    return nullptr;
}

// What the real box showed, read while it was up.
struct SeenBox {
    bool seen = false;
    std::string title;
    bool modal = false;
    bool over_form = false;
};

class MessageBoxTest : public Form1Fixture {
protected:
    void SetUp() override {
        Form1Fixture::SetUp();
        platform::set_message_box_handler({}); // the real box
    }
};

} // namespace

TEST_F(MessageBoxTest, RealBoxBlocksUntilOkWhileEventsGoOnAndTheWindowTakesNoClicks) {
    ASSERT_TRUE(wait_for_collected());
    ASSERT_TRUE(form().get_mapped());

    int ticks = 0;
    auto ticker = Glib::signal_timeout().connect(
        [&] {
            ++ticks;
            return true;
        },
        20);
    SeenBox seen;
    bool clicked_through = false;
    bool answered = false;
    bool answered_by_key = true;
    sigc::connection fallback;
    int ticks_at_answer = -1;
    // Once the box is up and the browser has finished the page sent for below, click the
    // window behind it, then answer the box with the keyboard as a user would.
    auto answer = Glib::signal_timeout().connect(
        [&] {
            Gtk::Window* box = shown_message_box();
            if (box == nullptr || ticks < 10 || form().collected_serial() < 2) {
                return true;
            }
            seen = {true, box->get_title(), box->get_modal(), box->get_transient_for() == &form()};
            gui_testing::click_widget(form().Label5, 0.05);
            moddelay::pump_until([] { return false; }, 500);
            clicked_through = !opened.empty();
            ticks_at_answer = ticks;
            answered = true;
            gui_testing::press_key("Return");
            // Should the key miss the box, end the wait anyway so the test fails instead of
            // hanging.
            fallback = Glib::signal_timeout().connect(
                [&] {
                    if (Gtk::Window* left = shown_message_box()) {
                        answered_by_key = false;
                        left->close();
                    }
                    return false;
                },
                5000);
            return false;
        },
        100);

    form().WebBrowser1.Navigate(sample_blog::SampleBlog(u"pellumo").list_page_address(0));
    platform::MsgBox(u"保存完毕");
    ticker.disconnect();
    answer.disconnect();
    fallback.disconnect();

    EXPECT_TRUE(answered) << "MsgBox returned before it was answered";
    EXPECT_TRUE(answered_by_key);
    EXPECT_TRUE(seen.seen);
    EXPECT_EQ(seen.title, "Pellumo");
    EXPECT_TRUE(seen.modal);
    EXPECT_TRUE(seen.over_form);
    EXPECT_FALSE(clicked_through);
    EXPECT_GE(ticks_at_answer, 10);
    EXPECT_EQ(form().collected_serial(), 2u);
    EXPECT_EQ(shown_message_box(), nullptr);

    // The same click reaches the window once the box is gone.
    gui_testing::click_widget(form().Label5, 0.05);
    EXPECT_TRUE(wait_until([this] { return !opened.empty(); }, 10));
}

TEST_F(MessageBoxTest, OkButtonAnswersAndAGivenTitleIsShown) {
    std::string title;
    std::string text;
    auto answer = Glib::signal_timeout().connect(
        [&] {
            Gtk::Window* box = shown_message_box();
            if (box == nullptr) {
                return true;
            }
            title = box->get_title();
            for (auto* child = box->get_child()->get_first_child(); child != nullptr;
                 child = child->get_next_sibling()) {
                if (auto* label = dynamic_cast<Gtk::Label*>(child)) {
                    text = label->get_text();
                } else if (auto* button = dynamic_cast<Gtk::Button*>(child)) {
                    button->activate();
                }
            }
            return false;
        },
        100);
    platform::MsgBox(u"第1页", u"进度");
    answer.disconnect();
    EXPECT_EQ(title, "进度");
    EXPECT_EQ(text, "第1页");
}

TEST_F(MessageBoxTest, ClosingTheProgramReleasesAWaitingBox) {
    bool asked_to_quit = false;
    auto quit = Glib::signal_timeout().connect(
        [&] {
            if (shown_message_box() == nullptr) {
                return true;
            }
            asked_to_quit = true;
            form().close();
            return false;
        },
        100);
    platform::MsgBox(u"等待中");
    quit.disconnect();
    EXPECT_TRUE(asked_to_quit);
    EXPECT_TRUE(platform::quit_requested());
    EXPECT_EQ(shown_message_box(), nullptr);
}

// Unhandled errors end the program, so each runs in a child process.
namespace {

void record_boxes_on_stderr() {
    platform::set_message_box_handler([](std::u16string_view text, std::u16string_view title) {
        std::fprintf(stderr, "box[%s]: %s\n", platform::utf16_to_utf8(title).c_str(),
                     platform::utf16_to_utf8(text).c_str());
    });
}

} // namespace

TEST(UnhandledErrorDeathTest, ReportsTheDescriptionAndEndsWithFailure) {
    EXPECT_EXIT(
        {
            record_boxes_on_stderr();
            platform::guarded([] { throw std::runtime_error("磁盘已满"); });
            std::fprintf(stderr, "went on\n");
            std::exit(0);
        },
        testing::ExitedWithCode(1), "box\\[Pellumo\\]: 运行时错误.*磁盘已满");
}

TEST(UnhandledErrorDeathTest, AnythingThrownIsReported) {
    EXPECT_EXIT(
        {
            record_boxes_on_stderr();
            platform::guarded([] { throw 42; });
            std::exit(0);
        },
        testing::ExitedWithCode(1), "box\\[Pellumo\\]: 运行时错误.*未知错误");
}

TEST(UnhandledErrorDeathTest, ErrorInABrowserEventHandlerEndsTheProgram) {
    EXPECT_EXIT(
        {
            record_boxes_on_stderr();
            platform::WebBrowser browser;
            browser.signal_DocumentComplete().connect([] { throw std::out_of_range("下标越界"); });
            browser.Navigate2(u"data:text/html,<p>x</p>");
            moddelay::pump_until([] { return false; }, 20000);
            std::exit(0);
        },
        testing::ExitedWithCode(1), "box\\[Pellumo\\]: 运行时错误.*下标越界");
}

TEST(UnhandledErrorDeathTest, ErrorInATimerTickEndsTheProgram) {
    EXPECT_EXIT(
        {
            record_boxes_on_stderr();
            platform::IntervalTimer timer(10, [] { throw std::runtime_error("溢出"); });
            timer.set_enabled(true);
            moddelay::pump_until([] { return false; }, 5000);
            std::exit(0);
        },
        testing::ExitedWithCode(1), "box\\[Pellumo\\]: 运行时错误.*溢出");
}
