#include "tools/sample_blog/connect_relay.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <stdexcept>
#include <string>
#include <string_view>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace sample_blog {
namespace {

// How often a waiting thread looks whether the relay is stopping.
constexpr int stop_poll_ms = 100;
constexpr std::size_t longest_head = 8192;

sockaddr_in loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

bool send_all(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t sent = send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

// The request head up to its blank line; "" when the client closed or sent too much first.
std::string read_head(int fd, const std::atomic<bool>& stopping, std::string& rest) {
    std::string head;
    while (!stopping && head.size() < longest_head) {
        pollfd ready{fd, POLLIN, 0};
        if (poll(&ready, 1, stop_poll_ms) <= 0) {
            continue;
        }
        std::array<char, 1024> chunk{};
        const ssize_t got = recv(fd, chunk.data(), chunk.size(), 0);
        if (got <= 0) {
            return {};
        }
        head.append(chunk.data(), static_cast<std::size_t>(got));
        if (const std::size_t end = head.find("\r\n\r\n"); end != std::string::npos) {
            rest = head.substr(end + 4);
            return head.substr(0, end);
        }
    }
    return {};
}

// "CONNECT web.archive.org:443 HTTP/1.1", in any case, any port.
bool connects_to_archive(std::string_view head) {
    const std::string_view line = head.substr(0, head.find("\r\n"));
    constexpr std::string_view method = "CONNECT ";
    if (!line.starts_with(method)) {
        return false;
    }
    std::string host(line.substr(method.size()));
    host = host.substr(0, host.find_first_of(": "));
    std::transform(host.begin(), host.end(), host.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return host == "web.archive.org";
}

// Copies both ways until both sides have closed, passing each end of stream on.
void splice(int a, int b, const std::atomic<bool>& stopping) {
    bool open[2] = {true, true};
    const int fds[2] = {a, b};
    while (!stopping && (open[0] || open[1])) {
        pollfd ready[2] = {{a, static_cast<short>(open[0] ? POLLIN : 0), 0},
                           {b, static_cast<short>(open[1] ? POLLIN : 0), 0}};
        if (poll(ready, 2, stop_poll_ms) <= 0) {
            continue;
        }
        for (int side = 0; side < 2; ++side) {
            if (!open[side] || ready[side].revents == 0) {
                continue;
            }
            std::array<char, 16384> chunk{};
            const ssize_t got = recv(fds[side], chunk.data(), chunk.size(), 0);
            if (got <= 0 ||
                !send_all(fds[1 - side], {chunk.data(), static_cast<std::size_t>(got)})) {
                open[side] = false;
                shutdown(fds[1 - side], SHUT_WR);
            }
        }
    }
}

} // namespace

ConnectRelay::ConnectRelay(int tls_port) : m_tls_port(tls_port) {
    m_listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = loopback(0);
    socklen_t size = sizeof address;
    if (m_listener < 0 ||
        bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(m_listener, 64) != 0 ||
        getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        if (m_listener >= 0) {
            close(m_listener);
        }
        throw std::runtime_error("cannot listen for CONNECT on a loopback port");
    }
    m_port = ntohs(address.sin_port);
    m_acceptor = std::thread([this] { accept_loop(); });
}

ConnectRelay::~ConnectRelay() {
    m_stopping = true;
    m_acceptor.join();
    std::unique_lock lock(m_mutex);
    m_tunnel_ended.wait(lock, [this] { return m_tunnels == 0; });
    close(m_listener);
}

void ConnectRelay::accept_loop() {
    while (!m_stopping) {
        pollfd ready{m_listener, POLLIN, 0};
        if (poll(&ready, 1, stop_poll_ms) <= 0) {
            continue;
        }
        const int client = accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) {
            continue;
        }
        {
            const std::lock_guard lock(m_mutex);
            ++m_tunnels;
        }
        std::thread([this, client] {
            tunnel(client);
            close(client);
            const std::lock_guard lock(m_mutex);
            --m_tunnels;
            m_tunnel_ended.notify_all();
        }).detach();
    }
}

void ConnectRelay::tunnel(int client) {
    std::string rest;
    const std::string head = read_head(client, m_stopping, rest);
    if (head.empty()) {
        return;
    }
    if (!connects_to_archive(head)) {
        send_all(client, "HTTP/1.1 403 Forbidden\r\nContent-Length: 0\r\n\r\n");
        return;
    }
    ++m_archive_tunnels;
    const int server = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in address = loopback(m_tls_port);
    if (server < 0 ||
        connect(server, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        send_all(client, "HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\n\r\n");
    } else if (send_all(client, "HTTP/1.1 200 Connection established\r\n\r\n") &&
               send_all(server, rest)) {
        splice(client, server, m_stopping);
    }
    if (server >= 0) {
        close(server);
    }
}

} // namespace sample_blog
