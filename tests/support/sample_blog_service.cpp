#include "tests/support/sample_blog_service.h"

#include <httplib.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdexcept>
#include <string_view>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace testing_support {
namespace {

using Clock = std::chrono::steady_clock;

constexpr auto start_timeout = std::chrono::seconds(10);
constexpr auto stop_timeout = std::chrono::seconds(5);
constexpr std::string_view ready_prefix = "listening on 127.0.0.1:";
constexpr std::string_view https_prefix = "https proxy on 127.0.0.1:";
constexpr std::string_view https_option = "--https";
constexpr const char* extra_ca_variable = "PELLUMO_EXTRA_CA_FILE";

// A certificate for web.archive.org that is its own authority, valid for two days from now.
void make_certificate(const std::filesystem::path& folder) {
    const std::string command =
        "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2"
        " -subj /CN=web.archive.org -addext subjectAltName=DNS:web.archive.org -keyout '" +
        (folder / "key.pem").string() + "' -out '" + (folder / "cert.pem").string() +
        "' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) {
        throw std::runtime_error("openssl could not make a certificate for the archive");
    }
}

class SpawnSetup {
public:
    SpawnSetup() {
        posix_spawn_file_actions_init(&m_actions);
        posix_spawnattr_init(&m_attributes);
    }
    ~SpawnSetup() {
        posix_spawnattr_destroy(&m_attributes);
        posix_spawn_file_actions_destroy(&m_actions);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    // The child's stdout goes to `fd`, and it starts with default signal handling and no
    // blocked signals, whatever the test process has set up for itself.
    void prepare(int fd) {
        posix_spawn_file_actions_adddup2(&m_actions, fd, STDOUT_FILENO);
        sigset_t defaults;
        sigemptyset(&defaults);
        for (const int signal_number : {SIGTERM, SIGINT, SIGPIPE}) {
            sigaddset(&defaults, signal_number);
        }
        sigset_t none;
        sigemptyset(&none);
        posix_spawnattr_setsigdefault(&m_attributes, &defaults);
        posix_spawnattr_setsigmask(&m_attributes, &none);
        posix_spawnattr_setflags(&m_attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    }
    const posix_spawn_file_actions_t* actions() const { return &m_actions; }
    const posix_spawnattr_t* attributes() const { return &m_attributes; }

private:
    posix_spawn_file_actions_t m_actions;
    posix_spawnattr_t m_attributes;
};

// Reads up to the end of the line that says the service is ready, giving up after `timeout` or
// at end of file.
std::string read_until_ready(int fd, Clock::duration timeout) {
    const auto deadline = Clock::now() + timeout;
    std::string line;
    while (true) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            throw std::runtime_error("sample_blog did not report its port in time");
        }
        pollfd ready{fd, POLLIN, 0};
        const int polled = poll(&ready, 1, static_cast<int>(left.count()));
        if (polled < 0 && errno == EINTR) {
            continue;
        }
        if (polled <= 0) {
            continue; // the deadline check ends the wait
        }
        char chunk[256];
        const ssize_t got = read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            throw std::runtime_error("sample_blog ended before reporting its port");
        }
        line.append(chunk, static_cast<std::size_t>(got));
        // The https port comes on a line before the ready line.
        const auto ready_line = line.find(ready_prefix);
        if (const auto end =
                line.find('\n', ready_line == std::string::npos ? line.size() : ready_line);
            end != std::string::npos) {
            return line.substr(0, end);
        }
    }
}

// The port after `prefix` on a line of `lines` that starts with it; 0 when none does.
int parse_port(const std::string& lines, std::string_view prefix) {
    std::size_t at = 0;
    while (at < lines.size() && !std::string_view(lines).substr(at).starts_with(prefix)) {
        const std::size_t end = lines.find('\n', at);
        at = end == std::string::npos ? lines.size() : end + 1;
    }
    if (at >= lines.size()) {
        return 0;
    }
    const std::string line = lines.substr(at, lines.find('\n', at) - at);
    const std::string digits = line.substr(prefix.size());
    char* end = nullptr;
    const long port = std::strtol(digits.c_str(), &end, 10);
    if (digits.empty() || *end != '\0' || port <= 0 || port > 65535) {
        throw std::runtime_error("unexpected first line from sample_blog: " + line);
    }
    return static_cast<int>(port);
}

std::optional<std::string> environment_value(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    return value ? std::optional<std::string>(value) : std::nullopt;
}

void set_environment_value(const std::string& name, const std::optional<std::string>& value) {
    if (value) {
        setenv(name.c_str(), value->c_str(), 1);
    } else {
        unsetenv(name.c_str());
    }
}

} // namespace

SampleBlogService::SampleBlogService(std::vector<std::string> arguments) {
    if (const auto https = std::find(arguments.begin(), arguments.end(), https_option);
        https != arguments.end()) {
        arguments.erase(https);
        make_certificate(m_certificate_folder.emplace().path());
        arguments.insert(arguments.end(), {"--tls-cert", certificate_file(), "--tls-key",
                                           (m_certificate_folder->path() / "key.pem").string()});
    }
    int pipe_fds[2];
    if (pipe2(pipe_fds, O_CLOEXEC) != 0) {
        throw std::runtime_error("cannot create a pipe for sample_blog");
    }
    std::vector<char*> argv;
    std::string program = PELLUMO_SAMPLE_BLOG;
    argv.push_back(program.data());
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);

    SpawnSetup setup;
    setup.prepare(pipe_fds[1]);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, program.c_str(), setup.actions(), setup.attributes(),
                                    argv.data(), environ);
    close(pipe_fds[1]);
    if (spawned != 0) {
        close(pipe_fds[0]);
        throw std::runtime_error("cannot start " + program);
    }
    m_pid = pid;
    m_stdout = pipe_fds[0];
    try {
        const std::string lines = read_until_ready(m_stdout, start_timeout);
        m_port = parse_port(lines, ready_prefix);
        m_https_port = parse_port(lines, https_prefix);
        if (m_port == 0 || (m_certificate_folder && m_https_port == 0)) {
            throw std::runtime_error("unexpected first lines from sample_blog: " + lines);
        }
    } catch (...) {
        stop();
        close(m_stdout);
        throw;
    }

    m_saved_environment = {{"http_proxy", std::nullopt},
                           {"https_proxy", std::nullopt},
                           {"no_proxy", std::nullopt},
                           {"NO_PROXY", std::nullopt},
                           {extra_ca_variable, std::nullopt}};
    for (auto& [name, value] : m_saved_environment) {
        value = environment_value(name);
    }
    set_environment_value("http_proxy", proxy_url());
    if (m_https_port != 0) {
        set_environment_value("https_proxy", "http://127.0.0.1:" + std::to_string(m_https_port));
        set_environment_value(extra_ca_variable, certificate_file());
    }
    // hi.baidu.com must go through the proxy whatever the machine exempts from it.
    unsetenv("no_proxy");
    unsetenv("NO_PROXY");
}

SampleBlogService::~SampleBlogService() {
    stop();
    close(m_stdout);
    for (const auto& [name, value] : m_saved_environment) {
        set_environment_value(name, value);
    }
}

std::string SampleBlogService::certificate_file() const {
    return m_certificate_folder ? (m_certificate_folder->path() / "cert.pem").string() : "";
}

std::string SampleBlogService::proxy_url() const {
    return "http://127.0.0.1:" + std::to_string(m_port);
}

namespace {

std::string service_page(int port, const std::string& path) {
    httplib::Client client("127.0.0.1", port);
    const httplib::Result result = client.Get(path);
    if (!result || result->status != 200) {
        throw std::runtime_error("sample_blog did not give " + path);
    }
    return result->body;
}

} // namespace

std::string SampleBlogService::request_log() const {
    return service_page(m_port, "/_sample/requests");
}

int SampleBlogService::archive_connections() const {
    return std::stoi(service_page(m_port, "/_sample/archive-connections"));
}

int SampleBlogService::stop() {
    if (m_pid < 0) {
        return m_wait_status;
    }
    kill(m_pid, SIGTERM);
    const auto deadline = Clock::now() + stop_timeout;
    pid_t done = 0;
    while ((done = waitpid(m_pid, &m_wait_status, WNOHANG)) == 0 && Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (done == 0) {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, &m_wait_status, 0);
    }
    m_pid = -1;
    return m_wait_status;
}

} // namespace testing_support
