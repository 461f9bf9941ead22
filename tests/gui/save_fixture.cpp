#include "tests/gui/save_fixture.h"

#include "platform/files.h"
#include "platform/text.h"
#include "tools/sample_blog/gbk_encoder.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>

namespace fs = std::filesystem;

namespace gui_testing {

std::string gbk_body(std::u16string_view user, int number) {
    return sample_blog::encode_gbk(
        sample_blog::SampleBlog(std::u16string(user), save_blog_options).post_body(number));
}

Files expected_files(const std::vector<std::u16string>& posts, int copies) {
    Files files;
    for (std::size_t i = 0; i < posts.size(); ++i) {
        // http://hi.baidu.com/<user>/blog/item/<id>.html
        const auto rest = std::u16string_view(posts[i]).substr(sample_blog::k_service_base.size());
        const std::u16string user(rest.substr(0, rest.find(u'/')));
        const std::size_t id_start = rest.rfind(u'/') + 1;
        const int number = sample_blog::SampleBlog(user, save_blog_options)
                               .post_number(rest.substr(id_start, rest.rfind(u'.') - id_start))
                               .value();
        std::string& body = files[std::to_string(i + 1) + " " + file_titles[number] + ".html"];
        for (int copy = 0; copy < copies; ++copy) {
            body += gbk_body(user, number);
        }
    }
    return files;
}

std::u16string saved_in(std::u16string_view below) {
    return u"文章已保存于 " + platform::utf8_to_utf16(platform::program_folder().string()) +
           std::u16string(below);
}

LocalPosts::LocalPosts(int expected_requests)
    : m_expected(expected_requests), m_server([this](httplib::Server& server) {
          server.Get(".*", [this](const httplib::Request& request, httplib::Response& reply) {
              hold();
              std::u16string page = u"<title>标 题_百度空间</title>查看文章正文类别";
              if (request.path.ends_with("/empty.html")) {
                  page.clear();
              } else if (request.path.ends_with("/login.html")) {
                  page = u"<title>login_x</title>please log in";
              }
              reply.set_content(sample_blog::encode_gbk(page), "text/html; charset=gbk");
          });
      }) {}

std::u16string LocalPosts::address(std::string_view file) const {
    return platform::utf8_to_utf16(m_server.base_url() + "/someone/blog/item/" + std::string(file));
}

std::vector<std::u16string> LocalPosts::numbered_addresses(int count) const {
    std::vector<std::u16string> addresses;
    for (int i = 1; i <= count; ++i) {
        addresses.push_back(address(std::to_string(i) + ".html"));
    }
    return addresses;
}

int LocalPosts::requests() {
    const std::lock_guard lock(m_mutex);
    return m_requests;
}

int LocalPosts::most_at_once() {
    const std::lock_guard lock(m_mutex);
    return m_most;
}

void LocalPosts::hold() {
    std::unique_lock lock(m_mutex);
    ++m_requests;
    m_most = std::max(m_most, ++m_in_flight);
    m_changed.notify_all();
    m_changed.wait_for(lock, std::chrono::seconds(5),
                       [this] { return m_in_flight >= 4 || m_requests >= m_expected; });
    lock.unlock();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    lock.lock();
    --m_in_flight;
}

SaveTest::SaveTest(std::vector<std::string> service_arguments)
    : UserFolderFixture(std::move(service_arguments), "someone", ListAtStart::empty) {}

void SaveTest::TearDown() {
    fs::remove_all(platform::program_folder() / "blocked");
    UserFolderFixture::TearDown();
}

void SaveTest::list_page(int k) {
    form().WebBrowser1.Navigate2(
        sample_blog::SampleBlog(u"someone", save_blog_options).list_page_address(k));
    ASSERT_TRUE(wait_for_collected());
}

void SaveTest::save(std::u16string_view address) {
    form().txtblog.set_text(platform::utf16_to_utf8(address));
    click(form().Command2);
}

void SaveTest::save_without_proxy(std::u16string_view address) {
    setenv("no_proxy", "127.0.0.1", 1);
    save(address);
    unsetenv("no_proxy");
}

} // namespace gui_testing
