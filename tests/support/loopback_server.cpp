#include "tests/support/loopback_server.h"

#include <stdexcept>

namespace testing_support {

LoopbackServer::LoopbackServer(const std::function<void(httplib::Server&)>& routes) {
    routes(m_server);
    m_port = m_server.bind_to_any_port("127.0.0.1");
    if (m_port <= 0) {
        throw std::runtime_error("LoopbackServer: no free loopback port");
    }
    m_thread = std::thread([this] { m_server.listen_after_bind(); });
}

LoopbackServer::~LoopbackServer() {
    m_server.stop();
    m_thread.join();
}

std::string LoopbackServer::base_url() const {
    return "http://127.0.0.1:" + std::to_string(m_port);
}

} // namespace testing_support
