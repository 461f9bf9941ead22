#pragma once
// A small HTTP server on a free loopback port, served from its own thread for one test, and a
// bare loopback socket for connections that are refused or never answered.

#include <httplib.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

namespace testing_support {

class LoopbackServer {
public:
    // `routes` adds the handlers; the server listens once it returns.
    explicit LoopbackServer(const std::function<void(httplib::Server&)>& routes);
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    std::string base_url() const; // "http://127.0.0.1:PORT"

private:
    httplib::Server m_server;
    int m_port = 0;
    std::atomic<bool> m_listen_returned = false;
    std::thread m_thread;
};

// A loopback TCP socket: bound only (connections are refused) or listening without ever
// accepting (connections open, requests get no answer).
class LoopbackSocket {
public:
    explicit LoopbackSocket(bool listening);
    ~LoopbackSocket();
    LoopbackSocket(const LoopbackSocket&) = delete;
    LoopbackSocket& operator=(const LoopbackSocket&) = delete;

    // Takes a waiting connection and reads until the peer closes it; false when it stays open.
    bool next_connection_gets_closed() const;

    const std::string url; // "http://127.0.0.1:PORT/"

private:
    LoopbackSocket(bool listening, int fd);
    int m_fd;
};

} // namespace testing_support
