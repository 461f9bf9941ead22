#pragma once
// Runs tools/sample_blog on a free loopback port for the length of a test and points this
// process's http_proxy at it, so that http://hi.baidu.com/... reaches the sample service.

#include <string>
#include <vector>

namespace testing_support {

class SampleBlogService {
public:
    // `arguments` are the service's own options, for example {"--posts", "25", "--per-page", "10"}.
    explicit SampleBlogService(std::vector<std::string> arguments = {});
    ~SampleBlogService(); // SIGTERM, then waits; restores http_proxy as it was
    SampleBlogService(const SampleBlogService&) = delete;
    SampleBlogService& operator=(const SampleBlogService&) = delete;

    int port() const { return m_port; }
    std::string proxy_url() const; // "http://127.0.0.1:PORT"

private:
    int m_pid = -1;
    int m_port = 0;
    bool m_had_proxy = false;
    std::string m_previous_proxy;
};

} // namespace testing_support
