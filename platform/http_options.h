#pragma once
// How every GET of the program is set up, shared by the blocking fetch and any transfer run
// through curl's multi interface, so both follow the same rules.

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

// Address, allowed protocols, redirects and time-outs. Throws HttpError when libcurl refuses
// an option.
void configure_get(CURL* handle, const std::string& url, const HttpLimits& limits);

// Appends the response body to `body`, which must outlive the transfer.
void collect_body(CURL* handle, std::string& body);

} // namespace platform
