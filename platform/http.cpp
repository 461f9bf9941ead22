#include "platform/http.h"

#include "platform/http_options.h"

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

template <typename Value> void set_option(CURL* handle, CURLoption option, Value value) {
    const CURLcode result = curl_easy_setopt(handle, option, value);
    if (result != CURLE_OK) {
        throw HttpError(std::string("Could not set up the request: ") + curl_easy_strerror(result));
    }
}

// Exceptions must not cross libcurl; a short count makes it stop with CURLE_WRITE_ERROR.
std::size_t append_body(char* data, std::size_t size, std::size_t count, void* body) noexcept {
    try {
        static_cast<std::string*>(body)->append(data, size * count);
        return size * count;
    } catch (...) {
        return 0;
    }
}

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
    set_option(handle, CURLOPT_URL, url.c_str());
    set_option(handle, CURLOPT_HTTPGET, 1L);
    set_option(handle, CURLOPT_PROTOCOLS_STR, allowed_protocols);
    set_option(handle, CURLOPT_REDIR_PROTOCOLS_STR, allowed_protocols);
    set_option(handle, CURLOPT_FOLLOWLOCATION, 1L);
    set_option(handle, CURLOPT_MAXREDIRS, max_redirects);
    set_option(handle, CURLOPT_CONNECTTIMEOUT, limits.connect_timeout_seconds);
    set_option(handle, CURLOPT_LOW_SPEED_LIMIT, 1L);
    set_option(handle, CURLOPT_LOW_SPEED_TIME, limits.stall_seconds);
    // Time-outs must not use SIGALRM: the program has other threads (GTK, WebKit).
    set_option(handle, CURLOPT_NOSIGNAL, 1L);
}

void collect_body(CURL* handle, std::string& body) {
    set_option(handle, CURLOPT_WRITEFUNCTION, &append_body);
    set_option(handle, CURLOPT_WRITEDATA, static_cast<void*>(&body));
}

std::string http_get(const std::string& url, const HttpLimits& limits) {
    // Declared before the handle, which points at them until it is cleaned up.
    std::string body;
    char error_text[CURL_ERROR_SIZE] = {};
    const CurlEasy handle = make_curl_easy();
    configure_get(handle.get(), url, limits);
    collect_body(handle.get(), body);
    set_option(handle.get(), CURLOPT_ERRORBUFFER, static_cast<char*>(error_text));
    const CURLcode result = curl_easy_perform(handle.get());
    if (result != CURLE_OK) {
        const std::string detail = error_text[0] != '\0' ? error_text : curl_easy_strerror(result);
        throw HttpError("Could not fetch " + url + ": " + detail);
    }
    return body;
}

} // namespace platform
