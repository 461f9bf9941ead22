#include "platform/shared_connections.h"

#include "platform/http_options.h"

namespace platform {

SharedConnections::SharedConnections() {
    start_curl_once();
    m_share.reset(curl_share_init());
    if (!m_share ||
        curl_share_setopt(m_share.get(), CURLSHOPT_LOCKFUNC, &SharedConnections::lock) !=
            CURLSHE_OK ||
        curl_share_setopt(m_share.get(), CURLSHOPT_UNLOCKFUNC, &SharedConnections::unlock) !=
            CURLSHE_OK ||
        curl_share_setopt(m_share.get(), CURLSHOPT_USERDATA, static_cast<void*>(this)) !=
            CURLSHE_OK ||
        curl_share_setopt(m_share.get(), CURLSHOPT_SHARE, CURL_LOCK_DATA_CONNECT) != CURLSHE_OK) {
        throw HttpError("libcurl could not share connections");
    }
}

SharedConnections::~SharedConnections() = default;

void SharedConnections::use_in(CURL* handle) {
    set_option(handle, CURLOPT_SHARE, m_share.get());
}

void SharedConnections::lock(CURL*, curl_lock_data data, curl_lock_access, void* self) {
    static_cast<SharedConnections*>(self)->m_locks[data].lock();
}

void SharedConnections::unlock(CURL*, curl_lock_data data, void* self) {
    static_cast<SharedConnections*>(self)->m_locks[data].unlock();
}

} // namespace platform
