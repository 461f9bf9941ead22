#include "tests/support/loopback_server.h"

#include <chrono>
#include <stdexcept>

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

} // namespace testing_support
