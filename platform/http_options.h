#pragma once
// How every GET of the program is set up, shared by the blocking fetch and any transfer run
// through curl's multi interface, so both follow the same rules.

#include <chrono>
#include <curl/curl.h>
#include <memory>
#include <string>

#include "platform/http.h"

namespace platform {

struct CurlEasyDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
using CurlEasy = std::unique_ptr<CURL, CurlEasyDeleter>;

// libcurl's global set-up, once per process; HttpError when it fails.
void start_curl_once();

// A new easy handle; initialises libcurl once per process first. Throws HttpError on failure.
CurlEasy make_curl_easy();

// One option of a request; HttpError when libcurl refuses it.
template <typename Value> void set_option(CURL* handle, CURLoption option, Value value) {
    const CURLcode result = curl_easy_setopt(handle, option, value);
    if (result != CURLE_OK) {
        throw HttpError(std::string("Could not set up the request: ") + curl_easy_strerror(result));
    }
}

// Address (sent as a browser would send it), allowed protocols, redirects and time limits.
// Throws HttpError when libcurl refuses an option.
void configure_get(CURL* handle, const std::string& url, const HttpLimits& limits);

// What one transfer receives: the body, kept within the size limit, and libcurl's error text.
// The handle points here until it is cleaned up, so this is neither copied nor moved.
class Reception {
public:
    explicit Reception(const HttpLimits& limits);
    Reception(const Reception&) = delete;
    Reception& operator=(const Reception&) = delete;

    // Makes the handle deliver its body and error text here. Throws HttpError when libcurl
    // refuses an option.
    void attach(CURL* handle);

    // Why the transfer that ended with `result` gave no body; FetchFailure::none when it did.
    FetchFailure failure(CURLcode result) const;
    // What went wrong, in a few words; empty when nothing did.
    std::string error_text(CURLcode result) const;
    std::string take_body() { return std::move(m_body); }

private:
    static std::size_t on_data(char* data, std::size_t size, std::size_t count,
                               void* self) noexcept;
    bool append(const char* data, std::size_t length);
    bool too_large(CURLcode result) const;

    CURL* m_handle = nullptr;
    HttpLimits m_limits;
    std::string m_body;
    bool m_too_large = false;
    std::chrono::steady_clock::time_point m_started;
    char m_error[CURL_ERROR_SIZE] = {};
};

} // namespace platform
