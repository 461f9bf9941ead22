// A stand-in for the 百度空间 blog service on 127.0.0.1, reached through an HTTP proxy setting.
// Prints "listening on 127.0.0.1:PORT" once it takes connections, after "https proxy on
// 127.0.0.1:PORT" when it answers https too; stops on SIGTERM or SIGINT.

#include "platform/text.h"
#include "tools/sample_blog/archive_routes.h"
#include "tools/sample_blog/blog_pictures.h"
#include "tools/sample_blog/connect_relay.h"
#include "tools/sample_blog/gbk_encoder.h"
#include "tools/sample_blog/long_post.h"
#include "tools/sample_blog/routes.h"
#include "tools/sample_blog/service_options.h"
#include "tools/sample_blog/stop_flag.h"

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <iostream>
#include <mutex>
#include <optional>
#include <pthread.h>
#include <sys/socket.h>
#include <thread>
#include <vector>

namespace {

using sample_blog::Reply;

// Enough that requests left hanging on purpose do not hold up the others.
constexpr std::size_t worker_threads = 16;
// An idle keep-alive connection holds a worker, and stopping waits for every worker.
constexpr time_t keep_alive_seconds = 1;
constexpr std::size_t keep_alive_requests = 100000;
constexpr int service_unavailable = 503;

// Closing the connection spares the stop a wait for it to fall idle.
void refuse_while_stopping(httplib::Response& response) {
    response.status = service_unavailable;
    response.set_header("Connection", "close");
}

constexpr const char* gbk_html = "text/html; charset=gbk";
constexpr std::size_t stream_slice = 64 * 1024;

// The request targets as they arrived, so tests can see how a client encoded an address.
class RequestLog {
public:
    void add(const std::string& target) {
        const std::lock_guard lock(m_mutex);
        m_text += target + "\n";
    }
    std::string text() {
        const std::lock_guard lock(m_mutex);
        return m_text;
    }

private:
    std::mutex m_mutex;
    std::string m_text;
};

// Sends the page a slice at a time; nothing is held beyond the slice being sent.
void stream_long_post(const Reply& reply, sample_blog::StopFlag& stop,
                      httplib::Response& response) {
    const std::optional<std::size_t> length =
        reply.length == 0 ? std::nullopt : std::optional(reply.length);
    const bool trickle = reply.kind == Reply::Kind::trickle;
    const std::size_t slice = trickle ? 1 : stream_slice;
    const std::string_view sentence =
        reply.tagged ? sample_blog::k_tagged_post_sentence : sample_blog::k_long_post_sentence;
    auto provide = [&stop, length, slice, trickle, sentence](std::size_t offset,
                                                             httplib::DataSink& sink) {
        if (stop.raised() || (trickle && !stop.sleep_for(sample_blog::k_trickle_interval))) {
            return false;
        }
        const std::string bytes = sample_blog::long_post_bytes(offset, slice, length, sentence);
        if (bytes.empty()) {
            sink.done();
            return true;
        }
        return sink.write(bytes.data(), bytes.size());
    };
    if (reply.chunked) {
        response.set_chunked_content_provider(gbk_html, provide);
    } else {
        response.set_content_provider(
            reply.length, gbk_html,
            [provide](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                return provide(offset, sink);
            });
    }
}

// A PNG signature, then zeros: enough to look like a picture until its size is seen.
void send_huge_picture(std::size_t length, sample_blog::StopFlag& stop,
                       httplib::Response& response) {
    response.set_content_provider(
        length, "image/png",
        [&stop, length](std::size_t offset, std::size_t, httplib::DataSink& sink) {
            if (stop.raised()) {
                return false;
            }
            std::string bytes(std::min(stream_slice, length - offset), '\0');
            const std::string_view signature = sample_blog::sample_png().substr(0, 8);
            for (std::size_t i = offset; i < signature.size() && i - offset < bytes.size(); ++i) {
                bytes[i - offset] = signature[i];
            }
            return sink.write(bytes.data(), bytes.size());
        });
}

// cpp-httplib does not hand its socket to a handler, so the one this request came on is found
// by its two ends and shut: the client reads an end of stream and no answer, as from a
// firewall.
// The decoded path with the query as sent: the newer layout's list pages are "/u?page=N".
std::string path_and_query(const httplib::Request& request) {
    const auto question = request.target.find('?');
    return request.path +
           (question == std::string::npos ? std::string() : request.target.substr(question));
}

void close_without_answer(const httplib::Request& request) {
    for (int fd = 0; fd < 1024; ++fd) {
        sockaddr_storage local{};
        sockaddr_storage peer{};
        socklen_t local_size = sizeof local;
        socklen_t peer_size = sizeof peer;
        if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &local_size) != 0 ||
            getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peer_size) != 0 ||
            local.ss_family != AF_INET || peer.ss_family != AF_INET) {
            continue;
        }
        const auto& local_in = reinterpret_cast<const sockaddr_in&>(local);
        const auto& peer_in = reinterpret_cast<const sockaddr_in&>(peer);
        if (ntohs(local_in.sin_port) == request.local_port &&
            ntohs(peer_in.sin_port) == request.remote_port) {
            shutdown(fd, SHUT_RDWR);
            return;
        }
    }
}

void serve(const Reply& reply, sample_blog::StopFlag& stop, RequestLog& log,
           const httplib::Request& request, httplib::Response& response) {
    if (!stop.sleep_for(reply.delay)) {
        refuse_while_stopping(response);
        return;
    }
    switch (reply.kind) {
    case Reply::Kind::hang:
        stop.wait();
        refuse_while_stopping(response);
        return;
    case Reply::Kind::utf8:
        response.set_content(platform::utf16_to_utf8(reply.html), "text/html; charset=utf-8");
        break;
    case Reply::Kind::gbk:
        response.set_content(sample_blog::encode_gbk(reply.html), gbk_html);
        break;
    case Reply::Kind::long_post:
    case Reply::Kind::trickle:
        stream_long_post(reply, stop, response);
        break;
    case Reply::Kind::requests:
        response.set_content(log.text(), "text/plain");
        break;
    case Reply::Kind::picture:
        response.set_content(std::string(reply.bytes), std::string(reply.content_type));
        break;
    case Reply::Kind::huge_picture:
        send_huge_picture(reply.length, stop, response);
        break;
    case Reply::Kind::text:
        response.set_content(reply.body, reply.content_type);
        break;
    case Reply::Kind::refuse:
        close_without_answer(request);
        return;
    }
    for (const auto& [name, value] : reply.headers) {
        response.set_header(name, value);
    }
    response.status = reply.status;
}

sigset_t stop_signals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    return signals;
}

// Waits for a stop signal, then wakes the sleeping handlers and stops the server. The server
// ignores stop() before it runs, so a signal that comes early waits for it to start.
void stop_on_signal(const sigset_t& signals, httplib::Server& server, sample_blog::StopFlag& stop,
                    const std::atomic<bool>& listen_returned) {
    int signal_number = 0;
    sigwait(&signals, &signal_number);
    stop.raise();
    while (!listen_returned) {
        if (server.is_running()) {
            server.stop();
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

} // namespace

int main(int argc, char** argv) {
    sample_blog::ServiceOptions options;
    try {
        options = sample_blog::parse_options(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::invalid_argument& error) {
        std::cerr << "sample_blog: " << error.what() << "\n" << sample_blog::k_usage;
        return 2;
    }

    // Blocked before any thread starts, so only the signal thread ever receives them.
    const sigset_t signals = stop_signals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    sample_blog::StopFlag stop;
    RequestLog log;
    httplib::Server server;
    const bool https = !options.tls_cert.empty();
    std::optional<httplib::SSLServer> tls_server;
    if (https) {
        tls_server.emplace(options.tls_cert.c_str(), options.tls_key.c_str());
        if (!tls_server->is_valid()) {
            std::cerr << "sample_blog: cannot use " << options.tls_cert << "\n";
            return 1;
        }
    }
    const sample_blog::ArchiveSchedule schedule(options.archive, options.blog);
    sample_blog::ArchiveTraffic traffic(options.archive);
    std::optional<sample_blog::ConnectRelay> relay;
    const auto handle = [&](const std::string& target, const httplib::Request& request,
                            httplib::Response& response) {
        log.add(target);
        const auto archive_kind =
            options.archive.enabled ? sample_blog::archive_request_kind(target) : std::nullopt;
        if (archive_kind && https && target.starts_with("http://")) {
            // As the real archive does, before anything is counted.
            const std::size_t path = std::min(target.find('/', 7), target.size());
            response.status = 301;
            response.set_header("Location", "https://web.archive.org" + target.substr(path));
            return;
        }
        if (!archive_kind) {
            Reply reply = request.path.ends_with("/_sample/archive-requests")
                              ? Reply{.kind = Reply::Kind::text,
                                      .body = traffic.log(),
                                      .content_type = "text/plain"}
                          : request.path.ends_with("/_sample/archive-connections")
                              ? Reply{.kind = Reply::Kind::text,
                                      .body = std::to_string(relay ? relay->archive_tunnels() : 0),
                                      .content_type = "text/plain"}
                              : sample_blog::answer(path_and_query(request), options);
            serve(reply, stop, log, request, response);
            return;
        }
        const auto admission = traffic.begin(*archive_kind, target);
        const Reply reply =
            sample_blog::archive_answer(target, admission.verdict, options, schedule);
        serve(reply, stop, log, request, response);
        traffic.end(admission.id, reply.kind == Reply::Kind::refuse ? 0 : reply.status);
    };
    const std::vector<httplib::Server*> servers = {
        &server, tls_server ? static_cast<httplib::Server*>(&*tls_server) : nullptr};
    for (httplib::Server* each : servers) {
        if (each != nullptr) {
            each->new_task_queue = [] { return new httplib::ThreadPool(worker_threads); };
            each->set_keep_alive_timeout(keep_alive_seconds);
            // As the archive does: a connection kept alive serves any number of requests.
            each->set_keep_alive_max_count(keep_alive_requests);
        }
    }
    server.Get(R"(.*)", [&](const httplib::Request& request, httplib::Response& response) {
        handle(request.target, request, response);
    });
    std::thread tls_thread;
    if (tls_server) {
        // Inside the tunnel the target is the path alone; the host comes from the header.
        tls_server->Get(R"(.*)", [&](const httplib::Request& request, httplib::Response& response) {
            const std::string host = request.get_header_value("Host");
            handle("https://" + (host.empty() ? std::string("web.archive.org") : host) +
                       request.target,
                   request, response);
        });
        const int tls_port = tls_server->bind_to_any_port("127.0.0.1");
        if (tls_port < 0) {
            std::cerr << "sample_blog: cannot listen for TLS on 127.0.0.1\n";
            return 1;
        }
        relay.emplace(tls_port);
        tls_thread = std::thread([&] { tls_server->listen_after_bind(); });
        std::cout << "https proxy on 127.0.0.1:" << relay->port() << std::endl;
    }

    const int port = options.port == 0
                         ? server.bind_to_any_port("127.0.0.1")
                         : (server.bind_to_port("127.0.0.1", options.port) ? options.port : -1);
    if (port < 0) {
        std::cerr << "sample_blog: cannot listen on 127.0.0.1:" << options.port << "\n";
        return 1;
    }

    std::atomic<bool> listen_returned = false;
    std::thread stopper(stop_on_signal, std::cref(signals), std::ref(server), std::ref(stop),
                        std::cref(listen_returned));
    std::cout << "listening on 127.0.0.1:" << port << std::endl;
    const bool listened = server.listen_after_bind();
    listen_returned = true;
    if (!listened) {
        std::cerr << "sample_blog: the server stopped on an error\n";
        pthread_kill(stopper.native_handle(), SIGTERM); // the stopper still waits for a signal
    }
    stopper.join();
    if (tls_server) {
        tls_server->stop();
        tls_thread.join();
    }
    return listened ? 0 : 1;
}
