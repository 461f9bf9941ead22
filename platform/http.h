#pragma once
// A blocking HTTP GET with libcurl. Only http and https are allowed, for the request and for
// redirects, since addresses come from web pages. The proxy variables are honoured.

#include <cstddef>
#include <stdexcept>
#include <string>

namespace platform {

// Why a transfer gave no body.
enum class FetchFailure {
    none,
    too_large,   // the body grew past HttpLimits::max_body_bytes
    too_long,    // the whole transfer took longer than HttpLimits::total_seconds
    stalled,     // less than a byte a second for HttpLimits::stall_seconds
    blocked,     // the server's request policy shut us out; nothing was asked
    unreachable, // the server's request policy found it answers nothing at all
    error,       // anything else: no connection, a refused address, a broken response...
};

class HttpError : public std::runtime_error {
public:
    explicit HttpError(const std::string& what, FetchFailure failure = FetchFailure::error)
        : std::runtime_error(what), m_failure(failure) {}
    FetchFailure failure() const noexcept { return m_failure; }

private:
    FetchFailure m_failure;
};

// A web page's bounds; a caller fetching something else (a picture) passes its own.
struct HttpLimits {
    long connect_timeout_seconds = 15;
    // Give up when less than one byte a second arrives for this long.
    long stall_seconds = 30;
    // Give up when the whole transfer, redirects included, takes longer than this.
    long total_seconds = 120;
    // Give up when the body grows past this, whether or not its length was announced.
    std::size_t max_body_bytes = std::size_t{32} * 1024 * 1024;
};

// The raw body, whatever the status code; HttpError when no response could be had or a limit
// was broken.
std::string http_get(const std::string& url, const HttpLimits& limits = {});

} // namespace platform
