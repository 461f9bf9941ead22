#pragma once
// Runs tools/sample_blog on a free loopback port for the length of a test and points this
// process's http_proxy at it, so that http://hi.baidu.com/... reaches the sample service.
// Start it before any thread or web process that reads the environment.

#include "tests/support/temp_folder.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace testing_support {

class SampleBlogService {
public:
    // `arguments` are the service's own options, for example {"--posts", "25", "--per-page", "10"},
    // and "--https": the archive then answers https too, with a certificate made now by
    // `openssl`, which PELLUMO_EXTRA_CA_FILE names while the service runs; https_proxy points
    // at its CONNECT port. std::runtime_error when the service does not report its port within
    // ten seconds.
    explicit SampleBlogService(std::vector<std::string> arguments = {});
    // stop(), then restores http_proxy, https_proxy, no_proxy, NO_PROXY and
    // PELLUMO_EXTRA_CA_FILE as they were.
    ~SampleBlogService();
    SampleBlogService(const SampleBlogService&) = delete;
    SampleBlogService& operator=(const SampleBlogService&) = delete;

    int port() const { return m_port; }
    // The CONNECT port for https, 0 without "--https".
    int https_proxy_port() const { return m_https_port; }
    // The certificate the archive presents over https, "" without "--https".
    std::string certificate_file() const;
    std::string proxy_url() const; // "http://127.0.0.1:PORT"
    // Every request target the service has received, as sent, one a line; asked for directly,
    // not through the program's own HTTP code.
    std::string request_log() const;
    // How many https tunnels to the archive the service has accepted: the connections a client
    // opened to it over https.
    int archive_connections() const;

    // SIGTERM, then waits; SIGKILL when the service has not ended within five seconds. Returns
    // the wait status (see waitpid), the same on later calls.
    int stop();

private:
    int m_pid = -1;
    int m_port = 0;
    int m_https_port = 0;
    std::optional<TempFolder> m_certificate_folder;
    int m_stdout = -1; // read end of the service's stdout, kept open so it never gets SIGPIPE
    int m_wait_status = 0;
    // Environment variables as they were before the service started (nullopt: unset).
    std::vector<std::pair<std::string, std::optional<std::string>>> m_saved_environment;
};

} // namespace testing_support
