// A save given what it must not trust. The copy of a blog an attacker wrote, opened in the
// program's own browser with the copy's Content-Security-Policy taken out: the cleaning alone
// must keep every script from running, every request from leaving (no refresh, no form, no
// other base) and every post in view. And an address that names no blog: nothing is written.

#include "tests/gui/form1_fixture.h"

#include "platform/files.h"
#include "platform/text.h"
#include "tests/support/temp_folder.h"
#include "tools/sample_blog/blog_model.h"
#include "tools/sample_blog/hostile_post.h"

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

using gui_testing::click;
using gui_testing::file_address;
using gui_testing::Form1Fixture;
using gui_testing::wait_until;
using Texts = std::vector<std::u16string>;
namespace fs = std::filesystem;

namespace {

const sample_blog::SampleBlog hostile_blog(u"someone", {.posts = sample_blog::k_hostile_posts,
                                                        .per_page = 10,
                                                        .hostile = true});

// What the page's document holds, read by a script of the program's own world. `markers` are
// the texts that must be in view.
std::string inspection(const std::vector<std::u16string>& markers) {
    std::string list;
    for (const std::u16string& marker : markers) {
        list += (list.empty() ? "'" : ",'") + platform::utf16_to_utf8(marker) + "'";
    }
    return "(() => { const all = Array.from(document.querySelectorAll('body *'));"
           "return ['ran:' + document.title.startsWith('ran-'),"
           "'base:' + (document.baseURI === location.href),"
           "'active:' + document.querySelectorAll('base,meta[http-equiv],form,iframe,object,"
           "embed,svg,math,script,input,button,select,textarea,link').length,"
           "'styles:' + document.querySelectorAll('style').length,"
           "'placed:' + all.filter(e => ['fixed','absolute','sticky'].includes("
           "getComputedStyle(e).position)).length,"
           "'handlers:' + all.filter(e => Array.from(e.attributes).some(a => "
           "a.name.startsWith('on'))).length,"
           "'addresses:' + all.map(e => e.href || e.src || '').filter(a => a && "
           "!/^(https?|file):/.test(a)).join(' '),"
           "'shown:' + [" +
           list + "].filter(m => document.body.innerText.includes(m)).length]; })()";
}

Texts expected_inspection(std::size_t markers) {
    return {u"ran:false",  u"base:true",
            u"active:0",   u"styles:1",
            u"placed:0",   u"handlers:0",
            u"addresses:", u"shown:" + platform::decimal(static_cast<long long>(markers))};
}

class HostileCopyTest : public Form1Fixture {
protected:
    explicit HostileCopyTest(std::vector<std::string> service_arguments = {"--posts", "5",
                                                                           "--per-page", "10",
                                                                           "--hostile"})
        : Form1Fixture(std::move(service_arguments)) {}

    void SetUp() override {
        Form1Fixture::SetUp();
        fs::remove_all(user_folder());
        ASSERT_TRUE(wait_for_collected());
        form().list1_clear();
    }
    void TearDown() override {
        fs::remove_all(user_folder());
        Form1Fixture::TearDown();
    }
    static fs::path user_folder() { return platform::program_folder() / "someone"; }

    // Shows the page, gives whatever it holds time to fire (a refresh after a second, an
    // error handler, an autofocus), and reads it.
    Texts shown(const fs::path& page, const std::vector<std::u16string>& markers) {
        platform::WebBrowser& browser = form().WebBrowser1;
        browser.Navigate2(file_address(page));
        const std::uint64_t serial = browser.navigation_serial();
        EXPECT_TRUE(wait_until([&] { return browser.completed_serial() == serial; }, 20));
        wait_until([] { return false; }, 2.5);
        EXPECT_EQ(browser.current_address(), file_address(page)) << "the page went elsewhere";
        std::optional<std::optional<Texts>> answer;
        browser.read_strings(inspection(markers),
                             [&](std::optional<Texts> texts) { answer = std::move(texts); });
        EXPECT_TRUE(wait_until([&] { return answer.has_value(); }, 10));
        return answer && *answer ? **answer : Texts{u"unreadable"};
    }

    // The requests for the attacker's addresses since `before` (a request log).
    std::string attacker_requests(const std::string& before) {
        const std::string log = service().request_log().substr(before.size());
        std::string found;
        std::istringstream lines(log);
        for (std::string line; std::getline(lines, line);) {
            if (line.find("attacker.test") != std::string::npos) {
                found += line + "\n";
            }
        }
        return found;
    }
};

using SaveTest = HostileCopyTest;

// The copy's pages without their CSP meta, in a folder of their own.
void copy_without_csp(const fs::path& from, const fs::path& to) {
    fs::copy(from, to, fs::copy_options::recursive);
    const std::regex csp("<meta http-equiv=\"Content-Security-Policy\"[^>]*>");
    for (const auto& entry : fs::recursive_directory_iterator(to)) {
        if (entry.path().extension() != ".html") {
            continue;
        }
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string page((std::istreambuf_iterator<char>(in)), {});
        ASSERT_TRUE(std::regex_search(page, csp)) << entry.path();
        std::ofstream(entry.path(), std::ios::binary | std::ios::trunc)
            << std::regex_replace(page, csp, "");
    }
}

} // namespace

TEST_F(HostileCopyTest, NoScriptRunsAndNoRequestLeavesWithoutTheCsp) {
    Texts posts;
    std::vector<std::u16string> markers;
    for (int n = 1; n <= hostile_blog.post_count(); ++n) {
        posts.push_back(hostile_blog.post_address(n));
        markers.push_back(sample_blog::hostile_marker(n));
    }
    form().list1_add_links(posts);
    form().txtblog.set_text("http://hi.baidu.com/someone");
    click(form().Command2);
    ASSERT_FALSE(boxes.empty());
    ASSERT_EQ(boxes.front().text, u"保存完毕");

    const testing_support::TempFolder scratch;
    const fs::path copy = scratch.path() / "copy";
    copy_without_csp(user_folder() / u8"离线浏览", copy);
    const std::string before = service().request_log();

    EXPECT_EQ(shown(copy / "all.html", markers), expected_inspection(markers.size()));
    for (int n = 1; n <= hostile_blog.post_count(); ++n) {
        EXPECT_EQ(shown(copy / "posts" / (std::to_string(n) + ".html"), {markers[n - 1]}),
                  expected_inspection(1))
            << "post " << n;
    }
    EXPECT_EQ(attacker_requests(before), "");

    // The same look sees a payload that is let through: the test can tell.
    std::ofstream(copy / "control.html")
        << "<!DOCTYPE html><meta charset=utf-8><title>c</title><style></style><body><p>"
        << platform::utf16_to_utf8(markers[0]) << "</p><img src=x onerror=\"document.title="
        << "'ran-control';new Image().src='http://attacker.test/ran/control'\">";
    Texts control = expected_inspection(1);
    control[0] = u"ran:true";
    control[5] = u"handlers:1";
    EXPECT_EQ(shown(copy / "control.html", {markers[0]}), control);
    EXPECT_EQ(attacker_requests(before), "http://attacker.test/ran/control\n");
}

TEST_F(SaveTest, AnAddressNamingNoBlogIsReportedAndNothingIsWritten) {
    form().list1_add_links({hostile_blog.post_address(1), hostile_blog.post_address(2)});
    const auto listing = [] {
        std::set<fs::path> names;
        for (const auto& entry : fs::directory_iterator(platform::program_folder())) {
            names.insert(entry.path());
        }
        return names;
    };
    const std::set<fs::path> before = listing();
    const std::string requests = service().request_log();
    // Short of a user name, exactly the service's address, or nothing but separators after it.
    for (const char* address :
         {"http://hi.baidu.co", "http://hi.baidu.com/", "http://hi.baidu.com//"}) {
        boxes.clear();
        form().txtblog.set_text(address);
        click(form().Command2);
        EXPECT_EQ(box_texts(), Texts{u"请填写正确的百度空间地址或者检查网络是否连接！"}) << address;
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes.at(0).title, u"错误提示");
        EXPECT_EQ(form().Command2.get_label(), "保存文章");
    }
    EXPECT_EQ(listing(), before);
    EXPECT_EQ(service().request_log(), requests + "/_sample/requests\n"); // no post asked for
    EXPECT_TRUE(opened.empty());
}
