#pragma once
// The stand-in's https side as a proxy sees it: a loopback port that takes "CONNECT
// web.archive.org:443" (any port) and passes the tunnel's bytes through to the TLS server on
// another loopback port. Any other CONNECT is refused with 403.

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace sample_blog {

class ConnectRelay {
public:
    // Listens on a free loopback port; std::runtime_error when it cannot.
    explicit ConnectRelay(int tls_port);
    ~ConnectRelay(); // closes every tunnel and waits for them
    ConnectRelay(const ConnectRelay&) = delete;
    ConnectRelay& operator=(const ConnectRelay&) = delete;

    int port() const { return m_port; }
    // Tunnels opened to the archive so far: a client that keeps its connections alive opens few.
    int archive_tunnels() const { return m_archive_tunnels; }

private:
    void accept_loop();
    void tunnel(int client);

    int m_tls_port;
    int m_listener = -1;
    int m_port = 0;
    std::atomic<bool> m_stopping = false;
    std::atomic<int> m_archive_tunnels = 0;
    std::mutex m_mutex;
    std::condition_variable m_tunnel_ended;
    int m_tunnels = 0;
    std::thread m_acceptor;
};

} // namespace sample_blog
