#include "platform/http.h"

#include "platform/http_options.h"

#include "platform/body_buffer.h"

#include "platform/extra_ca.h"

#include "platform/request_address.h"

#include <algorithm>

namespace platform {
namespace {

class CurlGlobal {
public:
    CurlGlobal() : m_result(curl_global_init(CURL_GLOBAL_DEFAULT)) {}
    ~CurlGlobal() {
        if (m_result == CURLE_OK) {
            curl_global_cleanup();
        }
    }
    CurlGlobal(const CurlGlobal&) = delete;
    CurlGlobal& operator=(const CurlGlobal&) = delete;

    CURLcode result() const { return m_result; }

private:
    CURLcode m_result;
};

// Addresses come from web pages: a file: or other scheme must never be read.
constexpr const char* allowed_protocols = "http,https";
constexpr long max_redirects = 20;

} // namespace

void start_curl_once() {
    // A function-local static runs the global set-up once, even with several threads.
    static const CurlGlobal global;
    if (global.result() != CURLE_OK) {
        throw HttpError(std::string("Could not start libcurl: ") +
                        curl_easy_strerror(global.result()));
    }
}

CurlEasy make_curl_easy() {
    start_curl_once();
    CurlEasy handle(curl_easy_init());
    if (!handle) {
        throw HttpError("Could not create a libcurl handle");
    }
    return handle;
}

void configure_get(CURL* handle, const std::string& url, const HttpLimits& limits) {
    set_option(handle, CURLOPT_URL, request_address(url).c_str());
    set_option(handle, CURLOPT_HTTPGET, 1L);
    set_option(handle, CURLOPT_PROTOCOLS_STR, allowed_protocols);
    set_option(handle, CURLOPT_REDIR_PROTOCOLS_STR, allowed_protocols);
    set_option(handle, CURLOPT_FOLLOWLOCATION, 1L);
    set_option(handle, CURLOPT_MAXREDIRS, max_redirects);
    set_option(handle, CURLOPT_CONNECTTIMEOUT, limits.connect_timeout_seconds);
    set_option(handle, CURLOPT_LOW_SPEED_LIMIT, 1L);
    set_option(handle, CURLOPT_LOW_SPEED_TIME, limits.stall_seconds);
    set_option(handle, CURLOPT_TIMEOUT, limits.total_seconds);
    // Time-outs must not use SIGALRM: the program has other threads (GTK, WebKit).
    set_option(handle, CURLOPT_NOSIGNAL, 1L);
    trust_extra_ca(handle);
}

Reception::Reception(const HttpLimits& limits) : m_limits(limits) {}

void Reception::attach(CURL* handle) {
    m_handle = handle;
    m_started = std::chrono::steady_clock::now();
    set_option(handle, CURLOPT_WRITEFUNCTION, &Reception::on_data);
    set_option(handle, CURLOPT_WRITEDATA, static_cast<void*>(this));
    set_option(handle, CURLOPT_ERRORBUFFER, static_cast<char*>(m_error));
    // Refuses an announced length at once; the write callback catches the rest.
    set_option(handle, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(m_limits.max_body_bytes));
}

// Exceptions must not cross libcurl; a short count makes it stop with CURLE_WRITE_ERROR.
std::size_t Reception::on_data(char* data, std::size_t size, std::size_t count,
                               void* self) noexcept {
    try {
        return static_cast<Reception*>(self)->append(data, size * count) ? size * count : 0;
    } catch (...) {
        return 0;
    }
}

bool Reception::append(const char* data, std::size_t length) {
    const std::size_t limit = m_limits.max_body_bytes;
    if (length > limit - m_body.size()) {
        m_too_large = true;
        return false;
    }
    const std::size_t needed = m_body.size() + length;
    if (needed > m_body.capacity()) {
        GrowBody(m_body, NextBodyCapacity(needed, m_body.capacity(), limit));
    }
    m_body.append(data, length);
    return true;
}

bool Reception::too_large(CURLcode result) const {
    return m_too_large || result == CURLE_FILESIZE_EXCEEDED;
}

FetchFailure Reception::failure(CURLcode result) const {
    if (result == CURLE_OK) {
        return FetchFailure::none;
    }
    if (too_large(result)) {
        return FetchFailure::too_large;
    }
    if (result != CURLE_OPERATION_TIMEDOUT) {
        return FetchFailure::error;
    }
    // One code covers the total limit, the stall limit and the connect time-out. Our clock
    // starts before curl's; curl's own total time can lag, and it may fire a little early.
    constexpr auto early = std::chrono::milliseconds(250);
    if (std::chrono::steady_clock::now() - m_started + early >=
        std::chrono::seconds(m_limits.total_seconds)) {
        return FetchFailure::too_long;
    }
    curl_off_t connected_us = 0;
    curl_easy_getinfo(m_handle, CURLINFO_CONNECT_TIME_T, &connected_us);
    return connected_us > 0 ? FetchFailure::stalled : FetchFailure::error;
}

std::string Reception::error_text(CURLcode result) const {
    if (result == CURLE_OK) {
        return {};
    }
    if (too_large(result)) {
        return "the body passed the limit of " + std::to_string(m_limits.max_body_bytes) + " bytes";
    }
    return m_error[0] != '\0' ? m_error : curl_easy_strerror(result);
}

std::string http_get(const std::string& url, const HttpLimits& limits) {
    // Declared before the handle, which points at it until it is cleaned up.
    Reception reception(limits);
    const CurlEasy handle = make_curl_easy();
    configure_get(handle.get(), url, limits);
    reception.attach(handle.get());
    const CURLcode result = curl_easy_perform(handle.get());
    if (result != CURLE_OK) {
        throw HttpError("Could not fetch " + url + ": " + reception.error_text(result),
                        reception.failure(result));
    }
    return reception.take_body();
}

} // namespace platform
