#pragma once
// A small HTTP server on a free loopback port, served from its own thread for one test.

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

} // namespace testing_support
