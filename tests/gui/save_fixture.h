#pragma once
// What the tests of the save share: the window saving the sample blog, the post files a save
// must leave, and posts served straight from a loopback port.

#include "tests/gui/form1_fixture.h"
#include "tests/support/loopback_server.h"
#include "tools/sample_blog/blog_model.h"

#include <condition_variable>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace gui_testing {

using Texts = std::vector<std::u16string>;
using Files = std::map<std::string, std::string>;

inline const sample_blog::BlogOptions save_blog_options{.posts = 11, .per_page = 4};

// The titles of sample posts 1 to 11 as file names carry them: blanks removed, and "_" for
// what a name cannot hold.
inline const char* const file_titles[] = {"",           "春游记1",  "我的第2篇日记", "a_b日记3",
                                          "文档_备份4", "为什么5_", "五星_好评6",    "时间_7点",
                                          "左_右8",     "_引号_9",  "10_一百",       "11_零"};

// Post `number`'s body as the service sends it.
std::string gbk_body(std::u16string_view user, int number);

// The files a save of these sample posts must leave, `copies` saves over.
Files expected_files(const std::vector<std::u16string>& posts, int copies = 1);

// The box telling where the posts went, below the program's folder.
std::u16string saved_in(std::u16string_view below);

// Posts served straight from a loopback port. Every address gives the post "标 题" with the body
// "正文", but ".../empty.html" an empty page and ".../login.html" a page without a post. It
// records how many requests it held at once: each waits until four are in (or all it expects
// have come), and a moment longer, so a fifth connection would be seen beside them.
class LocalPosts {
public:
    explicit LocalPosts(int expected_requests);

    std::u16string address(std::string_view file) const;
    std::vector<std::u16string> numbered_addresses(int count) const;
    int requests();
    int most_at_once();

private:
    void hold();

    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_expected;
    int m_requests = 0;
    int m_in_flight = 0;
    int m_most = 0;
    testing_support::LoopbackServer m_server; // last: stopped before the members it uses
};

class SaveTest : public UserFolderFixture {
protected:
    explicit SaveTest(std::vector<std::string> service_arguments = {"--posts", "11", "--per-page",
                                                                    "4"});

    void TearDown() override;

    // Shows a list page of the blog so that its posts are listed.
    void list_page(int k);

    void save(std::u16string_view address = u"http://hi.baidu.com/someone");
    // Loopback addresses are fetched directly, not through the sample service.
    void save_without_proxy(std::u16string_view address = u"http://hi.baidu.com/someone");
};

// Every request of the service waits 300 ms.
class SlowSaveTest : public SaveTest {
protected:
    SlowSaveTest() : SaveTest({"--posts", "11", "--per-page", "4", "--latency-ms", "300"}) {}
};

// Post 3 of the service answers 404.
class FailingSaveTest : public SaveTest {
protected:
    FailingSaveTest() : SaveTest({"--posts", "11", "--per-page", "4", "--not-found", "3"}) {}
};

} // namespace gui_testing
