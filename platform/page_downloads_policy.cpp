// How PageDownloads lets a RequestPolicy decide when a governed transfer starts, whether it is
// tried again, and where its redirects lead.

#include "platform/page_downloads.h"

namespace platform {
namespace {

// Hops of one request into the governed server; one sending it round in circles is stopped
// here.
constexpr int max_governed_redirects = 5;
// Hops of one request in all, as curl's own following allows them for pages elsewhere.
constexpr int max_redirects = 20;

// How soon a request waiting for a connection asks again at the latest: a transfer of another
// download object may have ended meanwhile.
constexpr std::int64_t when_one_ends_poll_ms = 200;

// How soon a held-back transfer asks again.
constexpr std::int64_t hold_back_poll_ms = 20;

DownloadResult blocked_result(long status) {
    return {std::nullopt, status, FetchFailure::blocked, "the server refuses us for now", {}, {}};
}

DownloadResult unreachable_result() {
    return {std::nullopt, 0, FetchFailure::unreachable, "the server does not answer", {}, {}};
}

// The connection broke while the body came: the answer is as good as none.
bool broken_off(CURLcode result) {
    return result == CURLE_RECV_ERROR || result == CURLE_PARTIAL_FILE ||
           result == CURLE_SEND_ERROR || result == CURLE_GOT_NOTHING;
}

// We refused the server's certificate: the server did not fall silent, and nothing was asked.
bool refused_by_us(CURLcode result) {
    return result == CURLE_PEER_FAILED_VERIFICATION || result == CURLE_SSL_CACERT_BADFILE ||
           result == CURLE_SSL_CERTPROBLEM;
}

} // namespace

void PageDownloads::give_back(std::size_t index) noexcept {
    if (!m_policy || index >= m_governed.size() || !m_governed[index].attempts.running) {
        return;
    }
    // Nothing is reported: the attempt only gives its connection back.
    RequestPolicy::Answer nothing;
    nothing.sent = false;
    try {
        m_policy->end(m_governed[index].attempts, nothing);
    } catch (...) {
        m_governed[index].attempts.running = false;
    }
}

bool PageDownloads::governed(std::size_t index) const {
    return m_policy && m_policy->governs(m_urls[index]);
}

bool PageDownloads::take_next(std::size_t& index) {
    const bool waiting = !m_retries.empty() || m_next < m_urls.size();
    if (waiting && m_hold_back && m_hold_back()) {
        wake_in(hold_back_poll_ms);
        return false;
    }
    while (!m_retries.empty() || m_next < m_urls.size()) {
        const bool retry = !m_retries.empty();
        index = retry ? m_retries.front() : m_next;
        RequestPolicy::Go go = RequestPolicy::Go::Now;
        if (governed(index)) {
            const RequestPolicy::Permission permission = m_policy->ask(m_urls[index]);
            go = permission.go;
            if (go == RequestPolicy::Go::Later) {
                wake_in(permission.wait_ms);
            } else if (go == RequestPolicy::Go::WhenOneEnds) {
                wake_in(when_one_ends_poll_ms);
            }
            if (go == RequestPolicy::Go::Now) {
                m_policy->begin(m_urls[index], m_governed[index].attempts);
            }
        }
        if (go == RequestPolicy::Go::Later || go == RequestPolicy::Go::WhenOneEnds) {
            return false;
        }
        if (retry) {
            m_retries.pop_front();
        } else {
            ++m_next;
        }
        if (go == RequestPolicy::Go::Now) {
            return true;
        }
        // Reported from the main context like any other failure.
        m_outcomes.push_back(Outcome{
            index, go == RequestPolicy::Go::Blocked ? blocked_result(0) : unreachable_result()});
        schedule_delivery();
    }
    return false;
}

bool PageDownloads::settle(Outcome& outcome, CURL* handle, CURLcode result) {
    const std::size_t index = outcome.index;
    if (!m_policy) {
        return true;
    }
    if (!governed(index) || !m_governed[index].attempts.running) {
        return !follow_redirect(outcome, handle);
    }
    RequestPolicy::Answer answer;
    answer.status = outcome.result.status;
    answer.cut_short = answer.status != 0 && broken_off(result);
    answer.sent = !refused_by_us(result);
    const auto header = [handle](const char* name) {
        curl_header* found = nullptr;
        if (curl_easy_header(handle, name, 0, CURLH_HEADER, -1, &found) == CURLHE_OK) {
            return std::string(found->value);
        }
        return std::string();
    };
    answer.retry_after = header("Retry-After");
    answer.date = header("Date");
    switch (m_policy->end(m_governed[index].attempts, answer)) {
    case RequestPolicy::Next::Retry:
        m_retries.push_back(index);
        return false;
    case RequestPolicy::Next::Blocked:
        outcome.result = blocked_result(outcome.result.status);
        return true;
    case RequestPolicy::Next::Unreachable:
        outcome.result = unreachable_result();
        return true;
    case RequestPolicy::Next::Done:
        return !follow_redirect(outcome, handle);
    case RequestPolicy::Next::Failed:
        break;
    }
    return true;
}

bool PageDownloads::follow_redirect(Outcome& outcome, CURL* handle) {
    const long status = outcome.result.status;
    const char* location = nullptr;
    if (status < 300 || status > 399 ||
        curl_easy_getinfo(handle, CURLINFO_REDIRECT_URL, &location) != CURLE_OK ||
        location == nullptr) {
        return false;
    }
    Governed& request = m_governed[outcome.index];
    if (m_policy->governs(location)) {
        ++request.redirects;
    }
    if (request.redirects > max_governed_redirects || ++request.hops > max_redirects) {
        outcome.result = {std::nullopt, status, FetchFailure::error, "too many redirects", {}, {}};
        return false;
    }
    // The next address is a new request: its own attempts, its own turn (at once when the policy
    // does not govern it).
    m_urls[outcome.index] = m_policy->address_of(location);
    request.attempts = {};
    m_retries.push_front(outcome.index);
    return true;
}

} // namespace platform
