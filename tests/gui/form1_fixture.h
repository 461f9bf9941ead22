#pragma once
// A shown Form1 whose browser reaches the sample blog service, with message boxes and the
// shell recorded instead of shown or started, and helpers for the tests of the window.

#include "tests/support/sample_blog_service.h"
#include "window/form1.h"

#include <gtest/gtest.h>
#include <sigc++/connection.h>

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace gui_testing {

struct RecordedBox {
    std::u16string text;
    std::u16string title;
};

// Serves events until `done` holds; false when `seconds` pass first.
bool wait_until(const std::function<bool()>& done, double seconds);

// Sends the browsers' requests to the service, whatever port it took, or to another proxy.
void point_browser_at(const testing_support::SampleBlogService& service);
void point_browser_at(const std::string& proxy_url);

// A loopback address where nothing listens: connections to it are refused.
inline constexpr const char* refusing_proxy = "http://127.0.0.1:9";

class Form1Fixture : public testing::Test {
protected:
    // `service_arguments` are the sample service's options, e.g. {"--posts", "25"}.
    explicit Form1Fixture(std::vector<std::string> service_arguments = {});

    void SetUp() override;
    void TearDown() override;

    Form1& form() { return *m_form; }
    testing_support::SampleBlogService& service() { return *m_service; }

    // The program started again: the window closed, a new one open and the quit forgotten.
    void restart_form();

    // Waits until List1 has taken in the links of the page the browser was last sent to.
    bool wait_for_collected(double seconds = 20);

    // Message boxes shown so far, and what runs when one is shown (after it is recorded).
    std::vector<RecordedBox> boxes;
    std::vector<std::u16string> box_texts() const;
    std::function<void()> on_box;
    // What the question boxes answer (true for 是, false for 否); they are recorded among the
    // boxes.
    bool question_answer = false;
    // Addresses handed to the shell so far.
    std::vector<std::u16string> opened;

private:
    std::vector<std::string> m_service_arguments;
    std::unique_ptr<testing_support::SampleBlogService> m_service;
    std::unique_ptr<Form1> m_form;
};

// A window whose tests write into the folder of one blog's user: the folder is gone before each
// test and after it. With ListAtStart::empty the list starts empty, once the links of the page
// shown at start are in (they would come in later otherwise).
enum class ListAtStart { as_loaded, empty };
class UserFolderFixture : public Form1Fixture {
protected:
    explicit UserFolderFixture(std::vector<std::string> service_arguments,
                               std::string user = "someone",
                               ListAtStart list = ListAtStart::as_loaded);

    void SetUp() override;
    void TearDown() override;

    std::filesystem::path user_folder() const;

private:
    std::string m_user;
    ListAtStart m_list;
};

// A click as the user makes it: nothing happens on an insensitive button. The handler runs
// before this returns.
void click(Gtk::Button& button);

// List1's rows as the list view's model holds them.
std::vector<std::u16string> list1_rows(Form1& form);

std::u16string text_of(const Gtk::Label& label);

// The addresses of the pages in order, each kept where first found, as List1 keeps them.
std::vector<std::u16string> first_copies(const std::vector<std::vector<std::u16string>>& pages);

// The file:// address of a file, as a browser is given it.
std::u16string file_address(const std::filesystem::path& file);

// While it lives, the first time `button` reads 等待 someone else on this address asks the
// archive during the pause, which the stand-in punishes by shutting the address out.
class ImpatientNeighbour {
public:
    explicit ImpatientNeighbour(Gtk::Button& button);
    ~ImpatientNeighbour();
    ImpatientNeighbour(const ImpatientNeighbour&) = delete;
    ImpatientNeighbour& operator=(const ImpatientNeighbour&) = delete;

    bool asked() const { return m_asked; }

private:
    bool m_asked = false;
    sigc::connection m_watch;
};

// Every file in the folder, by name, with its bytes.
std::map<std::string, std::string> files_in(const std::filesystem::path& folder);
std::string read_file(const std::filesystem::path& file);
// Every file below the folder, by path relative to it, with its bytes; the backup time, which
// changes from save to save, blanked out.
std::map<std::string, std::string> tree_of(const std::filesystem::path& folder);

} // namespace gui_testing
