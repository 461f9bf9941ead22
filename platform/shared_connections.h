#pragma once
// One cache of open connections that transfers of several download objects draw on, so a
// server that counts connections sees the same few kept alive for a whole run instead of new
// ones for every batch of requests.

#include <curl/curl.h>

#include <memory>
#include <mutex>

namespace platform {

class SharedConnections {
public:
    // HttpError when libcurl cannot make the share.
    SharedConnections();
    // Must outlive every transfer that uses it.
    ~SharedConnections();
    SharedConnections(const SharedConnections&) = delete;
    SharedConnections& operator=(const SharedConnections&) = delete;

    // Makes `handle` take and leave its connections here. HttpError when libcurl refuses.
    void use_in(CURL* handle);

private:
    struct ShareDeleter {
        void operator()(CURLSH* share) const { curl_share_cleanup(share); }
    };
    static void lock(CURL* handle, curl_lock_data data, curl_lock_access access, void* self);
    static void unlock(CURL* handle, curl_lock_data data, void* self);

    // Download objects may run on more than one thread.
    std::mutex m_locks[CURL_LOCK_DATA_LAST];
    std::unique_ptr<CURLSH, ShareDeleter> m_share;
};

} // namespace platform
