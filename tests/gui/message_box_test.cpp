#include "tests/gui/form1_fixture.h"
#include "tests/gui/x_input.h"

#include "platform/message_box.h"
#include "platform/quit_request.h"
#include "platform/text.h"
#include "platform/unhandled_error.h"
#include "platform/web_browser.h"
#include "utilities/moddelay.h"

#include <glibmm/main.h>
#include <gtkmm/button.h>
#include <gtkmm/label.h>

#include <cstdio>
#include <stdexcept>

using gui_testing::wait_until;

namespace {

Gtk::Window* shown_message_box() {
    for (Gtk::Window* window : Gtk::Window::list_toplevels()) {
        if (window->get_visible() && window->has_css_class("message-box")) {
            return window;
        }
    }
    return nullptr;
}

// Runs `act` once on the real box as soon as it is up, from within the box's wait.
sigc::connection when_box_shown(std::function<void(Gtk::Window&)> act) {
    return Glib::signal_timeout().connect(
        [act] {
            Gtk::Window* box = shown_message_box();
            if (box != nullptr) {
                act(*box);
            }
            return box == nullptr;
        },
        100);
}

// An unhandled error ends the program, so `body` runs in a child process, which prints the
// boxes it shows.
void in_child_printing_boxes(const std::function<void()>& body) {
    platform::set_message_box_handler([](std::u16string_view text, std::u16string_view title) {
        std::fprintf(stderr, "box[%s]: %s\n", platform::utf16_to_utf8(title).c_str(),
                     platform::utf16_to_utf8(text).c_str());
    });
    body();
    std::exit(0);
}

class MessageBoxTest : public gui_testing::Form1Fixture {
protected:
    void SetUp() override {
        Form1Fixture::SetUp();
        platform::set_message_box_handler({}); // the real boxes
        platform::set_question_box_handler({});
        ASSERT_TRUE(wait_for_collected());
    }
};

} // namespace

TEST_F(MessageBoxTest, RealBoxBlocksUntilAnsweredWhileTimersTickAndTheWindowTakesNoClicks) {
    int ticks = 0;
    auto ticker = Glib::signal_timeout().connect([&] { return ++ticks > 0; }, 20);
    int ticks_when_shown = -1;
    std::string title;
    std::string text;
    bool clicked_through = false;
    bool key_missed = false;
    sigc::connection fallback;
    auto answer = when_box_shown([&](Gtk::Window& box) {
        ticks_when_shown = ticks;
        title = box.get_title();
        const auto* label = dynamic_cast<Gtk::Label*>(box.get_child()->get_first_child());
        text = label ? label->get_text() : "";
        gui_testing::click_widget(form().Label5, 0.05);
        wait_until([] { return false; }, 0.5);
        clicked_through = !opened.empty();
        gui_testing::press_key("Return"); // OK
        // Should the key miss the box, end the wait anyway so the test fails, not hangs.
        fallback = Glib::signal_timeout().connect(
            [&] {
                key_missed = true;
                shown_message_box()->close();
                return false;
            },
            5000);
    });
    platform::MsgBox(u"第1页", u"进度");
    ticker.disconnect();
    answer.disconnect();
    fallback.disconnect();

    EXPECT_GT(ticks_when_shown, 0) << "MsgBox returned at once or served no events";
    EXPECT_FALSE(key_missed);
    EXPECT_EQ(title, "进度");
    EXPECT_EQ(text, "第1页");
    EXPECT_FALSE(clicked_through);
    // The same click reaches the window once the box is gone.
    gui_testing::click_widget(form().Label5, 0.05);
    EXPECT_TRUE(wait_until([this] { return !opened.empty(); }, 10));
}

// The button of the box whose label reads `label`, or nullptr.
Gtk::Button* button_labelled(Gtk::Window& box, const std::string& label) {
    std::vector<Gtk::Widget*> pending{box.get_child()};
    while (!pending.empty()) {
        Gtk::Widget* widget = pending.back();
        pending.pop_back();
        if (auto* button = dynamic_cast<Gtk::Button*>(widget);
            button != nullptr && button->get_label().raw() == label) {
            return button;
        }
        for (Gtk::Widget* child = widget->get_first_child(); child != nullptr;
             child = child->get_next_sibling()) {
            pending.push_back(child);
        }
    }
    return nullptr;
}

TEST_F(MessageBoxTest, TheQuestionBoxSaysYesOnEnterAndNoOnItsButtonOrEscape) {
    // Each answer as the user gives it, through the X server; a box the input misses is
    // closed after a while so the test fails rather than hangs.
    const auto ask = [&](const std::function<void(Gtk::Window&)>& act, bool& missed) {
        sigc::connection fallback;
        auto answer = when_box_shown([&](Gtk::Window& box) {
            act(box);
            fallback = Glib::signal_timeout().connect(
                [&] {
                    missed = true;
                    if (Gtk::Window* shown = shown_message_box()) {
                        shown->close();
                    }
                    return false;
                },
                5000);
        });
        const bool yes = platform::MsgBoxYesNo(u"要恢复吗？", u"问题");
        answer.disconnect();
        fallback.disconnect();
        return yes;
    };
    bool missed = false;
    std::string title;
    std::vector<std::string> labels;
    EXPECT_TRUE(ask(
        [&](Gtk::Window& box) {
            title = box.get_title();
            for (const char* label : {"是", "否"}) {
                labels.emplace_back(button_labelled(box, label) ? label : "none");
            }
            gui_testing::press_key("Return");
        },
        missed));
    EXPECT_FALSE(missed);
    EXPECT_EQ(title, "问题");
    EXPECT_EQ(labels, (std::vector<std::string>{"是", "否"}));

    EXPECT_FALSE(ask(
        [&](Gtk::Window& box) {
            if (Gtk::Button* no = button_labelled(box, "否")) {
                gui_testing::click_widget(*no);
            }
        },
        missed));
    EXPECT_FALSE(missed);
    EXPECT_FALSE(ask([&](Gtk::Window&) { gui_testing::press_key("Escape"); }, missed));
    EXPECT_FALSE(missed);
    EXPECT_EQ(shown_message_box(), nullptr);
}

TEST_F(MessageBoxTest, ClosingTheProgramReleasesAWaitingBox) {
    std::string title;
    auto quit = when_box_shown([&](Gtk::Window& box) {
        title = box.get_title();
        form().close();
    });
    platform::MsgBox(u"等待中");
    quit.disconnect();
    EXPECT_EQ(title, "Pellumo"); // when none is given
    EXPECT_TRUE(platform::quit_requested());
    EXPECT_EQ(shown_message_box(), nullptr);
}

TEST_F(MessageBoxTest, ClosingTheWindowWhileABoxIsUpClosesTheBoxAndEndsTheRun) {
    bool box_was_up = false;
    sigc::connection fallback;
    auto close = when_box_shown([&](Gtk::Window&) {
        box_was_up = true;
        gui_testing::ask_window_to_close(form());
        // Should the request be dropped, answer the box later so the test fails, not hangs.
        fallback = Glib::signal_timeout().connect(
            [] {
                if (Gtk::Window* box = shown_message_box()) {
                    box->close();
                }
                return true;
            },
            10000);
    });
    const gint64 start = g_get_monotonic_time();
    form().txtblog.set_text("http://hi.baidu.com/someone");
    gui_testing::click(form().Command1); // the harvest shows its hint first
    close.disconnect();
    fallback.disconnect();

    EXPECT_TRUE(box_was_up);
    EXPECT_TRUE(platform::quit_requested());
    EXPECT_LT(double(g_get_monotonic_time() - start) / 1e6, 8.0);
    EXPECT_EQ(shown_message_box(), nullptr);
    EXPECT_FALSE(form().get_visible());
}

TEST(UnhandledErrorDeathTest, IsReportedAndEndsTheProgramWithFailure) {
    EXPECT_EXIT(in_child_printing_boxes(
                    [] { platform::guarded([] { throw std::runtime_error("磁盘已满"); }); }),
                testing::ExitedWithCode(1), "box\\[Pellumo\\]: 运行时错误.*磁盘已满");
    // Thrown without a description, from a handler that C code calls.
    EXPECT_EXIT(in_child_printing_boxes([] {
                    platform::WebBrowser browser;
                    browser.signal_DocumentComplete().connect([] { throw 42; });
                    browser.Navigate2(u"data:text/html,<p>x</p>");
                    moddelay::pump_until([] { return false; }, 20000);
                }),
                testing::ExitedWithCode(1), "box\\[Pellumo\\]: 运行时错误.*未知错误");
}
