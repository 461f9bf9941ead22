#include "tests/support/loopback_server.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace testing_support {

LoopbackServer::LoopbackServer(const std::function<void(httplib::Server&)>& routes) {
    routes(m_server);
    m_port = m_server.bind_to_any_port("127.0.0.1");
    if (m_port <= 0) {
        throw std::runtime_error("LoopbackServer: no free loopback port");
    }
    m_thread = std::thread([this] {
        m_server.listen_after_bind();
        m_listen_returned = true;
    });
}

LoopbackServer::~LoopbackServer() {
    // stop() is ignored until the server runs, which a short test may not have waited for.
    while (!m_server.is_running() && !m_listen_returned) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    m_server.stop();
    m_thread.join();
}

std::string LoopbackServer::base_url() const {
    return "http://127.0.0.1:" + std::to_string(m_port);
}

namespace {

// Binds `fd` to a free loopback port and returns the port.
int bind_loopback(int fd, bool listening) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        (listening && listen(fd, 8) != 0)) {
        if (fd >= 0) {
            close(fd);
        }
        throw std::runtime_error("cannot set up a loopback socket");
    }
    return ntohs(address.sin_port);
}

} // namespace

LoopbackSocket::LoopbackSocket(bool listening)
    : LoopbackSocket(listening, socket(AF_INET, SOCK_STREAM, 0)) {}

LoopbackSocket::LoopbackSocket(bool listening, int fd)
    : url("http://127.0.0.1:" + std::to_string(bind_loopback(fd, listening)) + "/"), m_fd(fd) {}

LoopbackSocket::~LoopbackSocket() {
    close(m_fd);
}

bool LoopbackSocket::next_connection_gets_closed() const {
    const int connection = accept(m_fd, nullptr, nullptr);
    timeval patience{10, 0};
    setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
    char buffer[4096];
    ssize_t got = 0;
    while ((got = recv(connection, buffer, sizeof buffer, 0)) > 0) {
    }
    const bool closed = got == 0 || errno == ECONNRESET;
    close(connection);
    return closed;
}

} // namespace testing_support
