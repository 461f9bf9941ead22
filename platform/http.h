#pragma once
// A blocking HTTP GET with libcurl. Only http and https are allowed, for the request and for
// redirects, since addresses come from web pages. The proxy variables are honoured.

#include <stdexcept>
#include <string>

namespace platform {

class HttpError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct HttpLimits {
    long connect_timeout_seconds = 15;
    // Give up when less than one byte a second arrives for this long.
    long stall_seconds = 30;
};

// The raw body, whatever the status code; HttpError when no response could be had.
std::string http_get(const std::string& url, const HttpLimits& limits = {});

} // namespace platform
