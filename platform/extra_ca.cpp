#include "platform/extra_ca.h"

#include "platform/http_options.h"

#include <cstdlib>

#include <openssl/ssl.h>
#include <openssl/x509.h>

namespace platform {
namespace {

const char* extra_ca_file() {
    const char* file = std::getenv(ExtraCaVariable);
    return file != nullptr && *file != '\0' ? file : nullptr;
}

// Runs after curl has loaded the system's authorities into the context's store: CURLOPT_CAINFO
// would replace them instead.
CURLcode add_extra_ca(CURL*, void* ssl_context, void*) {
    const char* file = extra_ca_file();
    if (file == nullptr) {
        return CURLE_OK;
    }
    X509_STORE* store = SSL_CTX_get_cert_store(static_cast<SSL_CTX*>(ssl_context));
    return store != nullptr && X509_STORE_load_file(store, file) == 1 ? CURLE_OK
                                                                      : CURLE_SSL_CACERT_BADFILE;
}

} // namespace

void trust_extra_ca(CURL* handle) {
    if (extra_ca_file() == nullptr) {
        return;
    }
    set_option(handle, CURLOPT_SSL_CTX_FUNCTION, &add_extra_ca);
    // A store curl keeps for later connections must not carry what this one added.
    set_option(handle, CURLOPT_CA_CACHE_TIMEOUT, 0L);
}

} // namespace platform
